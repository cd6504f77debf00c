#include <gtest/gtest.h>

#include "SharedUtil.Encoding.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

using SharedUtil::WString;

namespace
{
SString Bytes(std::initializer_list<unsigned int> bytes)
{
    std::string strResult;
    for (unsigned int uiByte : bytes)
        strResult += static_cast<char>(uiByte);
    return strResult;
}

WString Units(std::initializer_list<unsigned int> units)
{
    WString wstrResult;
    for (unsigned int uiUnit : units)
        wstrResult += static_cast<wchar_t>(uiUnit);
    return wstrResult;
}

std::string Hex(const std::string& strBytes)
{
    return SharedUtil::BytesToHex(strBytes.data(), static_cast<uint32_t>(strBytes.size()));
}

std::string Hex(const WString& wstrUnits)
{
    std::string strResult;
    for (wchar_t wcUnit : wstrUnits)
    {
        const uint8_t unitBytes[] = {static_cast<uint8_t>(wcUnit >> 8), static_cast<uint8_t>(wcUnit)};
        strResult += SharedUtil::BytesToHex(unitBytes, sizeof(unitBytes));
        strResult += ' ';
    }
    return strResult;
}

struct SDecodeCase
{
    SString strInput;
    WString wstrExpected;
};

struct SEncodeCase
{
    WString wstrInput;
    SString strExpected;
};

// One character of the long-text tests: its UTF-8 bytes, its units, and the
// bytes WideToUtf8 writes for those units.
struct SCharacter
{
    SString strUtf8;
    WString wstrUnits;
    SString strEncoded;
};

const std::vector<SCharacter>& MixedCharacters()
{
    static const std::vector<SCharacter> characters = {
        {Bytes({0x41}), Units({0x41}), Bytes({0x41})},
        {Bytes({0xC3, 0xA9}), Units({0xE9}), Bytes({0xC3, 0xA9})},
        {Bytes({0xCE, 0xA9}), Units({0x3A9}), Bytes({0xCE, 0xA9})},
        {Bytes({0xE6, 0x97, 0xA5}), Units({0x65E5}), Bytes({0xE6, 0x97, 0xA5})},
        {Bytes({0xF0, 0x9F, 0x98, 0x80}), Units({0xD83D, 0xDE00}), Bytes({0xF0, 0x9F, 0x98, 0x80})},
        {Bytes({0x7A}), Units({0x7A}), Bytes({0x7A})},
    };
    return characters;
}

struct SLongText
{
    SString strUtf8;
    WString wstrUnits;
    SString strEncoded;
};

// The mixed characters over and over, padded with ASCII so that the UTF-8
// text (bByUnits false) or the wide text (bByUnits true) is exactly uiSize long.
SLongText MakeLongText(std::size_t uiSize, bool bByUnits)
{
    SLongText text;
    const std::vector<SCharacter>& characters = MixedCharacters();
    const std::size_t uiCharacterCount = characters.size();
    for (std::size_t i = 0;; ++i)
    {
        const SCharacter& character = characters[i % uiCharacterCount];
        const std::size_t uiSoFar = bByUnits ? text.wstrUnits.size() : text.strUtf8.size();
        const std::size_t uiNext = bByUnits ? character.wstrUnits.size() : character.strUtf8.size();
        if (uiSoFar + uiNext > uiSize)
            break;
        text.strUtf8 += character.strUtf8;
        text.wstrUnits += character.wstrUnits;
        text.strEncoded += character.strEncoded;
    }
    while ((bByUnits ? text.wstrUnits.size() : text.strUtf8.size()) < uiSize)
    {
        text.strUtf8 += 'x';
        text.wstrUnits += L'x';
        text.strEncoded += 'x';
    }
    return text;
}

// Sizes around the stack buffer's limit and around the long path's pieces.
const std::size_t LONG_TEXT_SIZES[] = {0, 1, 998, 999, 1000, 1001, 1002, 2003, 3001, 65539};
} // namespace

