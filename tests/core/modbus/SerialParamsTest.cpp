// Serial parameter bytes opened into list choices and written back.
#include <gtest/gtest.h>

#include "core/modbus/SerialParams.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

// Opens `hex`, lets `choose` change the choices, stores them back; returns the bytes.
template <typename F>
Bytes OpenAndStore(const char* hex, F choose)
{
    Bytes prm = H(hex);
    std::span<std::uint8_t, 5> p(prm.data(), 5);
    SerialChoices c = OpenSerialParams(p);
    choose(c);
    StoreSerialParams(c, p);
    return prm;
}

// The item text of each list, "<none>" where nothing is chosen.
std::vector<std::string> Items(const SerialChoices& c)
{
    std::vector<std::string> out;
    for (int list = 0; list < LIST_COUNT; ++list) {
        const int i = c.index[list];
        out.emplace_back(i == NO_CHOICE ? "<none>" : SerialLists()[list].items[std::size_t(i)]);
    }
    return out;
}

TEST(SerialParams, DefaultBytesOpenAndStoreUnchanged)
{
    const Bytes prm = OpenAndStore("05 00 00 41 14", [](SerialChoices& c) {
        EXPECT_EQ(Items(c), (std::vector<std::string>{
                                "9600", "8 DataLen,1 StopBit,No Parity", "Not Monitor Slave Status",
                                "200ms", "At MD_scan End", "Write always", "Same Interval"}));
    });
    EXPECT_EQ(prm, H("05 00 00 41 14"));
}

TEST(SerialParams, ChoicesByTextOrIndexGiveTheBytes)
{
    const Bytes prm = OpenAndStore("05 00 00 41 14", [](SerialChoices& c) {
        c.index[BAUD] = FindSerialItem(BAUD, "115.2K");
        c.index[FORMAT] = FindSerialItem(FORMAT, "8 DataLen,1 StopBit,Odd Parity");
        c.index[MONITOR] = FindSerialItem(MONITOR, "8");
        c.index[TIMER] = FindSerialItem(TIMER, "1000ms");
        c.index[UPDATE] = FindSerialItem(UPDATE, "1");
        c.index[WRITE_MODE] = FindSerialItem(WRITE_MODE, "Write on change");
        c.index[TIMER_MODE] = FindSerialItem(TIMER_MODE, "Time of Reply");
    });
    EXPECT_EQ(prm, H("09 02 08 82 64"));
    EXPECT_EQ(FindSerialItem(BAUD, "9"), NO_CHOICE);
    EXPECT_EQ(FindSerialItem(BAUD, "19.2k"), NO_CHOICE);
    EXPECT_EQ(FindSerialItem(UPDATE, "-1"), NO_CHOICE);
}

TEST(SerialParams, TimerTableFallbackAndBytesNoListCanShow)
{
    const auto& table = TimerValueTable();
    const auto& items = SerialLists()[TIMER].items;
    ASSERT_EQ(items.size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(std::to_string(table[i] * 10) + "ms", items[i]);
    const Bytes timer = OpenAndStore("05 00 00 41 07",
                                     [](SerialChoices& c) { EXPECT_EQ(Items(c)[TIMER], "650ms"); });
    EXPECT_EQ(timer[4], 65);

    // Bits 2-5 of byte 3 are cleared (update code 2 kept).
    EXPECT_EQ(OpenAndStore("05 00 00 7e 14", [](SerialChoices&) {})[3], 0x42);
    // Baud 0, format 7, monitor 9, update code 0 or 3 open without a choice and
    // are stored back unchanged.
    for (const char* bytes : {"00 07 09 40 14", "0a 04 0c c3 14"}) {
        const Bytes odd = OpenAndStore(bytes, [bytes](SerialChoices& c) {
            for (SerialListId list : {BAUD, FORMAT, MONITOR, UPDATE})
                EXPECT_EQ(c.index[list], NO_CHOICE) << bytes << " list " << list;
        });
        EXPECT_EQ(odd, H(bytes));
    }
}

}  // namespace
