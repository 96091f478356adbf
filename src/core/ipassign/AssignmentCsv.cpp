#include "core/ipassign/AssignmentCsv.h"

#include "core/model/AtomicFile.h"
#include "core/util/Csv.h"

namespace varnel {

namespace {

constexpr std::string_view HEADER = "mac,ip,name";
constexpr std::string_view BOM = "\xEF\xBB\xBF";
// Beside the option file: the path of the last assignment list.
constexpr std::string_view LAST_LIST_FILE = "AssignList.last";

// One CSV record: its fields and the line it starts on.
struct CsvRecord {
    std::vector<std::string> fields;
    std::size_t line = 0;
    bool quoteOpen = false;  // the file ended inside a quoted field
};

// Reads the record starting at `pos`, moving `pos` past its line end and
// `line` past the lines it spans.
CsvRecord NextRecord(std::string_view text, std::size_t& pos, std::size_t& line)
{
    CsvRecord record;
    record.line = line;
    record.fields.emplace_back();
    bool quoted = false;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (quoted) {
            if (c == '"' && pos < text.size() && text[pos] == '"') {
                record.fields.back() += '"';
                ++pos;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n') ++line;
                record.fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record.fields.emplace_back();
        } else if (c == '\n') {
            ++line;
            break;
        } else if (c != '\r') {
            record.fields.back() += c;
        }
    }
    record.quoteOpen = quoted;
    return record;
}

// Length of the UTF-8 sequence at s[0], or 0 when it is malformed.
std::size_t Utf8Length(std::string_view s)
{
    const auto lead = static_cast<unsigned char>(s[0]);
    std::size_t need = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        need = 1;
    else if (lead >= 0xE0 && lead <= 0xEF)
        need = 2;
    else if (lead >= 0xF0 && lead <= 0xF4)
        need = 3;
    else
        return 0;
    if (s.size() <= need) return 0;
    for (std::size_t i = 1; i <= need; ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0;
    const auto second = static_cast<unsigned char>(s[1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
        return 0;  // overlong, surrogate or beyond U+10FFFF
    return need + 1;
}

bool IsUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = Utf8Length(s.substr(i));
        if (n == 0) return false;
        i += n;
    }
    return true;
}

Refusal LineRefused(std::size_t line, const std::string& text)
{
    const std::string n = std::to_string(line);
    return Refuse(Code::BadAssignment, "第 " + n + " 行 (line " + n + "): " + text);
}

}  // namespace

Result<std::vector<NewIpEntry>> ReadAssignmentCsv(std::string_view text)
{
    if (text.starts_with(BOM)) text.remove_prefix(BOM.size());
    std::size_t pos = 0, line = 1;
    const CsvRecord header = NextRecord(text, pos, line);
    if (header.fields != std::vector<std::string>{"mac", "ip", "name"})
        return LineRefused(
            1, "表头应为 " + std::string(HEADER) + " (header must be " + std::string(HEADER) + ")");
    std::vector<NewIpEntry> rows;
    while (pos < text.size()) {
        CsvRecord record = NextRecord(text, pos, line);
        if (record.fields.size() == 1 && record.fields[0].empty() && !record.quoteOpen)
            continue;  // a blank line
        if (record.quoteOpen) return LineRefused(record.line, "引号未闭合 (unclosed quote)");
        if (record.fields.size() < 2 || record.fields.size() > 3)
            return LineRefused(record.line, "应为 mac,ip,name 三列 (expected mac,ip,name)");
        record.fields.resize(3);
        if (!IsUtf8(record.fields[2]))
            return LineRefused(record.line, "名称不是UTF-8文本 (name is not UTF-8)");
        NewIpEntry entry{record.fields[0], record.fields[1], record.fields[2], {}};
        if (Status checked = CheckNewIp(entry); !checked)
            return LineRefused(record.line, checked.message().text);
        rows.push_back(std::move(entry));
    }
    return rows;
}

std::string WriteAssignmentCsv(const std::vector<NewIpEntry>& rows)
{
    std::string out = std::string(HEADER) + "\n";
    for (const NewIpEntry& row : rows)
        out += CsvField(row.macText) + "," + CsvField(row.ipText) + "," + CsvField(row.deviceName) +
               "\n";
    return out;
}

Result<std::vector<NewIpEntry>> LoadAssignmentFile(const std::string& path)
{
    const auto text = ReadWholeFile(path);
    if (!text) return text.error();
    auto rows = ReadAssignmentCsv(*text);
    if (!rows) return Refuse(rows.code(), path + " " + rows.message().text);
    return rows;
}

Status SaveAssignmentFile(const std::string& path, const std::vector<NewIpEntry>& rows)
{
    return WriteFileAtomically(path, WriteAssignmentCsv(rows));
}

std::string LastAssignmentFile(const std::string& appFolder)
{
    const auto text = ReadWholeFile(appFolder + "/IP/" + std::string(LAST_LIST_FILE));
    if (!text) return {};
    std::string path = *text;
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    return path;
}

Status RememberAssignmentFile(const std::string& appFolder, const std::string& path)
{
    return WriteFileAtomically(appFolder + "/IP/" + std::string(LAST_LIST_FILE), path + "\n");
}

}  // namespace varnel
