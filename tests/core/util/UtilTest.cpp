// The one address parser and the one hex codec: what they take and refuse.
#include <gtest/gtest.h>

#include "core/util/Hex.h"
#include "core/util/Ipv4.h"

using namespace varnel;

namespace {

TEST(Ipv4, DecimalDottedQuadsOnly)
{
    const std::pair<const char*, std::optional<std::uint32_t>> rows[] = {
        {"10.0.0.5", 0x0A000005},
        {"0.0.0.0", 0},
        {"255.255.255.255", 0xFFFFFFFF},
        {"127.10.4.1", 0x7F0A0401},
        {"127.010.004.001", std::nullopt},  // leading zeros read as octal elsewhere
        {"010.0.0.1", std::nullopt},
        {"1.2.3.00", std::nullopt},
        {"256.1.1.1", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"1.2.3.", std::nullopt},
        {"", std::nullopt},
        {" 1.2.3.4", std::nullopt},
        {"1.2.3.4 ", std::nullopt},
        {"1.2.3.1000", std::nullopt},
        {"0x1.2.3.4", std::nullopt},
        {"-1.2.3.4", std::nullopt},
    };
    for (const auto& [text, address] : rows) {
        EXPECT_EQ(ParseIpv4(text), address) << text;
        if (address) {
            EXPECT_EQ(FormatIpv4(*address), text);
        }
    }
}

TEST(Hex, StrictPairsEitherCaseSpacesBetween)
{
    using B = std::vector<std::uint8_t>;
    const std::pair<const char*, std::optional<B>> rows[] = {
        {"", B{}},
        {"00ff7A", B{0x00, 0xFF, 0x7A}},
        {"00 FF\t7a\r\n", B{0x00, 0xFF, 0x7A}},
        {"0", std::nullopt},
        {"0 0", std::nullopt},  // a pair split by a space
        {"0g", std::nullopt},
        {"00,01", std::nullopt},
    };
    for (const auto& [text, bytes] : rows) EXPECT_EQ(ParseHexStrict(text), bytes) << text;
    EXPECT_EQ(FormatHex({0x00, 0xAB, 0x10}, " "), "00 ab 10 ");
    EXPECT_EQ(FormatHex({0x00, 0xAB}), "00ab");
}

}  // namespace
