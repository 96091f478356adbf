// Serial parameter bytes opened into list choices and written back.
#include <gtest/gtest.h>

#include "core/modbus/SerialParams.h"
#include "support/TestSupport.h"

using namespace varnel;
static std::vector<std::uint8_t> H(const std::string& hex) { return testsupport::Bytes(hex); }

namespace {

std::string Item(SerialListId list, const SerialChoices& c)
{
    const int i = c.index[list];
    return i == NO_CHOICE ? "<none>" : std::string(SerialLists()[list].items[static_cast<std::size_t>(i)]);
}

TEST(SerialParams, DefaultBytesOpenAndStoreUnchanged)
{
    std::vector<std::uint8_t> prm = H("05 00 00 41 14");
    std::span<std::uint8_t, 5> p(prm.data(), 5);
    SerialChoices c = OpenSerialParams(p);
    EXPECT_EQ(Item(BAUD, c), "9600");
    EXPECT_EQ(Item(FORMAT, c), "8 DataLen,1 StopBit,No Parity");
    EXPECT_EQ(Item(MONITOR, c), "Not Monitor Slave Status");
    EXPECT_EQ(Item(TIMER, c), "200ms");
    EXPECT_EQ(Item(UPDATE, c), "At MD_scan End");
    EXPECT_EQ(Item(WRITE_MODE, c), "Write always");
    EXPECT_EQ(Item(TIMER_MODE, c), "Same Interval");
    StoreSerialParams(c, p);
    EXPECT_EQ(prm, H("05 00 00 41 14"));
}

TEST(SerialParams, ChoicesByTextOrIndexGiveTheBytes)
{
    std::vector<std::uint8_t> prm = H("05 00 00 41 14");
    std::span<std::uint8_t, 5> p(prm.data(), 5);
    SerialChoices c = OpenSerialParams(p);
    c.index[BAUD] = FindSerialItem(BAUD, "115.2K");
    c.index[FORMAT] = FindSerialItem(FORMAT, "8 DataLen,1 StopBit,Odd Parity");
    c.index[MONITOR] = FindSerialItem(MONITOR, "8");
    c.index[TIMER] = FindSerialItem(TIMER, "1000ms");
    c.index[UPDATE] = FindSerialItem(UPDATE, "1");
    c.index[WRITE_MODE] = FindSerialItem(WRITE_MODE, "Write on change");
    c.index[TIMER_MODE] = FindSerialItem(TIMER_MODE, "Time of Reply");
    StoreSerialParams(c, p);
    EXPECT_EQ(prm, H("09 02 08 82 64"));
    EXPECT_EQ(FindSerialItem(BAUD, "9"), NO_CHOICE);
    EXPECT_EQ(FindSerialItem(BAUD, "19.2k"), NO_CHOICE);
    EXPECT_EQ(FindSerialItem(UPDATE, "-1"), NO_CHOICE);
}

TEST(SerialParams, TimerTableAndFallback)
{
    const auto& table = TimerValueTable();
    const auto& items = SerialLists()[TIMER].items;
    ASSERT_EQ(items.size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(std::to_string(table[i] * 10) + "ms", items[i]);
    std::vector<std::uint8_t> prm = H("05 00 00 41 07");
    std::span<std::uint8_t, 5> p(prm.data(), 5);
    SerialChoices c = OpenSerialParams(p);
    EXPECT_EQ(Item(TIMER, c), "650ms");
    StoreSerialParams(c, p);
    EXPECT_EQ(prm[4], 65);
}

TEST(SerialParams, BitsTwoToFiveClearedAndOutOfRangeBytesKept)
{
    std::vector<std::uint8_t> prm = H("05 00 00 7e 14");  // bits 2-5 set, update code 2
    std::span<std::uint8_t, 5> p(prm.data(), 5);
    StoreSerialParams(OpenSerialParams(p), p);
    EXPECT_EQ(prm[3], 0x42);

    // Bytes no list can show (baud 0, format 7, monitor 9, update code 0 or 3)
    // open without a choice and are stored back unchanged.
    for (const char* bytes : {"00 07 09 40 14", "0a 04 0c c3 14"}) {
        SCOPED_TRACE(bytes);
        std::vector<std::uint8_t> odd = H(bytes);
        std::span<std::uint8_t, 5> o(odd.data(), 5);
        SerialChoices c = OpenSerialParams(o);
        EXPECT_EQ(c.index[BAUD], NO_CHOICE);
        EXPECT_EQ(c.index[FORMAT], NO_CHOICE);
        EXPECT_EQ(c.index[MONITOR], NO_CHOICE);
        EXPECT_EQ(c.index[UPDATE], NO_CHOICE);
        StoreSerialParams(c, o);
        EXPECT_EQ(odd, H(bytes));
    }
}

}  // namespace
