#include "core/project/XmlFile.h"

#include <strings.h>

#include "core/model/AtomicFile.h"
#include "core/project/TextCodec.h"

namespace varnel {

namespace {
bool IsUtf8(std::string_view text)
{
    const std::string encoding = CXmlDoc::DeclaredEncoding(text);
    return encoding.empty() || strncasecmp(encoding.c_str(), "UTF-8", 5) == 0;
}
}  // namespace

Status LoadXmlFile(const std::string& path, CXmlDoc& xml)
{
    Result<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        xml.SetDocument({});
        return bytes.error();
    }
    if (IsUtf8(*bytes))
        xml.SetDocument(TextCodec::Utf8ToGbk(*bytes));
    else
        xml.SetDocument(std::move(*bytes));
    return {};
}

Status SaveXmlFile(const std::string& path, const CXmlDoc& xml)
{
    const std::string& text = xml.Document();
    if (!text.empty() && IsUtf8(text)) return WriteFileAtomically(path, TextCodec::GbkToUtf8(text));
    return WriteFileAtomically(path, text);
}

}  // namespace varnel
