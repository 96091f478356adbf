#include "core/project/ProjectFile.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "core/image/Compiler.h"
#include "core/model/AtomicFile.h"
#include "core/model/SlotCount.h"
#include "core/project/CXmlDoc.h"
#include "core/project/OptionFile.h"
#include "core/project/TextCodec.h"
#include "core/util/Hex.h"

namespace varnel {

namespace {

// A read past the end of the file's bytes.
struct ShortFile {};

// Numbers as the C library converts them: leading blanks, a sign, digits
// (none give 0), saturating at the 32-bit limits.
std::int32_t DecimalValue(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t LIMIT = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(value * 10 + (text[i] - '0'), LIMIT);  // saturate, like atoi
    if (negative) return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, LIMIT - 1));
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Pairs of characters from the start, each through the C library's base-16
// conversion (a blank or sign accepted, stopping at a non-digit, the low
// eight bits kept); an odd last character is ignored.
Bytes HexPairs(std::string_view text)
{
    Bytes bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high >= 0 && low >= 0) {  // the usual case, as the C library converts it
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
            continue;
        }
        const char pair[3] = {text[i], text[i + 1], '\0'};
        bytes.push_back(static_cast<std::uint8_t>(std::strtol(pair, nullptr, 16) & 0xFF));
    }
    return bytes;
}

// Little-endian reader over the file bytes; a short read throws ShortFile.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : data(bytes) {}

    std::uint64_t Read(std::size_t size)
    {
        if (data.size() - at < size) throw ShortFile{};
        std::uint64_t value = 0;
        for (std::size_t k = 0; k < size; ++k)
            value |= std::uint64_t{static_cast<unsigned char>(data[at + k])} << (8 * k);
        at += size;
        return value;
    }
    std::string_view Take(std::uint64_t size)
    {
        if (data.size() - at < size) throw ShortFile{};
        std::string_view part = data.substr(at, static_cast<std::size_t>(size));
        at += static_cast<std::size_t>(size);
        return part;
    }
    std::size_t Left() const { return data.size() - at; }

private:
    std::string_view data;
    std::size_t at = 0;
};

// The text of the file in GBK: the length prefix read as the archive reads a
// string, including the UTF-16 form announced by 0xFFFE.
std::string ReadText(std::string_view bytes)
{
    ByteReader in(bytes);
    bool wide = false;
    std::uint64_t n;
    for (;;) {
        n = in.Read(1);
        if (n < 0xFF) break;
        n = in.Read(2);
        if (n == 0xFFFE && !wide) {
            wide = true;  // UTF-16 text: the length follows again, in characters
            continue;
        }
        if (n < 0xFFFF) break;
        n = in.Read(4);
        if (n < 0xFFFFFFFFu) break;
        n = in.Read(8);
        break;
    }
    if (!wide) return std::string(in.Take(n));
    if (n > in.Left() / 2) throw ShortFile{};
    return TextCodec::Utf16LeToGbk(in.Take(n * 2));
}

enum class Step { Done, Missing };

struct Reader {
    CXmlDoc& xml;
    CVarnelDoc& doc;
    std::string missing;

    bool Find(const char* name)
    {
        if (xml.FindElement(name)) return true;
        missing = name;
        return false;
    }

    std::string_view Attr(std::string_view name) { return xml.GetAttributeView(name); }

    void ReadRack(Port port)
    {
        for (int k = 0; k < CVarnelDoc::RACK_SIZE; ++k) doc.Slot(port, k).module = CModule{};
        for (int k = 0; xml.FindElement("Module"); ++k) {
            CModule module;
            module.moduleName = TextCodec::GbkToUtf8(Attr("moduleName"));
            module.usrPrm = TextCodec::GbkToUtf8(Attr("usrPrm"));
            module.Ext_Module_Prm_Data_Len = TextCodec::GbkToUtf8(Attr("Ext_Module_Prm_Data_Len"));
            module.picture = TextCodec::GbkToUtf8(Attr("picture"));
            module.inputLen = DecimalValue(Attr("inputLen"));
            module.outputLen = DecimalValue(Attr("outputLen"));
            module.modulePrm = HexPairs(Attr("modulePrm"));
            // A 58th module has no slot: the access throws, a format error.
            doc.Slot(port, k).module = std::move(module);
        }
    }

    Step Run()
    {
        if (!Find("VarnelProject")) return Step::Missing;
        xml.IntoElement();
        if (!Find("softVer")) return Step::Missing;
        (void)xml.GetData();  // read and ignored: every version reads alike
        if (!Find("deviceIp")) return Step::Missing;
        doc.deviceIp = TextCodec::GbkToUtf8(xml.GetData());
        if (!Find("deviceSlotNum")) return Step::Missing;
        const std::int32_t slots = DecimalValue(xml.GetData());
        // Drawing, compiling and the 57-slot racks all rely on 1 to 54.
        if (slots < 1 || slots > CVarnelDoc::MAX_USER_SLOTS)
            throw std::invalid_argument("deviceSlotNum out of range");
        doc.deviceSlotNum = slots;
        if (!Find("COMInfo")) return Step::Missing;
        doc.com1Enabled = DecimalValue(Attr("com1"));
        doc.com2Enabled = DecimalValue(Attr("com2"));
        if (!Find("COM1")) return Step::Missing;
        xml.IntoElement();
        ReadRack(Port::COM1);
        xml.OutOfElement();
        if (!Find("COM2")) return Step::Missing;
        xml.IntoElement();
        ReadRack(Port::COM2);
        xml.OutOfElement();
        return Step::Done;
    }
};

}  // namespace

