#include "SharedUtil.Misc.h"

#include <vector>

#include "SharedUtil.Assert.h"
#include "SharedUtil.Encoding.h"

namespace SharedUtil
{
namespace
{
// Every byte is allowed through; only the escaped set and the escape char are encoded.
constexpr uint8_t ESCAPE_LOWEST = 0;
constexpr uint8_t ESCAPE_HIGHEST = 255;
} // namespace

CKeyValueMap::CKeyValueMap(const SString& strArgSeparator, const SString& strPartSeparator,
                           const SString& strExtraEscapedChars)
    : m_strArgSeparator(strArgSeparator), m_strPartSeparator(strPartSeparator),
      m_strEscapedChars(strExtraEscapedChars + strArgSeparator + strPartSeparator)
{
}

SString CKeyValueMap::Escape(const SString& strText) const
{
    return EscapeText(strText, m_strEscapedChars, m_cEscapeChar, ESCAPE_LOWEST, ESCAPE_HIGHEST);
}

void CKeyValueMap::Set(const SString& strKey, const SString& strValue)
{
    const SString strEscapedKey = Escape(strKey);
    m_Entries.erase(strEscapedKey);
    if (!strKey.empty())
        m_Entries.emplace(strEscapedKey, Escape(strValue));
}

void CKeyValueMap::Set(const SString& strKey, int iNumber)
{
    Set(strKey, SString("%d", iNumber));
}

bool CKeyValueMap::Get(const SString& strKey, SString& strOutValue, const char* szDefault) const
{
    SU_ASSERT(szDefault);
    const SString strEscapedKey = Escape(strKey);
    // lower_bound, not find: with several values the first inserted one counts.
    auto it = m_Entries.lower_bound(strEscapedKey);
    if (it != m_Entries.end() && it->first == strEscapedKey)
    {
        strOutValue = UnescapeText(it->second, m_cEscapeChar);
        return true;
    }
    strOutValue = std::string(szDefault ? szDefault : "");
    return false;
}

void CKeyValueMap::Parse(const SString& strText, bool bAllowMultiple)
{
    m_Entries.clear();
    std::vector<SString> parts;
    strText.SplitInto(m_strPartSeparator, parts);
    for (const SString& strPart : parts)
    {
        SString strKey = strPart;
        SString strValue;
        const std::size_t uiSeparatorPos = strPart.find(m_strArgSeparator);
        if (uiSeparatorPos != SString::npos)
        {
            strKey = strPart.substr(0, uiSeparatorPos);
            strValue = strPart.substr(uiSeparatorPos + m_strArgSeparator.length());
        }
        if (!bAllowMultiple)
            m_Entries.erase(strKey);
        if (!strKey.empty())
            m_Entries.emplace(std::move(strKey), std::move(strValue));
    }
}

SString CKeyValueMap::Serialize() const
{
    SString strResult;
    for (const auto& [strKey, strValue] : m_Entries)
    {
        if (!strResult.empty())
            strResult += m_strPartSeparator;
        strResult += strKey;
        strResult += m_strArgSeparator;
        strResult += strValue;
    }
    return strResult;
}
} // namespace SharedUtil
