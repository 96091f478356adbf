#include "gui/model/OptionFileBridge.h"

#include <filesystem>
#include <string>

#include "core/model/AtomicFile.h"

namespace varnel {

namespace {

std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Replaces the text of the first <ip> inside <ETHOption>; false when the
// structure is not there.
bool ReplaceIp(std::string& content, const std::string& value)
{
    const std::size_t root = content.find("<ETHOption");
    if (root == std::string::npos) return false;
    const std::size_t empty = content.find("<ip/>", root);
    const std::size_t open = content.find("<ip>", root);
    if (empty != std::string::npos && (open == std::string::npos || empty < open)) {
        content.replace(empty, 5, "<ip>" + value + "</ip>");
        return true;
    }
    if (open == std::string::npos) return false;
    const std::size_t start = open + 4;
    const std::size_t close = content.find("</ip>", start);
    if (close == std::string::npos) return false;
    content.replace(start, close - start, value);
    return true;
}

}  // namespace

Refusal WriteAccessAddress(const CVarnelDoc& doc)
{
    const std::string path = doc.OptionFilePath();
    const std::string value = Escaped(doc.deviceIp);
    std::string content;
    if (!ReadWholeFile(path, content) || !ReplaceIp(content, value)) {
        content = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ETHOption>\r\n\t<ip>" + value +
                  "</ip>\r\n</ETHOption>\r\n";
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return WriteFileAtomically(path, content);
}

}  // namespace varnel