TEST(Encoding, Utf8ToWideDecodesAndStopsAtTheFirstBadSequence)
{
    const SDecodeCase cases[] = {
        {Bytes({}), Units({})},
        {Bytes({0x41, 0xC3, 0xA9, 0x42}), Units({0x41, 0xE9, 0x42})},
        {Bytes({0x7F, 0xC2, 0x80, 0xDF, 0xBF}), Units({0x7F, 0x80, 0x7FF})},
        {Bytes({0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF}), Units({0x800, 0xFFFF})},
        {Bytes({0x41, 0xC0, 0x80, 0x42}), Units({0x41})}, // C0 never leads
        {Bytes({0x41, 0xC1, 0xBF}), Units({0x41})},       // overlong two-byte form
        {Bytes({0x41, 0x80, 0x42}), Units({0x41})},       // stray continuation byte
        {Bytes({0x41, 0xE0, 0x80, 0x80}), Units({0x41})}, // overlong three-byte form
        {Bytes({0x41, 0xE0, 0xA0, 0x80}), Units({0x41, 0x800})},
        {Bytes({0x41, 0xE2, 0x82}), Units({0x41})},                             // cut short
        {Bytes({0x41, 0x00, 0x42}), Units({0x41})},                             // zero byte ends the text
        {Bytes({0x41, 0xC3, 0x41}), Units({0x41})},                             // second byte no continuation
        {Bytes({0x41, 0xE2, 0x41, 0x82}), Units({0x41})},                       // second byte no continuation
        {Bytes({0x41, 0xE2, 0x82, 0x41}), Units({0x41})},                       // third byte no continuation
        {Bytes({0xED, 0xA0, 0x80}), Units({0xD800})},                           // encoded surrogate accepted
        {Bytes({0xED, 0xBF, 0xBF}), Units({0xDFFF})},                           // encoded surrogate accepted
        {Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}), Units({0xD83D, 0xDE00})}, // pair as two sequences
        {Bytes({0xF0, 0x9F, 0x98, 0x80}), Units({0xD83D, 0xDE00})},
        {Bytes({0xF0, 0x90, 0x80, 0x80}), Units({0xD800, 0xDC00})}, // U+10000
        {Bytes({0xF4, 0x8F, 0xBF, 0xBF}), Units({0xDBFF, 0xDFFF})}, // U+10FFFF
        {Bytes({0x41, 0xF0, 0x9F, 0x98, 0x80, 0x42}), Units({0x41, 0xD83D, 0xDE00, 0x42})},
        {Bytes({0x41, 0xF0, 0x8F, 0xBF, 0xBF}), Units({0x41})},             // overlong four-byte form
        {Bytes({0x41, 0xF0, 0x9F, 0x98}), Units({0x41})},                   // cut short
        {Bytes({0x41, 0xF1, 0x41, 0x80, 0x80}), Units({0x41})},             // second byte no continuation
        {Bytes({0x41, 0xF0, 0x9F, 0x41, 0x80}), Units({0x41})},             // third byte no continuation
        {Bytes({0x41, 0xF4, 0x90, 0x80, 0x80}), Units({0x41})},             // above U+10FFFF
        {Bytes({0x41, 0xF5, 0x80, 0x80, 0x80}), Units({0x41})},             // above U+10FFFF
        {Bytes({0x41, 0xF7, 0xBF, 0xBF, 0xBF}), Units({0x41})},             // above U+10FFFF
        {Bytes({0x41, 0xF8, 0x88, 0x80, 0x80, 0x80}), Units({0x41})},       // five-byte form
        {Bytes({0x41, 0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}), Units({0x41})}, // six-byte form
        {Bytes({0x41, 0xFE, 0x42}), Units({0x41})},
        {Bytes({0x41, 0xFF, 0x42}), Units({0x41})},
        // Blocks of eight bytes that are not all plain ASCII, the odd byte at each end.
        {Bytes({0xC2, 0x80, 0xC2, 0x80, 0xC2, 0x80, 0xC2, 0x80}), Units({0x80, 0x80, 0x80, 0x80})},
        {Bytes({0x00, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x42}), Units({})},
        {Bytes({0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x00, 0x42}),
         Units({0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41})},
        {Bytes({0x80, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x42}), Units({})},
        {Bytes({0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x80, 0x42}),
         Units({0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41})},
    };
    for (const SDecodeCase& testCase : cases)
    {
        SCOPED_TRACE(Hex(testCase.strInput));
        EXPECT_EQ(Hex(testCase.wstrExpected), Hex(SharedUtil::Utf8ToWide(testCase.strInput)));
    }
}

