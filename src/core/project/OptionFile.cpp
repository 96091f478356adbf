#include "core/project/OptionFile.h"

#include <filesystem>
#include <system_error>

#include "core/project/TextCodec.h"
#include "core/project/XmlFile.h"

namespace varnel {

namespace {
// A fresh option file: written as UTF-8, the engine's default.
constexpr const char* NEW_OPTION_FILE = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

// Sets the text of ETHOption/ip, adding whichever of the two is missing.
bool PutAddress(CXmlDoc& xml, const std::string& address)
{
    if (!xml.FindElement("ETHOption") && !xml.AddElement("ETHOption")) return false;
    if (!xml.IntoElement()) return false;
    if (xml.FindElement("ip")) return xml.SetData(address);
    return xml.AddElement("ip", address);
}

// The text of ETHOption/ip as the reader finds it: false when it finds none.
bool StoredAddress(CXmlDoc& xml, std::string& address)
{
    if (!xml.FindElement("ETHOption") || !xml.IntoElement() || !xml.FindElement("ip")) return false;
    address = xml.GetData();
    return true;
}

// True when the document, read as the next start reads the file, gives `address`.
bool ReadsBack(const CXmlDoc& xml, const std::string& address)
{
    CXmlDoc again;
    again.SetDocument(xml.Document());
    std::string stored;
    return StoredAddress(again, stored) && stored == address;
}
}  // namespace

std::string OptionFilePath(const std::string& appFolder)
{
    return appFolder + "/IP/ETHOption.xml";
}

void ReadAccessAddress(CVarnelDoc& doc)
{
    CXmlDoc xml;
    (void)LoadXmlFile(OptionFilePath(doc.appFolder), xml);  // a missing file reads as empty
    std::string stored;
    doc.deviceIp = StoredAddress(xml, stored) ? TextCodec::GbkToUtf8(stored) : std::string();
}

Status WriteAccessAddress(const std::string& appFolder, const std::string& ip)
{
    const std::string path = OptionFilePath(appFolder);
    const std::string address = TextCodec::Utf8ToGbk(ip);
    CXmlDoc xml;
    const Status loaded = LoadXmlFile(path, xml);
    if (!loaded && loaded.code() != Code::FileMissing) return loaded;
    if (xml.Document().empty()) xml.SetDocument(NEW_OPTION_FILE);
    if (!PutAddress(xml, address) || !ReadsBack(xml, address)) {
        // A tree the address cannot be put into (ETHOption never ended), or
        // one whose broken start hides what was put in from the reader.
        xml.SetDocument(NEW_OPTION_FILE);
        PutAddress(xml, address);
    }
    if (!loaded) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    }
    return SaveXmlFile(path, xml);
}

}  // namespace varnel
