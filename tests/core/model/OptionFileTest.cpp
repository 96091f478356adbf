// The option file: read at every new document, rewritten by the access
// parameters' OK changing only the text of "ip".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/model/AppFolder.h"
#include "core/model/CVarnelDoc.h"
#include "core/model/OptionFile.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

// The address a new document takes from the data folder $VARNEL_HOME names.
std::string NewDocumentIp()
{
    CVarnelDoc doc;
    doc.appFolder = ProgramDataFolder();
    doc.deviceSlotNum = 3;
    doc.Slot(Port::COM1, 55).module.moduleName = "x";
    EXPECT_TRUE(doc.OnNewDocument());
    ReadAccessAddress(doc);
    EXPECT_EQ(doc.deviceSlotNum, 10);
    EXPECT_TRUE(doc.Slot(Port::COM1, 55).IsEmpty());
    return doc.deviceIp;
}

// `content` as the option file ("-" = none).
void PutFile(const std::filesystem::path& file, const std::string& content)
{
    std::filesystem::remove(file);
    if (content != "-") WriteFile(file, content);
}

TEST(OptionFile, NewDocumentTakesTheAddressFromTheFile)
{
    testsupport::HomeEnv env("");
    const std::pair<std::string, std::string> cases[] = {
        {"<?xml version=\"1.0\"?>\r\n<ETHOption>\r\n<ip>192.168.1.20</ip>\r\n</ETHOption>",
         "192.168.1.20"},
        {"<ETHOption><x/><ip>1.2.3.4</ip><ip>5.6.7.8</ip></ETHOption>", "1.2.3.4"},
        {"-", ""},
        {"", ""},
        {"<ETHOption><ipaddr>1.2.3.4</ipaddr></ETHOption>", ""},
        {"<ip>1.2.3.4</ip>", ""},  // not inside ETHOption
        {"<ETHOption><ip/></ETHOption>", ""},
    };
    for (const auto& [content, ip] : cases) {
        SCOPED_TRACE(content);
        PutFile(env.home / "IP/ETHOption.xml", content);
        EXPECT_EQ(NewDocumentIp(), ip);
    }
    // The file that ships with the program.
    CVarnelDoc doc;
    doc.appFolder = std::string(VARNEL_SOURCE_DIR) + "/data";
    ReadAccessAddress(doc);
    EXPECT_EQ(doc.deviceIp, "192.168.1.10");
}

TEST(OptionFile, OkChangesOnlyTheTextOfIp)
{
    testsupport::HomeEnv env("");
    const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    const std::pair<std::string, std::string> cases[] = {
        {decl + "\r\n<ETHOption>\r\n\t<ip>10.0.0.5</ip>\r\n\t<other a='1'/>\r\n</ETHOption>\r\n",
         decl + "\r\n<ETHOption>\r\n\t<ip>192.168.1.20</ip>\r\n\t<other a='1'/>\r\n"
                "</ETHOption>\r\n"},
        // An empty ip element is opened on one line.
        {"<ETHOption>\r\n<ip/>\r\n</ETHOption>\r\n",
         "<ETHOption>\r\n<ip>192.168.1.20</ip>\r\n</ETHOption>\r\n"},
        // No ip: written back unchanged.
        {"<ETHOption>\r\n<ipx>1</ipx>\r\n</ETHOption>\r\n",
         "<ETHOption>\r\n<ipx>1</ipx>\r\n</ETHOption>\r\n"},
        // A missing file is created.
        {"-", decl + "<ETHOption>\r\n<ip>192.168.1.20</ip>\r\n</ETHOption>\r\n"},
    };
    for (const auto& [before, after] : cases) {
        SCOPED_TRACE(before);
        PutFile(env.home / "IP/ETHOption.xml", before);
        EXPECT_FALSE(WriteAccessAddress(env.home.str(), "192.168.1.20").has_value());
        EXPECT_EQ(ReadFile(env.home / "IP/ETHOption.xml"), after);
    }
    EXPECT_EQ(NewDocumentIp(), "192.168.1.20");

    // A missing folder is created.
    std::filesystem::remove_all(env.home / "IP");
    EXPECT_FALSE(WriteAccessAddress(env.home.str(), "10.1.1.1").has_value());
    EXPECT_EQ(NewDocumentIp(), "10.1.1.1");
    // A data folder that is a file: the write fails with the file's name.
    WriteFile(env.home / "plain", "x");
    const LegacyRefusal r = WriteAccessAddress((env.home / "plain").string(), "10.1.1.2");
    ASSERT_TRUE(r.has_value());
    EXPECT_NE(r->text.find("ETHOption.xml"), std::string::npos);
}

}  // namespace