TEST(Encoding, WideToUtf8EncodesPairsAsOneSequenceAndOtherUnitsByThemselves)
{
    const SEncodeCase cases[] = {
        {Units({}), Bytes({})},
        {Units({0x41, 0x7F}), Bytes({0x41, 0x7F})},
        {Units({0x80, 0xE9, 0x7FF}), Bytes({0xC2, 0x80, 0xC3, 0xA9, 0xDF, 0xBF})},
        {Units({0x800, 0x20AC, 0xFFFF}), Bytes({0xE0, 0xA0, 0x80, 0xE2, 0x82, 0xAC, 0xEF, 0xBF, 0xBF})},
        {Units({0xD83D, 0xDE00}), Bytes({0xF0, 0x9F, 0x98, 0x80})}, // U+1F600
        {Units({0xD800, 0xDC00}), Bytes({0xF0, 0x90, 0x80, 0x80})}, // U+10000
        {Units({0xDBFF, 0xDFFF}), Bytes({0xF4, 0x8F, 0xBF, 0xBF})}, // U+10FFFF
        {Units({0x41, 0xD83D, 0xDE00, 0x42}), Bytes({0x41, 0xF0, 0x9F, 0x98, 0x80, 0x42})},
        {Units({0xD800}), Bytes({0xED, 0xA0, 0x80})},                                         // lone high at the end
        {Units({0xD800, 0x41}), Bytes({0xED, 0xA0, 0x80, 0x41})},                             // high, no low after it
        {Units({0xDC00, 0x41}), Bytes({0xED, 0xB0, 0x80, 0x41})},                             // lone low surrogate
        {Units({0xDE00, 0xD83D}), Bytes({0xED, 0xB8, 0x80, 0xED, 0xA0, 0xBD})},               // pair in the wrong order
        {Units({0xD83D, 0xD83D, 0xDE00}), Bytes({0xED, 0xA0, 0xBD, 0xF0, 0x9F, 0x98, 0x80})}, // high, then a pair
        {Units({0xD83D, 0xDE00, 0xDE00}), Bytes({0xF0, 0x9F, 0x98, 0x80, 0xED, 0xB8, 0x80})}, // pair, then a low
        {Units({0xD83D, 0x00, 0xDE00}), Bytes({0xED, 0xA0, 0xBD, 0x00, 0xED, 0xB8, 0x80})},   // a zero unit between
        {Units({0x41, 0x00, 0x42}), Bytes({0x41, 0x00, 0x42})},                               // zero unit kept
        // Four units that are ASCII but for the last, then more ASCII.
        {Units({0x41, 0x42, 0x43, 0xE9, 0x44, 0x45, 0x46, 0x47}),
         Bytes({0x41, 0x42, 0x43, 0xC3, 0xA9, 0x44, 0x45, 0x46, 0x47})},
        // Blocks of four units whose bits together make exactly 0x80: no ASCII block.
        {Units({0x80, 0x80, 0x80, 0x80}), Bytes({0xC2, 0x80, 0xC2, 0x80, 0xC2, 0x80, 0xC2, 0x80})},
        {Units({0x80, 0x00, 0x00, 0x00}), Bytes({0xC2, 0x80, 0x00, 0x00, 0x00})},
        {Units({0x00, 0x80, 0x00, 0x00}), Bytes({0x00, 0xC2, 0x80, 0x00, 0x00})},
        {Units({0x00, 0x00, 0x80, 0x00}), Bytes({0x00, 0x00, 0xC2, 0x80, 0x00})},
        {Units({0x00, 0x00, 0x00, 0x80}), Bytes({0x00, 0x00, 0x00, 0xC2, 0x80})},
    };
    for (const SEncodeCase& testCase : cases)
    {
        SCOPED_TRACE(Hex(testCase.wstrInput));
        EXPECT_EQ(Hex(testCase.strExpected), Hex(SharedUtil::WideToUtf8(testCase.wstrInput)));
    }
}

