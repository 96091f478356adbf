// The table of texts in both languages: complete for the sources, English
// everywhere, and composites translated with their values.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "core/model/MessageTable.h"
#include "core/project/TableRows.h"

using namespace varnel;

namespace {

bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// CJK characters and punctuation, U+3000 to U+9FFF, and the full-width forms.
bool HasChinese(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b >= 0xE3 && b <= 0xE9) ||
            (b == 0xEF && i + 1 < text.size() && (text[i + 1] == '\xBC' || text[i + 1] == '\xBD')))
            return true;
    }
    return false;
}

std::set<std::string> Placeholders(std::string_view text)
{
    static const std::regex placeholder(R"(\{[1-9]\})");
    const std::string s(text);
    return {std::sregex_token_iterator(s.begin(), s.end(), placeholder), {}};
}

// The Chinese string literals of a source line outside its comment, with the
// escapes \n and \" undone and cut at a printf conversion.
std::vector<std::string> ChineseLiterals(const std::string& line)
{
    std::vector<std::string> found;
    std::string literal;
    bool inString = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (!inString && c == '/' && line.compare(i, 2, "//") == 0) break;
        if (!inString && c == '\'' && i + 2 < line.size()) {
            i += line[i + 1] == '\\' ? 3 : 2;  // a character literal
        } else if (c == '"') {
            if (inString && HasChinese(literal))
                found.push_back(literal.substr(0, literal.find('%')));
            inString = !inString;
            literal.clear();
        } else if (inString && c == '\\' && i + 1 < line.size()) {
            literal += line[++i] == 'n' ? '\n' : line[i];
        } else if (inString) {
            literal += c;
        }
    }
    return found;
}

}  // namespace

TEST(MessageTable, EveryEntryHasAnEnglishTextWithTheSameValues)
{
    for (const MessageText& entry : MessageTable()) {
        SCOPED_TRACE(std::string(entry.zh));
        EXPECT_FALSE(entry.en.empty());
        EXPECT_TRUE(IsAscii(entry.en));
        EXPECT_TRUE(HasChinese(entry.zh));
        EXPECT_EQ(Placeholders(entry.zh), Placeholders(entry.en));
    }
}

// Every Chinese text written in core or in varnelctl is (a piece of) a text
// of the table, so none of them reaches the English interface untranslated.
TEST(MessageTable, CoversEveryChineseTextOfCoreAndTheCommandLine)
{
    namespace fs = std::filesystem;
    int literals = 0;
    for (const char* folder : {"src/core", "src/cli"}) {
        for (const auto& file :
             fs::recursive_directory_iterator(fs::path(VARNEL_SOURCE_DIR) / folder)) {
            if (!file.is_regular_file() || file.path().filename() == "MessageTable.cpp") continue;
            std::ifstream in(file.path());
            for (std::string line; std::getline(in, line);) {
                for (const std::string& literal : ChineseLiterals(line)) {
                    ++literals;
                    bool covered = false;
                    for (const MessageText& entry : MessageTable())
                        covered = covered || entry.zh.find(literal) != std::string_view::npos;
                    EXPECT_TRUE(covered) << file.path() << ": \"" << literal << "\"";
                }
            }
        }
    }
    EXPECT_GT(literals, 100);
}

TEST(MessageTable, TranslatesLinesAndCompositesAndLeavesUnknownTexts)
{
    for (const auto& row : tablerows::Rows("../model/message-table.tsv")) {
        ASSERT_EQ(row.size(), 3u) << row[0];
        EXPECT_EQ(EnglishText(row[0]), row[1]);
        EXPECT_EQ(WithEnglish(row[0]), row[2]);
    }
}
