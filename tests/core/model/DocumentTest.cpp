// The document: new, slot access, the slot count and the data folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "core/model/SlotCount.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

TEST(Document, NewDocumentAndSlotAccess)
{
    CVarnelDoc doc;
    EXPECT_TRUE(doc.appFolder.empty());  // construction touches no file
    const CVarnelDoc::Rack empty = doc.com1Slots;
    doc.appFolder = "/data";
    doc.Slot(Port::COM1, 56).module.moduleName = "y";
    doc.Slot(Port::COM2, 0).module.moduleName = "z";
    doc.com1Enabled = doc.com2Enabled = 1;
    doc.deviceSlotNum = 3;
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.deviceSlotNum, 10);
    EXPECT_EQ(doc.com1Enabled + doc.com2Enabled, 0);
    EXPECT_TRUE(doc.com1Slots == empty && doc.com2Slots == empty);
    EXPECT_EQ(doc.appFolder, "/data");  // new keeps the folder main resolved
    EXPECT_THROW(doc.Slot(Port::COM1, -1), std::invalid_argument);
    EXPECT_THROW(doc.Slot(Port::COM1, 57), std::invalid_argument);
    EXPECT_THROW(std::as_const(doc).Slot(Port::COM2, 1000), std::invalid_argument);
}

TEST(SlotCount, AcceptsOneToFiftyFourDigitsOnly)
{
    for (const auto& row : Rows("model/slot-count.txt")) {
        const Result<int> r = CheckSlotCountText(row[0]);
        ASSERT_EQ(r.ok(), row[1] != "-") << row[0];
        EXPECT_EQ(r ? std::to_string(*r) : r.message().text,
                  r ? row[1] : "槽数取值范围:1~54的正整数");
        EXPECT_TRUE(r || r.code() == Code::BadSlotCount);
    }
}

TEST(SlotCount, CommandsBeyondAreTheOnesALowerCountDrops)
{
    CVarnelDoc doc = NewDoc({Port::COM1, Port::COM2});
    for (const SlotRef at : {User(Port::COM1, 1), User(Port::COM1, 4), User(Port::COM2, 10)})
        PlaceModule(doc, at, LABEL_READ_COILS, 0, 1, 1);
    doc.Slot(Port::COM2, 56).module.moduleName = "outside the count";
    EXPECT_EQ(CommandsBeyond(doc, 10), std::vector<SlotRef>{});
    EXPECT_EQ(CommandsBeyond(doc, 4), std::vector{User(Port::COM2, 10)});
    EXPECT_EQ(CommandsBeyond(doc, 1), (std::vector{User(Port::COM1, 4), User(Port::COM2, 10)}));
}

TEST(DataFolder, VarnelHomeWinsAndUserFolderIsSeededOnce)
{
    testsupport::TempDir dir;
    ::setenv("VARNEL_HOME", (dir.str() + "/home/").c_str(), 1);
    EXPECT_EQ(ProgramDataFolder(), dir.str() + "/home");
    ::unsetenv("VARNEL_HOME");

    const auto installed = dir / "share";
    std::filesystem::create_directories(installed / "IP");
    testsupport::WriteFile(installed / "IP" / "ETHOption.xml", "defaults");
    const auto user = dir / "user";
    EXPECT_EQ(SeedUserDataFolder(installed.string(), user.string()), user.string());
    EXPECT_EQ(testsupport::ReadFile(user / "IP" / "ETHOption.xml"), "defaults");
    EXPECT_TRUE(std::filesystem::is_directory(user / "HEX"));
    // The user's own option file is never overwritten by the defaults.
    testsupport::WriteFile(user / "IP" / "ETHOption.xml", "mine");
    SeedUserDataFolder(installed.string(), user.string());
    EXPECT_EQ(testsupport::ReadFile(user / "IP" / "ETHOption.xml"), "mine");
}

}  // namespace