TEST(Encoding, WideToUtf8OfAPointerEndsAtTheFirstZeroUnit)
{
    EXPECT_EQ("", SharedUtil::WideToUtf8(static_cast<const wchar_t*>(nullptr)));
    EXPECT_EQ("", SharedUtil::WideToUtf8(L""));
    const WString wstrText = Units({0x41, 0xE9, 0x00, 0x42});
    EXPECT_EQ(Hex(Bytes({0x41, 0xC3, 0xA9})), Hex(SharedUtil::WideToUtf8(wstrText.c_str())));
}

TEST(Encoding, WideTextWithoutZeroUnitsSurvivesARoundTrip)
{
    WString wstrEveryUnit;
    for (unsigned int uiUnit = 1; uiUnit <= 0xFFFF; ++uiUnit)
        wstrEveryUnit += static_cast<wchar_t>(uiUnit);

    WString wstrEveryPair; // each high surrogate with a different low one
    for (unsigned int uiPayload = 0; uiPayload <= 0x3FF; ++uiPayload)
    {
        wstrEveryPair += static_cast<wchar_t>(0xD800 + uiPayload);
        wstrEveryPair += static_cast<wchar_t>(0xDFFF - uiPayload);
    }

    const WString texts[] = {
        Units({0x41}),
        Units({0xD800}),                 // lone high surrogate
        Units({0xDFFF, 0x41}),           // lone low surrogate
        Units({0xDE00, 0xD83D}),         // pair in the wrong order
        Units({0xD83D, 0xDE00, 0xD83D}), // pair, then a lone high surrogate
        Units({0x7FF, 0x800, 0xFFFE, 0xFFFF}),
        wstrEveryUnit,
        wstrEveryPair,
    };
    for (const WString& wstrText : texts)
    {
        SCOPED_TRACE(Hex(wstrText.substr(0, 8)));
        EXPECT_EQ(wstrText, SharedUtil::Utf8ToWide(SharedUtil::WideToUtf8(wstrText)));
    }
}

TEST(Encoding, ValidUtf8SurvivesARoundTrip)
{
    const SString texts[] = {
        Bytes({0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}),
        Bytes({0xF0, 0x90, 0x80, 0x80, 0xF4, 0x8F, 0xBF, 0xBF}),             // U+10000, U+10FFFF
        Bytes({0xEF, 0xBF, 0xBF, 0xF0, 0x9F, 0x98, 0x80, 0xEE, 0x80, 0x80}), // around the surrogates
        MakeLongText(5000, false).strUtf8,
    };
    for (const SString& strText : texts)
    {
        SCOPED_TRACE(Hex(strText.substr(0, 16)));
        EXPECT_EQ(Hex(strText), Hex(SharedUtil::WideToUtf8(SharedUtil::Utf8ToWide(strText))));
    }
}

TEST(Encoding, ShortAndLongTextsConvertAlike)
{
    for (std::size_t uiSize : LONG_TEXT_SIZES)
    {
        SCOPED_TRACE(uiSize);
        const SLongText byBytes = MakeLongText(uiSize, false);
        ASSERT_EQ(uiSize, byBytes.strUtf8.size());
        EXPECT_TRUE(byBytes.wstrUnits == SharedUtil::Utf8ToWide(byBytes.strUtf8));

        const SLongText byUnits = MakeLongText(uiSize, true);
        ASSERT_EQ(uiSize, byUnits.wstrUnits.size());
        EXPECT_TRUE(byUnits.strEncoded == SharedUtil::WideToUtf8(byUnits.wstrUnits));
        EXPECT_TRUE(byUnits.strEncoded == SharedUtil::WideToUtf8(byUnits.wstrUnits.c_str()));
    }
}

