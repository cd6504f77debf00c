#pragma once

#include "SharedUtil.Windows.h"

// The handle queries behind the checked open and the append's lock and write,
// replaceable so that tests can play what a test machine cannot produce (a
// file on a network share, the junctions and symbolic links that Wine cannot
// make, a disk that fills up in the middle of a write) and count the tries
// for the append lock. Shipping code never replaces them.
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

// LockFileEx's contract; one try for the append lock.
using AppendLockFunction = BOOL(WINAPI*)(HANDLE hFile, DWORD dwFlags, DWORD dwReserved, DWORD dwBytesLow,
                                         DWORD dwBytesHigh, LPOVERLAPPED pRange);

// WriteFile's contract; the append's write.
using AppendWriteFunction = BOOL(WINAPI*)(HANDLE hFile, LPCVOID pData, DWORD dwBytes, LPDWORD pdwWritten,
                                          LPOVERLAPPED pOverlapped);

// Each installs pFunction (null: the system call) and returns the one before.
FinalPathFunction SetFinalPathFunction(FinalPathFunction pFunction);
FileInformationFunction SetFileInformationFunction(FileInformationFunction pFunction);
AppendLockFunction SetAppendLockFunction(AppendLockFunction pFunction);
AppendWriteFunction SetAppendWriteFunction(AppendWriteFunction pFunction);
} // namespace SharedUtil
