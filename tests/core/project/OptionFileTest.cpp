// The option file: read at every new document, rewritten by the access
// parameters' OK changing only the text of "ip" or adding what is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/model/AppFolder.h"
#include "core/model/CVarnelDoc.h"
#include "core/project/OptionFile.h"
#include "core/project/TableRows.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::ReadFile;

namespace {

// The address a new document takes from the data folder $VARNEL_HOME names.
std::string NewDocumentIp()
{
    CVarnelDoc doc;
    doc.appFolder = ProgramDataFolder();
    doc.OnNewDocument();
    ReadAccessAddress(doc);
    return doc.deviceIp;
}

// `content` as the option file ("-" = none).
void PutFile(const std::filesystem::path& file, const std::string& content)
{
    std::filesystem::remove(file);
    if (content != "-") testsupport::WriteFile(file, content);
}

TEST(OptionFile, NewDocumentTakesTheAddressFromTheFile)
{
    testsupport::HomeEnv env("");
    for (const auto& row : tablerows::Rows("option/read.tsv")) {
        PutFile(env.home / "IP/ETHOption.xml", row[0]);
        EXPECT_EQ(NewDocumentIp(), row[1]) << row[0];
    }
    CVarnelDoc doc;  // the file that ships with the program
    doc.appFolder = std::string(VARNEL_SOURCE_DIR) + "/data";
    ReadAccessAddress(doc);
    EXPECT_EQ(doc.deviceIp, "192.168.1.10");
}

TEST(OptionFile, OkWritesTheAddressThatTheNextNewDocumentTakes)
{
    testsupport::HomeEnv env("");
    for (const auto& row : tablerows::Rows("option/write.tsv")) {
        SCOPED_TRACE(row[0]);
        PutFile(env.home / "IP/ETHOption.xml", row[0]);
        EXPECT_TRUE(WriteAccessAddress(env.home.str(), "192.168.1.20"));
        EXPECT_EQ(ReadFile(env.home / "IP/ETHOption.xml"), row[1]);
        EXPECT_EQ(NewDocumentIp(), "192.168.1.20");
    }
    std::filesystem::remove_all(env.home / "IP");  // a missing folder is created
    EXPECT_TRUE(WriteAccessAddress(env.home.str(), "10.1.1.1"));
    EXPECT_EQ(NewDocumentIp(), "10.1.1.1");
}

}  // namespace
