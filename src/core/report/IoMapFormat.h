#pragma once
// The I/O map as text: the table `varnelctl report` prints, the lines
// `varnelctl show` adds, CSV (for spreadsheets), tab-separated text (for the
// clipboard) and JSON.
#include <string>
#include <vector>

#include "core/report/IoMap.h"

namespace varnel {

// The columns of the CSV form, in order.
inline constexpr const char* IO_MAP_CSV_HEADER =
    "port,slot,command,slave,function,start,reference,quantity,direction,first_byte,last_byte,"
    "bytes";

// Header and one row of cells per command (every port), then the status
// tables' rows: the cells of the CSV and clipboard forms.
std::vector<std::vector<std::string>> IoMapCells(const IoMap& map);

// The cells of one row: port, slot, command, ... as in the header.
std::vector<std::string> IoMapRowCells(Port port, const IoMapRow& row);

// UTF-8 with a byte order mark, comma-separated, CRLF line ends; cells with a
// comma, a quote or a line end are quoted.
std::string FormatIoMapCsv(const IoMap& map);

// Tab-separated, one line per row, for pasting into a spreadsheet.
std::string FormatIoMapTabs(const IoMap& map);

// The readable table: image size and CRC, the totals, per port the serial
// parameters, what bytes 0-1 hold and one aligned row per occupied slot.
std::string FormatIoMapText(const IoMap& map);

// The lines `show` prints after the address and slot count: the totals, per
// port its lengths, serial parameters and "SLOT LABEL SLAVE START QTY
// eipIN|eipOUT a..b" rows.
std::string FormatShowLines(const IoMap& map);

// The whole map as a JSON object.
std::string FormatIoMapJson(const IoMap& map);

// "0x03": a function code as the map writes it.
std::string FunctionText(int functionCode);

// Display columns of UTF-8 text, CJK characters counting two.
int DisplayWidth(const std::string& text);

}  // namespace varnel
