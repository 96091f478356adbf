#pragma once
// One field of a comma-separated line: quoted (with doubled quotes) when it
// holds a comma, a quote or a line end, as spreadsheet programs read it.
#include <string>

namespace varnel {

std::string CsvField(const std::string& text);

}  // namespace varnel
