// Serial parameter bytes opened into list choices and written back; the cases
// are the table tests/data/modbus/serial-params.txt.
#include <gtest/gtest.h>

#include "core/modbus/SerialParams.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

TEST(SerialParams, BytesOpenIntoChoicesAndStoreBack)
{
    for (const auto& row : Rows("modbus/serial-params.txt")) {
        SCOPED_TRACE(row[0]);
        Bytes prm = H(row[0]);
        std::span<std::uint8_t, 5> p(prm.data(), 5);
        SerialChoices c = OpenSerialParams(p);
        std::string opened;
        for (int list = 0; list < LIST_COUNT; ++list) {
            const int i = c.index[list];
            opened += (list == 0 ? "" : "; ") +
                      std::string(i == NO_CHOICE ? "-" : SerialLists()[list].items[std::size_t(i)]);
            if (row[1 + list] != ".")
                c.index[list] = FindSerialItem(SerialListId(list), row[1 + list]);
        }
        EXPECT_EQ(opened, row[8]);
        StoreSerialParams(c, p);
        EXPECT_EQ(prm, H(row[9]));
    }
    for (const char* text : {"9", "19.2k", "-1", ""})
        EXPECT_EQ(FindSerialItem(BAUD, text), NO_CHOICE);
    const auto& items = SerialLists()[TIMER].items;
    ASSERT_EQ(items.size(), TimerValueTable().size());
    for (std::size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(std::to_string(TimerValueTable()[i] * 10) + "ms", items[i]);
}

}  // namespace