TEST(Encoding, SequencesAcrossTheLongPathsPiecesStayWhole)
{
    // The appending path converts in pieces; shifting the repeated character
    // by up to three ASCII units puts every one of its bytes at a piece's end.
    const SCharacter characters[] = {
        {Bytes({0xF0, 0x9F, 0x98, 0x80}), Units({0xD83D, 0xDE00}), Bytes({0xF0, 0x9F, 0x98, 0x80})},
        {Bytes({0xED, 0xA0, 0x80}), Units({0xD800}), Bytes({0xED, 0xA0, 0x80})},
        {Bytes({0xE2, 0x82, 0xAC}), Units({0x20AC}), Bytes({0xE2, 0x82, 0xAC})},
    };
    constexpr std::size_t REPEATS = 1500;
    constexpr std::size_t MAX_SHIFT = 3;
    for (const SCharacter& character : characters)
    {
        for (std::size_t uiShift = 0; uiShift <= MAX_SHIFT; ++uiShift)
        {
            SCOPED_TRACE(Hex(character.wstrUnits) + "shift " + std::to_string(uiShift));
            SLongText text{SString(std::string(uiShift, 'x')), WString(uiShift, L'x'),
                           SString(std::string(uiShift, 'x'))};
            for (std::size_t i = 0; i < REPEATS; ++i)
            {
                text.strUtf8 += character.strUtf8;
                text.wstrUnits += character.wstrUnits;
                text.strEncoded += character.strEncoded;
            }
            EXPECT_TRUE(text.wstrUnits == SharedUtil::Utf8ToWide(text.strUtf8));
            EXPECT_TRUE(text.strEncoded == SharedUtil::WideToUtf8(text.wstrUnits));
        }
    }
}

TEST(Encoding, LongTextsStopAtABadSequenceToo)
{
    // 999 bytes take the stack path, 1000 and more the appending one.
    for (std::size_t uiSize : {999u, 1000u, 5000u})
    {
        SCOPED_TRACE(uiSize);
        const SLongText text = MakeLongText(uiSize, false);
        EXPECT_TRUE(text.wstrUnits == SharedUtil::Utf8ToWide(text.strUtf8 + Bytes({0xC0, 0x41})));
        EXPECT_TRUE(text.wstrUnits == SharedUtil::Utf8ToWide(text.strUtf8 + Bytes({0x00, 0x41})));
        EXPECT_TRUE(text.wstrUnits == SharedUtil::Utf8ToWide(text.strUtf8 + Bytes({0xF0, 0x9F, 0x98})));
    }
}

TEST(Encoding, LongTextsStopAtEveryKindOfBadSequence)
{
    // The appending path goes on while the decoder says its piece is full: a
    // bad sequence taken for a full piece would never end the conversion.
    const SString badSequences[] = {
        Bytes({0x80, 0x41}),                   // stray continuation byte
        Bytes({0xC1, 0xBF}),                   // overlong two-byte form
        Bytes({0xC3, 0x41}),                   // second byte no continuation
        Bytes({0xC3}),                         // cut short
        Bytes({0xE0, 0x80, 0x80}),             // overlong three-byte form
        Bytes({0xE2, 0x41, 0x82}),             // second byte no continuation
        Bytes({0xE2, 0x82, 0x41}),             // third byte no continuation
        Bytes({0xE2, 0x82}),                   // cut short
        Bytes({0xF0, 0x8F, 0xBF, 0xBF}),       // overlong four-byte form
        Bytes({0xF1, 0x41, 0x80, 0x80}),       // second byte no continuation
        Bytes({0xF0, 0x9F, 0x41, 0x80}),       // third byte no continuation
        Bytes({0xF0, 0x9F, 0x98, 0x41}),       // fourth byte no continuation
        Bytes({0xF4, 0x90, 0x80, 0x80}),       // above U+10FFFF
        Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), // five-byte form
        Bytes({0xFF, 0x41}),
    };
    for (std::size_t uiSize : {999u, 1000u, 5000u})
    {
        const SLongText text = MakeLongText(uiSize, false);
        for (const SString& strBad : badSequences)
        {
            SCOPED_TRACE(Hex(strBad) + " after " + std::to_string(uiSize) + " bytes");
            EXPECT_TRUE(text.wstrUnits == SharedUtil::Utf8ToWide(text.strUtf8 + strBad));
        }
    }
}

