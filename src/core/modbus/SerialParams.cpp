#include "core/modbus/SerialParams.h"

namespace varnel {

const std::array<SerialList, LIST_COUNT>& SerialLists()
{
    static const std::array<SerialList, LIST_COUNT> lists = {{
        {"波特率:", {"600", "1200", "2400", "4800", "9600", "19.2K", "38.4K", "57.6K", "115.2K"}},
        {"校验:",
         {"8 DataLen,1 StopBit,No Parity", "8 DataLen,1 StopBit,Even Parity",
          "8 DataLen,1 StopBit,Odd Parity", "8 DataLen,2 StopBit,No Parity"}},
        {"从站状态监控:",
         {"Not Monitor Slave Status", "Monitor Slave Status(8 Bits)",
          "Monitor Slave Status(8 Bytes)", "Monitor Slave Status(16 Bits)",
          "Monitor Slave Status(16 Bytes)", "Monitor Slave Status(24 Bits)",
          "Monitor Slave Status(24 Bytes)", "Monitor Slave Status(32 Bits)",
          "Monitor Slave Status(32 Bytes)"}},
        {"定时器值:",
         {"10ms",  "20ms",  "30ms",  "40ms",  "50ms",  "60ms",  "80ms",  "100ms", "120ms",
          "150ms", "200ms", "250ms", "300ms", "350ms", "400ms", "450ms", "500ms", "550ms",
          "600ms", "650ms", "700ms", "750ms", "800ms", "850ms", "900ms", "950ms", "1000ms"}},
        {"数据更新模式:", {"At MD_scan End", "At Evry MD End"}},
        {"写模式:", {"Write always", "Write on change"}},
        {"定时器模式:", {"Time of Reply", "Same Interval"}},
    }};
    return lists;
}

const std::array<std::uint8_t, 27>& TimerValueTable()
{
    static const std::array<std::uint8_t, 27> table = {1,  2,  3,  4,  5,  6,  8,  10, 12,
                                                       15, 20, 25, 30, 35, 40, 45, 50, 55,
                                                       60, 65, 70, 75, 80, 85, 90, 95, 100};
    return table;
}

namespace {
int InList(SerialListId list, int index)
{
    const int size = static_cast<int>(SerialLists()[list].items.size());
    return index >= 0 && index < size ? index : NO_CHOICE;
}
}  // namespace

SerialChoices OpenSerialParams(std::span<const std::uint8_t, 5> p)
{
    SerialChoices c;
    c.index[BAUD] = InList(BAUD, p[0] - 1);
    c.index[FORMAT] = InList(FORMAT, p[1]);
    c.index[MONITOR] = InList(MONITOR, p[2]);
    c.index[TIMER] = TIMER_FALLBACK_INDEX;
    const auto& table = TimerValueTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i] == p[4]) {
            c.index[TIMER] = static_cast<int>(i);
            break;
        }
    }
    c.index[UPDATE] = InList(UPDATE, (p[3] & 3) - 1);
    c.index[WRITE_MODE] = p[3] >> 7;
    c.index[TIMER_MODE] = (p[3] >> 6) & 1;
    return c;
}

void StoreSerialParams(const SerialChoices& c, std::span<std::uint8_t, 5> p)
{
    const std::uint8_t oldMode = p[3];
    if (InList(BAUD, c.index[BAUD]) != NO_CHOICE)
        p[0] = static_cast<std::uint8_t>(c.index[BAUD] + 1);
    if (InList(FORMAT, c.index[FORMAT]) != NO_CHOICE)
        p[1] = static_cast<std::uint8_t>(c.index[FORMAT]);
    if (InList(TIMER, c.index[TIMER]) != NO_CHOICE)
        p[4] = TimerValueTable()[static_cast<std::size_t>(c.index[TIMER])];
    if (InList(MONITOR, c.index[MONITOR]) != NO_CHOICE)
        p[2] = static_cast<std::uint8_t>(c.index[MONITOR]);
    std::uint8_t mode = 0;
    if (InList(UPDATE, c.index[UPDATE]) != NO_CHOICE)
        mode |= static_cast<std::uint8_t>(c.index[UPDATE] + 1);
    else
        mode |= oldMode & 3;
    if (c.index[WRITE_MODE] == 1) mode |= 0x80;
    if (c.index[TIMER_MODE] == 1) mode |= 0x40;
    p[3] = mode;
}

int FindSerialItem(SerialListId list, std::string_view text)
{
    const auto& items = SerialLists()[list].items;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i] == text) return static_cast<int>(i);
    if (text.empty() || text.size() > 3) return NO_CHOICE;
    int value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return NO_CHOICE;
        value = value * 10 + (ch - '0');
    }
    return InList(list, value);
}

std::string DescribeSerialParams(std::span<const std::uint8_t, 5> comPrm)
{
    const SerialChoices c = OpenSerialParams(comPrm);
    std::string out;
    for (int list = 0; list < LIST_COUNT; ++list) {
        const auto& l = SerialLists()[static_cast<std::size_t>(list)];
        out += std::string(l.label) + " ";
        const int i = c.index[static_cast<std::size_t>(list)];
        if (i == NO_CHOICE)
            out += "(none: stored byte kept)";
        else
            out += std::string(l.items[static_cast<std::size_t>(i)]);
        out += "\n";
    }
    return out;
}

}  // namespace varnel
