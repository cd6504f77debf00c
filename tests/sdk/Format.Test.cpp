#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "SharedUtil.Format.h"

using namespace SharedUtil;

namespace
{
// Expected texts as std::format writes them: the seam must keep them whatever
// library stands behind it.
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
        {FormatBraces("[{:1}]", "longer"), "[longer]"},
        {FormatBraces("[{:}]", 5), "[5]"},
    };
    for (const SCase& testCase : cases)
    {
        SCOPED_TRACE(testCase.strExpected);
        EXPECT_EQ(testCase.strExpected, static_cast<const std::string&>(testCase.strActual));
    }
}
} // namespace
