#pragma once
// Rows of a table file under tests/data/project: fields split at tabs, with
// the escapes \r \n \t \\ and \xHH; blank lines and lines starting with "#"
// are skipped.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace tablerows {

using Row = std::vector<std::string>;

inline std::vector<Row> Rows(const std::string& name)
{
    std::ifstream in(std::string(VARNEL_SOURCE_DIR) + "/tests/data/project/" + name);
    std::vector<Row> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        Row& row = rows.emplace_back(1);
        for (std::size_t i = 0; i < line.size(); ++i) {
            char c = line[i];
            if (c == '\t') {
                row.emplace_back();
                continue;
            }
            if (c == '\\' && ++i < line.size()) {
                c = line[i] == 'r' ? '\r' : line[i] == 'n' ? '\n' : line[i] == 't' ? '\t' : line[i];
                if (line[i] == 'x') {
                    c = static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                }
            }
            row.back() += c;
        }
    }
    EXPECT_FALSE(rows.empty()) << name;
    return rows;
}

}  // namespace tablerows
