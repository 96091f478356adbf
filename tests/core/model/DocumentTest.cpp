// The document: new, slot access, the slot count and the delete command.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "core/model/AppFolder.h"
#include "core/model/SlotCount.h"
#include "core/view/ViewCommands.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

TEST(Document, ConstructionNewDocumentAndSlotAccess)
{
    CVarnelDoc doc;
    EXPECT_EQ(doc.selectedSlot, -1);
    EXPECT_EQ(doc.linkRequestPending, 0);
    EXPECT_FALSE(doc.appFolder.empty());  // set at construction, before any new
    const CVarnelDoc::Rack empty = doc.com1Slots;
    doc.Slot(Port::COM1, 56).module.moduleName = "y";
    doc.Slot(Port::COM2, 0).module.moduleName = "z";
    doc.com1Enabled = doc.com2Enabled = 1;
    doc.deviceSlotNum = 3;
    doc.selectedSlot = 1005;
    doc.linkRequestPending = 1;
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.deviceSlotNum, 10);
    EXPECT_EQ(doc.com1Enabled, 0);
    EXPECT_EQ(doc.com2Enabled, 0);
    EXPECT_EQ(doc.selectedSlot, 1005);     // new leaves the selection
    EXPECT_EQ(doc.linkRequestPending, 1);  // and the link state
    EXPECT_EQ(doc.com1Slots, empty);
    EXPECT_EQ(doc.com2Slots, empty);

    EXPECT_THROW(doc.Slot(Port::COM1, -1), std::invalid_argument);
    EXPECT_THROW(doc.Slot(Port::COM1, 57), std::invalid_argument);
    const CVarnelDoc& cdoc = doc;
    EXPECT_THROW(cdoc.Slot(Port::COM2, 1000), std::invalid_argument);
}

TEST(SlotCount, AcceptsOneToFiftyFourDigitsOnly)
{
    const struct {
        const char* text;
        int value;  // 0: refused
    } cases[] = {{"1", 1},
                 {"54", 54},
                 {"054", 54},
                 {"007", 7},
                 {"0", 0},
                 {"55", 0},
                 {"", 0},
                 {"-5", 0},
                 {"5a", 0},
                 {" 5", 0},
                 {"99999999999999999999999", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int count = 42;
        const LegacyRefusal r = CheckSlotCountText(c.text, count);
        ASSERT_EQ(r.has_value(), c.value == 0);
        EXPECT_EQ(count, c.value == 0 ? 42 : c.value);
        if (!r) continue;
        EXPECT_EQ(r->text, "槽数取值范围:1~54的正整数");
        EXPECT_EQ(r->caption, "错误");
    }
}

TEST(DeleteCommand, HeadRemovesThePortSlotEmptiesOneEntry)
{
    CVarnelDoc doc = NewDoc({Port::COM1, Port::COM2});
    for (int i = 0; i < 4; ++i)
        PlaceModule(doc, LABEL_READ_COILS, static_cast<std::uint16_t>(i), 1, 1);
    doc.modified = false;
    for (const auto& [code, offers] :
         {std::pair{1006, true}, std::pair{1009, false}, std::pair{0, true}}) {
        doc.selectedSlot = code;  // 1009: an empty slot
        EXPECT_EQ(OffersDelete(doc), offers) << code;
    }

    doc.selectedSlot = 1006;  // user slot 3 of COM2 = entry 5
    DeleteSelected(doc);
    EXPECT_TRUE(doc.Slot(Port::COM2, 5).IsEmpty());
    EXPECT_FALSE(doc.Slot(Port::COM2, 4).IsEmpty());
    EXPECT_FALSE(doc.Slot(Port::COM2, 6).IsEmpty());
    EXPECT_EQ(doc.selectedSlot, 1006);
    EXPECT_TRUE(doc.modified);

    doc.Slot(Port::COM1, 56).module.moduleName = "far";
    doc.selectedSlot = 0;
    DeleteSelected(doc);
    EXPECT_EQ(doc.com1Enabled, 0);
    EXPECT_EQ(doc.com1Slots, NewDoc().com1Slots);
    EXPECT_EQ(doc.com2Enabled, 1);
    EXPECT_FALSE(OffersDelete(doc));  // the head of a port that is not configured
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
