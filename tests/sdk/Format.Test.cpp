#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "SharedUtil.Format.h"

using namespace SharedUtil;

namespace
{
// Expected texts as std::format and {fmt} write them.
TEST(FormatBraces, WritesTextsAndIntegersAsTheStandardSyntaxSays)
{
    struct SCase
    {
        SString strActual;
        std::string strExpected;
    };
    const SString strPath = "C:\\Games\\qel";
    const std::string strWithZero("a\0b", 3);
    const SCase cases[] = {
        {FormatBraces("no placeholder"), "no placeholder"},
        {FormatBraces("Launcher Main: Launch: '{}', Qel: '{}'", strPath, "C:\\x"),
         "Launcher Main: Launch: 'C:\\Games\\qel', Qel: 'C:\\x'"},
        {FormatBraces("{}", std::string_view("view")), "view"},
        {FormatBraces("[{}]", strWithZero), std::string("[a\0b]", 5)},
        {FormatBraces("{}", ""), ""},
        {FormatBraces("{{}} {{{}}}", 7), "{} {7}"},
        {FormatBraces("(hr=0x{:08X})", static_cast<uint32_t>(0x80004005)), "(hr=0x80004005)"},
        {FormatBraces("{:08X}", 0x2Au), "0000002A"},
        {FormatBraces("{:x} {:X} {:d}", 255, 255, 255), "ff FF 255"},
        {FormatBraces("{}", 0), "0"},
        {FormatBraces("{}", -42), "-42"},
        {FormatBraces("{:x}", -255), "-ff"},
        {FormatBraces("{:05}", -42), "-0042"},
        {FormatBraces("{:03}", 12345), "12345"},
        {FormatBraces("{}", std::numeric_limits<int64_t>::min()), "-9223372036854775808"},
        {FormatBraces("{}", std::numeric_limits<uint64_t>::max()), "18446744073709551615"},
        {FormatBraces("{:X}", std::numeric_limits<uint64_t>::max()), "FFFFFFFFFFFFFFFF"},
        {FormatBraces("{}", static_cast<unsigned char>(200)), "200"},
        {FormatBraces("[{:6}]", 42), "[    42]"},
        {FormatBraces("[{:6}]", "ab"), "[ab    ]"},
        {FormatBraces("[{:<6}]", 42), "[42    ]"},
        {FormatBraces("[{:>6s}]", "ab"), "[    ab]"},
        {FormatBraces("[{:*^7}]", "ab"), "[**ab***]"},
        {FormatBraces("[{:*<06}]", 42), "[42****]"}, // an alignment turns zero padding off
        {FormatBraces("[{:1}]", "longer"), "[longer]"},
        {FormatBraces("[{:}]", 5), "[5]"},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.strExpected);
        EXPECT_EQ(testCase.strExpected, static_cast<const std::string&>(testCase.strActual));
    }
}

// What the compile-time check accepts, seen through the same function.
TEST(FormatBraces, CheckAcceptsOnlyFittingFormats)
{
    using FormatDetail::CheckFormat;
    using FormatDetail::EArgKind;
    constexpr EArgKind TEXT = EArgKind::TEXT;
    constexpr EArgKind INTEGER = EArgKind::INTEGER;
    struct SCase
    {
        const char* szFormat;
        EArgKind kind;
        std::size_t uiArgs;
        bool bValid;
    };
    const SCase cases[] = {
        {"{}", TEXT, 1, true},        {"{:s}", TEXT, 1, true},      {"{:08X}", INTEGER, 1, true},
        {"{:>4d}", INTEGER, 1, true}, {"{{}}", TEXT, 0, true},      {"{}", TEXT, 0, false},
        {"text", TEXT, 1, false},     {"{", TEXT, 1, false},        {"}", TEXT, 0, false},
        {"{0}", TEXT, 1, false},      {"{:d}", TEXT, 1, false},     {"{:s}", INTEGER, 1, false},
        {"{:05}", TEXT, 1, false},    {"{:+d}", INTEGER, 1, false}, {"{:#x}", INTEGER, 1, false},
        {"{:10000}", TEXT, 1, false}, {"{:9999}", TEXT, 1, true},   {"{:.2}", TEXT, 1, false},
        {"{:{<4}", TEXT, 1, false},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.szFormat);
        const EArgKind kinds[] = {testCase.kind};
        EXPECT_EQ(testCase.bValid, CheckFormat(testCase.szFormat, kinds, testCase.uiArgs));
    }
}
} // namespace
