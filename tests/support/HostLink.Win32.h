#pragma once

// Links made on Wine's host side, which is how links arise in a Wine prefix:
// Wine 8's CreateSymbolicLinkW reports success and makes nothing, while a link
// made on the host is real to Wine, which follows it even when asked to open
// the link itself.
#include <optional>
#include <string>

namespace TestSupport
{
// The host's path of a Windows path; nothing outside Wine.
std::optional<std::string> GetUnixPath(const std::wstring& wstrPath);

// Makes wstrLink a symbolic link to the existing wstrTarget with the host's
// ln -s. False outside Wine, or when the link did not appear.
bool MakeHostSymbolicLink(const std::wstring& wstrLink, const std::wstring& wstrTarget);

// Removes a link made so (the link, not what it leads to) with the host's rm.
// False when it is still there.
bool RemoveHostLink(const std::wstring& wstrLink);

// A symbolic link however the system lets a test make one: CreateSymbolicLinkW
// on Windows, the host's ln -s under Wine (then bHostLink). False when
// neither made one.
bool MakeSymbolicLink(const std::wstring& wstrLink, const std::wstring& wstrTarget, bool bFolder, bool& bHostLink);
// Removes a link made so, not what it leads to.
bool RemoveSymbolicLink(const std::wstring& wstrLink, bool bFolder, bool bHostLink);
} // namespace TestSupport
