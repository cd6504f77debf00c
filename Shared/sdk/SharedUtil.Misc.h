#pragma once

#include <map>

#include "SString.h"

namespace SharedUtil
{
// An ordered key/value map with a one-line text form, "key=value&key=value".
// Keys and values are held escaped, so separators inside them survive the
// round trip through the text form.
class CKeyValueMap
{
public:
    static constexpr char ESCAPE_CHAR = '#';

    CKeyValueMap(const SString& strArgSeparator, const SString& strPartSeparator, const SString& strExtraEscapedChars);

    // Replaces every value of the key; an empty key only removes.
    void Set(const SString& strKey, const SString& strValue);
    void Set(const SString& strKey, int iNumber);

    // The first value of the key, unescaped; szDefault and false when absent.
    bool Get(const SString& strKey, SString& strOutValue, const char* szDefault) const;

    // Replaces the contents with the entries of a text in escaped form.
    void Parse(const SString& strText, bool bAllowMultiple);
    SString Serialize() const;

private:
    SString Escape(const SString& strText) const;

    // std::string orders by unsigned bytes; equal keys keep insertion order.
    std::multimap<SString, SString> m_Entries;
    SString m_strArgSeparator;
    SString m_strPartSeparator;
    SString m_strEscapedChars;
    char m_cEscapeChar = ESCAPE_CHAR;
};
} // namespace SharedUtil
