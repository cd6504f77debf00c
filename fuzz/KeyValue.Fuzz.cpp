// EscapeText/UnescapeText and CKeyValueMap against a plain reference model:
// escaping round-trips every byte; the map keeps escaped entries ordered by
// unsigned bytes of the key, equal keys in insertion order, and its text form
// parses back to the same map.

#include "FuzzSupport.h"

#include "SharedUtil.Encoding.h"
#include "SharedUtil.Misc.h"

#include <algorithm>
#include <utility>
#include <vector>

using FuzzSupport::CFuzzInput;
using FuzzSupport::Hex;
using SharedUtil::CKeyValueMap;

namespace
{
constexpr std::size_t MAX_TEXT_BYTES = 48;
constexpr std::size_t MAX_EXTRA_ESCAPED = 4;
constexpr uint32_t MAX_MAP_STEPS = 24;
constexpr uint8_t ASCII_MASK = 0x7F;
constexpr char MAP_ESCAPE = CKeyValueMap::ESCAPE_CHAR;

std::string ModelEscape(const std::string& strText, const std::string& strSet, char cEscape, uint8_t ucLowest,
                        uint8_t ucHighest)
{
    const char* const szDigits = "0123456789ABCDEF";
    std::string strOut;
    for (char c : strText)
    {
        const uint8_t uc = static_cast<uint8_t>(c);
        if (strSet.find(c) != std::string::npos || c == cEscape || uc < ucLowest || uc > ucHighest)
        {
            strOut += cEscape;
            strOut += szDigits[uc / 16];
            strOut += szDigits[uc % 16];
        }
        else
        {
            strOut += c;
        }
    }
    return strOut;
}

int DigitValue(uint8_t uc)
{
    return uc <= '9' ? uc - 48 : uc - 55;
}

std::string ModelUnescape(const std::string& strText, char cEscape)
{
    std::string strOut;
    for (std::size_t i = 0; i < strText.size(); ++i)
    {
        if (strText[i] == cEscape && i + 2 < strText.size())
        {
            const int iHigh = DigitValue(static_cast<uint8_t>(strText[i + 1]));
            const int iLow = DigitValue(static_cast<uint8_t>(strText[i + 2]));
            strOut += static_cast<char>(((iHigh << 4) | iLow) & 0xFF);
            i += 2;
        }
        else
        {
            strOut += strText[i];
        }
    }
    return strOut;
}

void CheckEscaping(CFuzzInput& input)
{
    const char cEscape = static_cast<char>(input.Byte() & ASCII_MASK);
    const SString strSet = input.Text(MAX_EXTRA_ESCAPED);
    const uint8_t ucLowest = input.Byte();
    const uint8_t ucHighest = input.Byte();
    const SString strText = input.Text(MAX_TEXT_BYTES);

    const SString strEscaped = SharedUtil::EscapeText(strText, strSet, cEscape, ucLowest, ucHighest);
    const std::string strModel = ModelEscape(strText, strSet, cEscape, ucLowest, ucHighest);
    FUZZ_CHECK(strEscaped == strModel,
               "text " + Hex(strText) + "\ngot   " + Hex(strEscaped) + "\nmodel " + Hex(strModel));
    const SString strBack = SharedUtil::UnescapeText(strEscaped, cEscape);
    FUZZ_CHECK(strBack == strText, "text " + Hex(strText) + "\nback " + Hex(strBack));

    // Any text, escaped or not, unescapes by the rule.
    const SString strAny = input.Text(MAX_TEXT_BYTES);
    const SString strUnescaped = SharedUtil::UnescapeText(strAny, cEscape);
    const std::string strModelUnescaped = ModelUnescape(strAny, cEscape);
    FUZZ_CHECK(strUnescaped == strModelUnescaped,
               "text " + Hex(strAny) + "\ngot   " + Hex(strUnescaped) + "\nmodel " + Hex(strModelUnescaped));
}

// Separator pairs of the map; neither may hold the escape character or an
// upper-case hexadecimal digit, which escaped text is made of.
struct SSeparators
{
    const char* szArg;
    const char* szPart;
};
constexpr SSeparators SEPARATORS[] = {{"=", "&"}, {":", ";"}, {"=>", "\r\n"}, {"==", "&&"}, {"&", "="}};

using Entries = std::vector<std::pair<std::string, std::string>>; // escaped, in insertion order

bool KeyLess(const std::string& strLeft, const std::string& strRight)
{
    return std::lexicographical_compare(strLeft.begin(), strLeft.end(), strRight.begin(), strRight.end(),
                                        [](char a, char b)
                                        { return static_cast<uint8_t>(a) < static_cast<uint8_t>(b); });
}

class CModelMap
{
public:
    CModelMap(const SSeparators& separators, const std::string& strExtra)
        : m_strArg(separators.szArg), m_strPart(separators.szPart),
          m_strEscaped(strExtra + separators.szArg + separators.szPart)
    {
    }

