#pragma once

#include <filesystem>
#include <string>

namespace TestSupport
{
// Removes the folder with its contents, read-only entries too; what cannot be
// removed is left.
void RemoveFolderTree(const std::filesystem::path& folder);

// A uniquely named folder under the temporary folder, created empty and
// removed with RemoveFolderTree on destruction.
class CTempFolder
{
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::filesystem::path& GetFolder() const { return m_Folder; }
    // The same, as the wide text the Windows calls take.
    const std::wstring& GetPath() const { return m_wstrPath; }

private:
    std::filesystem::path m_Folder;
    std::wstring m_wstrPath;
};
} // namespace TestSupport