TEST(Encoding, BytesToHexWritesUpperCaseDigits)
{
    const uint8_t data[] = {0x00, 0x1F, 0xA0, 0xFF};
    EXPECT_EQ("001FA0FF", SharedUtil::BytesToHex(data, sizeof(data)));
    EXPECT_EQ("", SharedUtil::BytesToHex(data, 0));
    EXPECT_EQ("", SharedUtil::BytesToHex(nullptr, 0));
}

TEST(Encoding, MultiStringToLinesJoinsTheStringsWithLineFeeds)
{
    struct SCase
    {
        WString wstrData;
        uint32_t uiUnits;
        WString wstrExpected;
    };
    const SCase cases[] = {
        {Units({'a', 0, 'b', 'c', 0, 0}), 6, L"a\nbc"},
        {Units({0}), 1, L""},
        {Units({'a', 'b'}), 2, L"ab"},                 // no terminator
        {Units({'a', 0, 'b'}), 3, L"a\nb"},            // last string unterminated
        {Units({'a', 0, 0, 'b', 0, 0}), 6, L"a"},      // the empty string ends the list
        {Units({'a', 0, 'b', 'c', 0, 0}), 3, L"a\nb"}, // the count ends the data
        {Units({'a', 0}), 0, L""},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(Hex(testCase.wstrData) + "count " + std::to_string(testCase.uiUnits));
        EXPECT_TRUE(testCase.wstrExpected ==
                    SharedUtil::MultiStringToLines(testCase.wstrData.data(), testCase.uiUnits));
    }
}

TEST(Encoding, EscapeTextEscapesTheChosenBytes)
{
    struct SCase
    {
        SString strText;
        SString strDisallowed;
        char cEscape;
        uint8_t ucLowest;
        uint8_t ucHighest;
        SString strExpected;
    };
    const SCase cases[] = {
        {std::string("a=b&c#d"), std::string("=&"), '#', 0, 255, std::string("a#3Db#26c#23d")},
        {std::string(""), std::string("="), '#', 0, 255, std::string("")},
        {Bytes({'a', 0x0A, 0x00}), std::string(""), '%', 0x20, 0x7E, std::string("a%0A%00")}, // below lowest
        {Bytes({'~', 0x7F, 0xFF}), std::string(""), '%', 0x20, 0x7E, std::string("~%7F%FF")}, // above highest
        {Bytes({0x1F, 0x20, 0x21}), std::string(""), '%', 0x20, 0x7E, std::string("%1F !")},  // lowest itself kept
        {Bytes({0x00, 'a'}), std::string(""), '#', 0, 255, Bytes({0x00, 'a'})},               // a lowest of zero
        {std::string("%%"), std::string(""), '%', 0, 255, std::string("%25%25")},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.strText);
        EXPECT_EQ(testCase.strExpected,
                  SharedUtil::EscapeText(testCase.strText, testCase.strDisallowed, testCase.cEscape, testCase.ucLowest,
                                         testCase.ucHighest));
    }
}

TEST(Encoding, UnescapeTextDecodesTwoDigitsAfterTheEscapeCharacter)
{
    struct SCase
    {
        SString strText;
        SString strExpected;
    };
    const SCase cases[] = {
        {std::string("a#3Db#26c#23d"), std::string("a=b&c#d")},
        {std::string("#4a"), Bytes({0x6A})}, // lower-case digit, computed by the rule
        {std::string("#4"), std::string("#4")},
        {std::string("#"), std::string("#")},
        {std::string("ab#"), std::string("ab#")},
        {std::string("#00#FF"), Bytes({0x00, 0xFF})},
        {std::string("x%41"), std::string("x%41")}, // another escape character
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.strText);
        EXPECT_EQ(Hex(testCase.strExpected), Hex(SharedUtil::UnescapeText(testCase.strText, '#')));
    }
}

TEST(Encoding, EveryByteSurvivesEscapeAndUnescape)
{
    std::string strEveryByte;
    for (unsigned int uiByte = 0; uiByte <= 0xFF; ++uiByte)
        strEveryByte += static_cast<char>(uiByte);
    const SString strEscaped = SharedUtil::EscapeText(strEveryByte, std::string("=&"), '#', 0x20, 0x7E);
    EXPECT_EQ(Hex(strEveryByte), Hex(SharedUtil::UnescapeText(strEscaped, '#')));
}