    std::string Escape(const std::string& strText) const
    {
        return ModelEscape(strText, m_strEscaped, MAP_ESCAPE, 0, 255);
    }

    void Set(const std::string& strKey, const std::string& strValue)
    {
        Remove(Escape(strKey));
        if (!strKey.empty())
            m_Entries.emplace_back(Escape(strKey), Escape(strValue));
    }

    void Parse(const std::string& strText, bool bAllowMultiple)
    {
        m_Entries.clear();
        std::size_t uiStart = 0;
        while (true)
        {
            const std::size_t uiEnd = strText.find(m_strPart, uiStart);
            const std::string strPiece =
                strText.substr(uiStart, uiEnd == std::string::npos ? std::string::npos : uiEnd - uiStart);
            const std::size_t uiArg = strPiece.find(m_strArg);
            const std::string strKey = strPiece.substr(0, uiArg);
            const std::string strValue = uiArg == std::string::npos ? "" : strPiece.substr(uiArg + m_strArg.size());
            if (!bAllowMultiple)
                Remove(strKey);
            if (!strKey.empty())
                m_Entries.emplace_back(strKey, strValue);
            if (uiEnd == std::string::npos)
                break;
            uiStart = uiEnd + m_strPart.size();
        }
    }

    // In map order: by key, equal keys in insertion order.
    Entries Sorted() const
    {
        Entries sorted = m_Entries;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto& left, const auto& right) { return KeyLess(left.first, right.first); });
        return sorted;
    }

    std::string Serialize() const
    {
        std::string strText;
        for (const auto& [strKey, strValue] : Sorted())
            strText += (strText.empty() ? "" : m_strPart) + strKey + m_strArg + strValue;
        return strText;
    }

    bool Get(const std::string& strKey, std::string& strOut, const std::string& strDefault) const
    {
        const std::string strEscapedKey = Escape(strKey);
        for (const auto& [strEntryKey, strValue] : Sorted())
        {
            if (strEntryKey == strEscapedKey)
            {
                strOut = ModelUnescape(strValue, MAP_ESCAPE);
                return true;
            }
        }
        strOut = strDefault;
        return false;
    }

    const Entries& GetEntries() const { return m_Entries; }

private:
    void Remove(const std::string& strKey)
    {
        m_Entries.erase(std::remove_if(m_Entries.begin(), m_Entries.end(),
                                       [&strKey](const auto& entry) { return entry.first == strKey; }),
                        m_Entries.end());
    }

    std::string m_strArg;
    std::string m_strPart;
    std::string m_strEscaped;
    Entries m_Entries;
};

// Keys and values from a small pool, so that steps meet each other's keys,
// or from the input.
SString PickText(CFuzzInput& input)
{
    static const char* const POOL[] = {"", "a", "ab", "b", "type", "a=b", "x&y", "#", "#3D", "\xC3\xA9", "A"};
    constexpr uint32_t POOL_SIZE = sizeof(POOL) / sizeof(POOL[0]);
    const uint32_t uiPick = input.Choice(POOL_SIZE + 1);
    return uiPick < POOL_SIZE ? SString(POOL[uiPick]) : input.Text(MAX_TEXT_BYTES);
}

void CheckSerializeAndParseBack(const CKeyValueMap& map, const SSeparators& separators, const SString& strExtra)
{
    const SString strText = map.Serialize();

    // Keys in the text form never go down, in unsigned bytes.
    std::vector<SString> pieces;
    if (!strText.empty())
        strText.SplitInto(separators.szPart, pieces);
    for (std::size_t i = 1; i < pieces.size(); ++i)
    {
        const SString strPrevious = pieces[i - 1].substr(0, pieces[i - 1].find(separators.szArg));
        const SString strKey = pieces[i].substr(0, pieces[i].find(separators.szArg));
        FUZZ_CHECK(!KeyLess(strKey, strPrevious), "text " + Hex(strText));
    }

    CKeyValueMap parsed(separators.szArg, separators.szPart, strExtra);
    parsed.Parse(strText, true);
    const SString strAgain = parsed.Serialize();
    FUZZ_CHECK(strAgain == strText, "text  " + Hex(strText) + "\nagain " + Hex(strAgain));
}

