// The option file: read at every new document, rewritten by the access
// parameters' OK changing only the text of "ip".
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/model/CVarnelDoc.h"
#include "core/model/OptionFile.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

class OptionFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* old = std::getenv("VARNEL_HOME");
        hadHome = old != nullptr;
        if (hadHome) oldHome = old;
        testsupport::MakeHome(home.path(), "");
        ::setenv("VARNEL_HOME", home.str().c_str(), 1);
    }
    void TearDown() override
    {
        if (hadHome)
            ::setenv("VARNEL_HOME", oldHome.c_str(), 1);
        else
            ::unsetenv("VARNEL_HOME");
    }
    std::filesystem::path File() const { return home.path() / "IP" / "ETHOption.xml"; }

    TempDir home;
    bool hadHome = false;
    std::string oldHome;
};

TEST_F(OptionFileTest, NewDocumentTakesTheAddressFromTheFile)
{
    struct Case {
        const char* name;
        std::string content;  // "-" = no file
        std::string ip;
    } cases[] = {
        {"address",
         "<?xml version=\"1.0\"?>\r\n<ETHOption>\r\n<ip>192.168.1.20</ip>\r\n</ETHOption>",
         "192.168.1.20"},
        {"first ip counts", "<ETHOption><x/><ip>1.2.3.4</ip><ip>5.6.7.8</ip></ETHOption>",
         "1.2.3.4"},
        {"no file", "-", ""},
        {"empty file", "", ""},
        {"no ip", "<ETHOption><ipaddr>1.2.3.4</ipaddr></ETHOption>", ""},
        {"ip not inside ETHOption", "<ip>1.2.3.4</ip>", ""},
        {"empty ip", "<ETHOption><ip/></ETHOption>", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(File());
        if (c.content != "-") WriteFile(File(), c.content);
        CVarnelDoc doc;
        doc.deviceSlotNum = 3;
        doc.Slot(Port::COM1, 55).module.moduleName = "x";
        ASSERT_TRUE(doc.OnNewDocument());
        EXPECT_EQ(doc.deviceIp, c.ip);
        EXPECT_EQ(doc.deviceSlotNum, 10);
        EXPECT_TRUE(doc.Slot(Port::COM1, 55).IsEmpty());
    }
}

TEST_F(OptionFileTest, OkChangesOnlyTheTextOfIp)
{
    struct Case {
        const char* name;
        std::string before;  // "-" = no file
        std::string after;
    } cases[] = {
        {"structure kept",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ETHOption>\r\n\t<ip>10.0.0.5</ip>\r\n"
         "\t<other a='1'/>\r\n</ETHOption>\r\n",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ETHOption>\r\n\t<ip>192.168.1.20</ip>\r\n"
         "\t<other a='1'/>\r\n</ETHOption>\r\n"},
        {"empty ip element opened on one line", "<ETHOption>\r\n<ip/>\r\n</ETHOption>\r\n",
         "<ETHOption>\r\n<ip>192.168.1.20</ip>\r\n</ETHOption>\r\n"},
        {"no ip: written back unchanged", "<ETHOption>\r\n<ipx>1</ipx>\r\n</ETHOption>\r\n",
         "<ETHOption>\r\n<ipx>1</ipx>\r\n</ETHOption>\r\n"},
        {"missing file created", "-",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ETHOption>\r\n<ip>192.168.1.20</ip>\r\n"
         "</ETHOption>\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(File());
        if (c.before != "-") WriteFile(File(), c.before);
        EXPECT_FALSE(WriteAccessAddress(home.str(), "192.168.1.20").has_value());
        EXPECT_EQ(ReadFile(File()), c.after);
    }
    CVarnelDoc doc;
    doc.OnNewDocument();
    EXPECT_EQ(doc.deviceIp, "192.168.1.20");
}

TEST_F(OptionFileTest, MissingFolderIsCreatedAndFailuresAreReported)
{
    std::filesystem::remove_all(home.path() / "IP");
    EXPECT_FALSE(WriteAccessAddress(home.str(), "10.1.1.1").has_value());
    CVarnelDoc doc;
    doc.OnNewDocument();
    EXPECT_EQ(doc.deviceIp, "10.1.1.1");

    // A data folder that is a file: the write fails with the file's name.
    WriteFile(home.path() / "plain", "x");
    const Refusal r = WriteAccessAddress((home.path() / "plain").string(), "10.1.1.2");
    ASSERT_TRUE(r.has_value());
    EXPECT_NE(r->text.find("ETHOption.xml"), std::string::npos);
}

TEST(OptionFileShipped, DataFileHoldsTheDefaultAddress)
{
    const auto dir = std::filesystem::path(VARNEL_SOURCE_DIR) / "data";
    CVarnelDoc doc;
    doc.appFolder = dir.string();
    ReadAccessAddress(doc);
    EXPECT_EQ(doc.deviceIp, "192.168.1.10");
}

}  // namespace
