#pragma once

#include <cstdint>
#include <cstdio>

#include "SString.h"
#include "SharedUtil.FileMode.h"
#include "SharedUtil.FilePath.h"

// File and folder operations on UTF-8 paths. Nothing here throws: failures
// come back as false, an empty or unchanged text, or a null stream with errno.
namespace SharedUtil
{
// Existence tests; any error answers false. Natively they follow symbolic
// links; on Windows a link answers as itself (a folder link is a folder).
bool IsExistingDirectory(const SString& strPath);
bool IsExistingFile(const SString& strPath);

// The functions below are Windows-only.

// Creates every missing folder above the file; the last component is the file
// name and is never created. Failures are ignored.
void EnsureParentFolders(const SString& strFilePath);

// What AppendToFile does when the file's name is a reparse point (a symbolic
// link, a junction).
enum class ELinkPolicy
{
    FOLLOW_LINKS,
    // Nothing is written, and the attributes are not reset: a file that
    // others may create must not send a privileged writer elsewhere.
    REFUSE_LINKS,
};

// Appends the bytes in binary with one write at the end of the file, under
// the file's append lock: writers that take it (every AppendToFile, in any
// process) never interleave, and no writer's bytes are written over. With
// bResetAttributes, read-only, hidden and system marks are cleared first.
// True when every byte was written; a length of 0 only creates the file.
bool AppendToFile(const SString& strPath, const void* pData, uint32_t uiLength, bool bResetAttributes,
                  ELinkPolicy eLinks = ELinkPolicy::FOLLOW_LINKS);

// fopen with our path rules: refuses what IsPermittedFilePath refuses,
// anything that is not a file on a local disk, and files on network shares.
// On failure returns null with errno set.
FILE* OpenFileChecked(const char* szPath, const char* szMode);

// The all-users application-data folder, in its long form; empty on failure.
SString GetAllUsersAppDataPath();

// The long form of a path with 8.3 names; the input unchanged on failure.
SString GetLongPathForm(const SString& strPath);

// The text with its %VAR% references expanded; unexpanded when the expansion
// fails or would be larger than MAX_EXPANDED_UNITS wide characters.
constexpr uint32_t MAX_EXPANDED_UNITS = 0x80000;
SString ExpandEnvironmentText(const wchar_t* szText);
} // namespace SharedUtil
