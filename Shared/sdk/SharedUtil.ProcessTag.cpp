#include "SharedUtil.ProcessTag.h"

#include "SharedUtil.File.h"
#include "SharedUtil.Path.h"

namespace SharedUtil
{
namespace
{
// The outside game's own executable and data files.
constexpr const char* GAME_EXECUTABLE_NAME = "gta_sa.exe";
constexpr const char* LAUNCHER_EXECUTABLE_NAME = "Valdrenne.exe";
constexpr const char* GAME_MODELS_FOLDER = "models";
constexpr const char* GAME_MODELS_FILE = "gta3.img";
constexpr const char* GAME_DATA_FOLDER = "data";
constexpr const char* GAME_DATA_FILE = "gta.dat";
} // namespace

bool IsGameExecutable(const SString& strExecutablePath)
{
    const SString strFileName = GetFileNamePart(strExecutablePath);
    if (strFileName.EndsWithNoCase(GAME_EXECUTABLE_NAME))
        return true;
    if (strFileName.EndsWithNoCase(LAUNCHER_EXECUTABLE_NAME))
        return false;
    const SString strFolder = GetFolderPart(strExecutablePath);
    return IsExistingFile(CombinePath(strFolder, GAME_MODELS_FOLDER, GAME_MODELS_FILE)) ||
           IsExistingFile(CombinePath(strFolder, GAME_DATA_FOLDER, GAME_DATA_FILE));
}
} // namespace SharedUtil