Refusal ProjectFile::FormatRefusal()
{
    return BadDocumentRefusal();
}

Refusal ProjectFile::FormatError(CVarnelDoc& doc)
{
    doc.OnNewDocument();
    ReadAccessAddress(doc);
    return FormatRefusal();
}

std::string ProjectFile::LengthPrefix(std::uint64_t n)
{
    auto append = [](std::string& out, std::uint64_t value, int size) {
        for (int k = 0; k < size; ++k) out += static_cast<char>(value >> (8 * k) & 0xFF);
    };
    std::string out;
    if (n < 0xFF) {
        append(out, n, 1);
    } else if (n < 0xFFFE) {
        append(out, 0xFF, 1);
        append(out, n, 2);
    } else if (n < 0xFFFFFFFFu) {
        append(out, 0xFF, 1);
        append(out, 0xFFFF, 2);
        append(out, n, 4);
    } else {
        append(out, 0xFF, 1);
        append(out, 0xFFFF, 2);
        append(out, 0xFFFFFFFFu, 4);
        append(out, n, 8);
    }
    return out;
}

namespace {

void BuildProject(const CVarnelDoc& doc, CXmlDoc& xml)
{
    xml.SetDocument(ProjectFile::DECLARATION);
    xml.AddElement("VarnelProject");
    xml.IntoElement();
    xml.AddElement("softVer", "1.0");
    xml.AddElement("deviceIp", TextCodec::Utf8ToGbk(doc.deviceIp));
    xml.AddElement("deviceSlotNum", std::to_string(doc.deviceSlotNum));
    xml.AddElement("COMInfo");
    const std::string com1 = std::to_string(doc.com1Enabled);
    const std::string com2 = std::to_string(doc.com2Enabled);
    const CXmlDoc::NameValue ports[] = {{"com1", com1}, {"com2", com2}};
    xml.SetAttributes(ports);
    for (Port port : {Port::COM1, Port::COM2}) {
        xml.AddElement(PortName(port));
        xml.IntoElement();
        for (int index = 0; index <= doc.LastConfigIndex(); ++index) {
            const CModule& m = doc.Slot(port, index).module;
            xml.AddElement("Module");
            const std::string texts[] = {TextCodec::Utf8ToGbk(m.moduleName),
                                         TextCodec::Utf8ToGbk(m.usrPrm),
                                         TextCodec::Utf8ToGbk(m.Ext_Module_Prm_Data_Len),
                                         TextCodec::Utf8ToGbk(m.picture),
                                         std::to_string(m.inputLen),
                                         std::to_string(m.outputLen),
                                         FormatHex(m.modulePrm)};
            const CXmlDoc::NameValue attributes[] = {{"moduleName", texts[0]},
                                                     {"usrPrm", texts[1]},
                                                     {"Ext_Module_Prm_Data_Len", texts[2]},
                                                     {"picture", texts[3]},
                                                     {"inputLen", texts[4]},
                                                     {"outputLen", texts[5]},
                                                     {"modulePrm", texts[6]}};
            xml.SetAttributes(attributes);
        }
        xml.OutOfElement();
    }
}

}  // namespace

std::string ProjectFile::BuildText(const CVarnelDoc& doc)
{
    CXmlDoc xml;
    BuildProject(doc, xml);
    return xml.Document();
}

std::string ProjectFile::Store(const CVarnelDoc& doc)
{
    CXmlDoc xml;
    BuildProject(doc, xml);
    const std::string& text = xml.Document();
    std::string bytes = LengthPrefix(text.size());
    bytes.reserve(bytes.size() + text.size());
    return bytes += text;
}

Status ProjectFile::Load(std::string_view bytes, CVarnelDoc& doc, const std::string& name)
{
    try {
        // An empty file holds no text at all: nothing of a project is there.
        const std::string text = bytes.empty() ? std::string() : ReadText(bytes);
        CXmlDoc xml;
        xml.SetDocument(text);  // diagnostics are not looked at
        Reader reader{xml, doc, {}};
        if (reader.Run() == Step::Missing)
            return Refuse(Code::ProjectIncomplete, "项目文件 " + (name.empty() ? "" : name + " ") +
                                                       "不完整: 缺少元素 \"" + reader.missing +
                                                       "\"");
    } catch (const ShortFile&) {
        return FormatError(doc);
    } catch (const std::invalid_argument&) {
        return FormatError(doc);
    } catch (const std::bad_alloc&) {
        return FormatError(doc);
    } catch (const std::length_error&) {
        return FormatError(doc);
    }
    return {};
}

Status ProjectFile::Read(const std::string& path, CVarnelDoc& doc)
{
    Result<std::string> bytes = ReadWholeFile(path);
    if (!bytes) return bytes.error();
    return Load(*bytes, doc, path);
}

Status ProjectFile::Save(const std::string& path, const CVarnelDoc& doc)
{
    if (!IsValidSlotCount(doc.deviceSlotNum))
        return WriteRefusal(Code::BadSlotCount, path, SLOT_COUNT_RANGE_TEXT);
    std::string bytes;
    try {
        bytes = Store(doc);
    } catch (const std::exception& e) {
        return WriteRefusal(Code::FileWriteFailed, path, e.what());
    }
    return WriteFileAtomically(path, bytes);
}

}  // namespace varnel
