#pragma once

#include "SharedUtil.Windows.h"

// The handle queries behind the checked open, replaceable so that tests can
// play what a test machine cannot produce: a file on a network share, and the
// junctions and symbolic links that Wine cannot make. Shipping code never
// replaces them.
namespace SharedUtil
{
// Room the checked open offers for a handle's final path, in wide characters;
// longer paths are let through the network-share check (see
// IsNetworkFinalPath).
constexpr DWORD FINAL_PATH_CAPACITY = 1024;

// GetFinalPathNameByHandleW's contract.
using FinalPathFunction = DWORD(WINAPI*)(HANDLE hFile, LPWSTR szPath, DWORD uiCapacity, DWORD uiFlags);

// GetFileInformationByHandleEx's contract; asked for FileAttributeTagInfo,
// whose attributes tell a reparse point (junction, symbolic link) apart, and
// for FileStandardInfo, whose link count tells a file with other names.
using FileInformationFunction = BOOL(WINAPI*)(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS eClass, LPVOID pInformation,
                                              DWORD uiSize);

// Each installs pFunction (null: the system call) and returns the one before.
FinalPathFunction SetFinalPathFunction(FinalPathFunction pFunction);
FileInformationFunction SetFileInformationFunction(FileInformationFunction pFunction);
} // namespace SharedUtil
