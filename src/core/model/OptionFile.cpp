#include "core/model/OptionFile.h"

#include <filesystem>
#include <system_error>

#include "core/project/CXmlDoc.h"
#include "core/project/TextCodec.h"

namespace varnel {

namespace {
// A fresh option file: written as UTF-8, the engine's default.
constexpr const char* NEW_OPTION_FILE = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
}  // namespace

std::string OptionFilePath(const std::string& appFolder)
{
    return appFolder + "/IP/ETHOption.xml";
}

void ReadAccessAddress(CVarnelDoc& doc)
{
    CXmlDoc xml;
    if (xml.Load(OptionFilePath(doc.appFolder))) xml.ParseDocument();
    if (xml.FindElement("ETHOption") && xml.IntoElement() && xml.FindElement("ip"))
        doc.deviceIp = TextCodec::GbkToUtf8(xml.GetData());
    else
        doc.deviceIp.clear();
}

LegacyRefusal WriteAccessAddress(const std::string& appFolder, const std::string& ip)
{
    const std::string path = OptionFilePath(appFolder);
    const std::string address = TextCodec::Utf8ToGbk(ip);
    CXmlDoc xml;
    if (xml.Load(path)) {
        xml.ParseDocument();
        if (xml.FindElement("ETHOption") && xml.IntoElement() && xml.FindElement("ip"))
            xml.SetData(address);
    } else {
        // No file to change: create one rather than leave an empty file.
        xml.SetDocument(NEW_OPTION_FILE);
        xml.AddElement("ETHOption");
        xml.IntoElement();
        xml.AddElement("ip", address);
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    }
    if (!xml.Save(path)) return ErrorMessage(xml.Result());
    return std::nullopt;
}

}  // namespace varnel
