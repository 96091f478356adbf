// The option file: read at every new document, rewritten by the access
// parameters' OK changing only the text of "ip", or adding what is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/model/CVarnelDoc.h"
#include "core/model/OptionFile.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

const std::string DECL = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

// The address a new document takes from the data folder $VARNEL_HOME names.
std::string NewDocumentIp()
{
    CVarnelDoc doc;
    doc.deviceSlotNum = 3;
    doc.Slot(Port::COM1, 55).module.moduleName = "x";
    EXPECT_TRUE(doc.OnNewDocument());
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
        PutFile(env.home / "IP/ETHOption.xml", content);
        EXPECT_EQ(NewDocumentIp(), ip) << content;
    }
    CVarnelDoc doc;  // the file that ships with the program
    doc.appFolder = std::string(VARNEL_SOURCE_DIR) + "/data";
    ReadAccessAddress(doc);
    EXPECT_EQ(doc.deviceIp, "192.168.1.10");
}

TEST(OptionFile, OkWritesTheAddressThatTheNextNewDocumentTakes)
{
    testsupport::HomeEnv env("");
    const std::string ip = "<ip>192.168.1.20</ip>";
    const std::pair<std::string, std::string> cases[] = {
        {DECL + "\r\n<ETHOption>\r\n\t<ip>10.0.0.5</ip>\r\n\t<other a='1'/>\r\n</ETHOption>\r\n",
         DECL + "\r\n<ETHOption>\r\n\t" + ip + "\r\n\t<other a='1'/>\r\n</ETHOption>\r\n"},
        {"<ETHOption>\r\n<ip/>\r\n</ETHOption>\r\n",
         "<ETHOption>\r\n" + ip + "\r\n</ETHOption>\r\n"},
        {"-", DECL + "<ETHOption>\r\n" + ip + "\r\n</ETHOption>\r\n"},
        // What is missing is added.
        {"", DECL + "<ETHOption>\r\n" + ip + "\r\n</ETHOption>\r\n"},
        {"<ETHOption/>", "<ETHOption>\r\n" + ip + "\r\n</ETHOption>"},
        {"<ETHOption>\r\n<ipx>1</ipx>\r\n</ETHOption>\r\n",
         "<ETHOption>\r\n<ipx>1</ipx>\r\n" + ip + "\r\n</ETHOption>\r\n"},
        {"<?xml version=\"1.0\"?>\r\n<other/>\r\n",
         "<?xml version=\"1.0\"?>\r\n<other/>\r\n<ETHOption>\r\n" + ip + "\r\n</ETHOption>\r\n"},
    };
    for (const auto& [before, after] : cases) {
        SCOPED_TRACE(before);
        PutFile(env.home / "IP/ETHOption.xml", before);
        EXPECT_TRUE(WriteAccessAddress(env.home.str(), "192.168.1.20"));
        EXPECT_EQ(ReadFile(env.home / "IP/ETHOption.xml"), after);
        EXPECT_EQ(NewDocumentIp(), "192.168.1.20");
    }
    std::filesystem::remove_all(env.home / "IP");  // a missing folder is created
    EXPECT_TRUE(WriteAccessAddress(env.home.str(), "10.1.1.1"));
    EXPECT_EQ(NewDocumentIp(), "10.1.1.1");
    WriteFile(env.home / "plain", "x");  // a data folder that is a file
    const Status r = WriteAccessAddress((env.home / "plain").string(), "10.1.1.2");
    ASSERT_FALSE(r);
    EXPECT_NE(r.message().text.find("ETHOption.xml"), std::string::npos);
}

}  // namespace