void CheckMap(CFuzzInput& input)
{
    const SSeparators& separators = SEPARATORS[input.Choice(sizeof(SEPARATORS) / sizeof(SEPARATORS[0]))];
    const SString strExtra = input.Text(MAX_EXTRA_ESCAPED);
    CKeyValueMap map(separators.szArg, separators.szPart, strExtra);
    CModelMap model(separators, strExtra);

    const uint32_t uiSteps = input.Choice(MAX_MAP_STEPS + 1);
    for (uint32_t uiStep = 0; uiStep < uiSteps && !input.IsEmpty(); ++uiStep)
    {
        enum EStep
        {
            STEP_SET_TEXT,
            STEP_SET_NUMBER,
            STEP_PARSE,
            STEP_PARSE_OWN_TEXT,
            STEP_GET,
            STEP_COUNT
        };
        switch (input.Choice(STEP_COUNT))
        {
        case STEP_SET_TEXT:
        {
            const SString strKey = PickText(input);
            const SString strValue = PickText(input);
            map.Set(strKey, strValue);
            model.Set(strKey, strValue);
            break;
        }
        case STEP_SET_NUMBER:
        {
            const SString strKey = PickText(input);
            const int32_t iNumber = input.Int32();
            map.Set(strKey, iNumber);
            model.Set(strKey, std::to_string(iNumber));
            break;
        }
        case STEP_PARSE:
        {
            const bool bAllowMultiple = input.Byte() & 1;
            const SString strText = input.Text(MAX_TEXT_BYTES * 2);
            map.Parse(strText, bAllowMultiple);
            model.Parse(strText, bAllowMultiple);
            break;
        }
        case STEP_PARSE_OWN_TEXT:
        {
            // The map's own text form, with the other setting of multiples.
            const bool bAllowMultiple = input.Byte() & 1;
            const SString strText = map.Serialize();
            map.Parse(strText, bAllowMultiple);
            model.Parse(strText, bAllowMultiple);
            break;
        }
        default:
        {
            const SString strKey = PickText(input);
            SString strOut = "unset";
            std::string strModelOut;
            const bool bFound = map.Get(strKey, strOut, "default");
            const bool bModelFound = model.Get(strKey, strModelOut, "default");
            FUZZ_CHECK(bFound == bModelFound && strOut == strModelOut, "key " + Hex(strKey) + "\ngot   " + Hex(strOut) +
                                                                           "\nmodel " + Hex(strModelOut) + "\nmap " +
                                                                           Hex(map.Serialize()));
            break;
        }
        }
        const SString strText = map.Serialize();
        const std::string strModelText = model.Serialize();
        FUZZ_CHECK(strText == strModelText, "got   " + Hex(strText) + "\nmodel " + Hex(strModelText));
    }

    // Entries that Parse took as they stood may hold separators, and then the
    // text form cannot be read back; escaped ones never do.
    const std::string strSeparatorBytes = std::string(separators.szArg) + separators.szPart;
    const Entries& entries = model.GetEntries();
    const bool bEscapedForm =
        std::all_of(entries.begin(), entries.end(),
                    [&strSeparatorBytes](const auto& entry)
                    {
                        return entry.first.find_first_of(strSeparatorBytes) == std::string::npos &&
                               entry.second.find_first_of(strSeparatorBytes) == std::string::npos;
                    });
    if (bEscapedForm)
        CheckSerializeAndParseBack(map, separators, strExtra);
    // Every key set through the map reads back its first value.
    for (const auto& [strEscapedKey, strEscapedValue] : model.Sorted())
    {
        const std::string strKey = ModelUnescape(strEscapedKey, MAP_ESCAPE);
        if (model.Escape(strKey) != strEscapedKey)
            continue; // a parsed key that no Set could have written
        std::string strModelOut;
        model.Get(strKey, strModelOut, "");
        SString strOut;
        FUZZ_CHECK(map.Get(strKey, strOut, "") && strOut == strModelOut, "key " + Hex(strKey));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, std::size_t uiSize)
{
    CFuzzInput input(pData, uiSize);
    CheckEscaping(input);
    CheckMap(input);
    return 0;
}
