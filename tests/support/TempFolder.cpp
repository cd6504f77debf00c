#include "support/TempFolder.h"

#include <atomic>
#include <random>
#include <system_error>

namespace TestSupport
{
namespace
{
// Tests of several processes share the temporary folder; a random part keeps
// their names apart without asking the system for the process id.
std::string MakeUniqueName()
{
    static const unsigned int s_uiRun = std::random_device()();
    static std::atomic<unsigned int> s_uiCounter = 0;
    return "vdtest-" + std::to_string(s_uiRun) + "-" + std::to_string(++s_uiCounter);
}
} // namespace

void RemoveFolderTree(const std::filesystem::path& folder)
{
    // A read-only entry would stop the removal on Windows.
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(folder, error);
}

CTempFolder::CTempFolder() : m_Folder(std::filesystem::temp_directory_path() / MakeUniqueName())
{
    std::error_code error;
    std::filesystem::remove_all(m_Folder, error);
    std::filesystem::create_directories(m_Folder, error);
    m_wstrPath = m_Folder.wstring();
}

CTempFolder::~CTempFolder()
{
    RemoveFolderTree(m_Folder);
}
} // namespace TestSupport
