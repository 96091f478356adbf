// The document: new, slot access, copies, slot count and the delete command.
#include <gtest/gtest.h>

#include <stdexcept>

#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/model/CVarnelDoc.h"
#include "core/model/SlotCount.h"
#include "core/view/ViewCommands.h"

using namespace varnel;

namespace {

TEST(Document, ConstructionAndNewDocument)
{
    CVarnelDoc doc;
    EXPECT_EQ(doc.selectedSlot, -1);
    EXPECT_EQ(doc.linkRequestPending, 0);
    EXPECT_FALSE(doc.appFolder.empty());  // set at construction, before any new
    doc.Slot(Port::COM1, 54).module.moduleName = "x";
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
    for (Port port : {Port::COM1, Port::COM2})
        for (int i = 0; i < CVarnelDoc::RACK_SIZE; ++i)
            EXPECT_TRUE(doc.Slot(port, i).IsEmpty());
}

TEST(Document, SlotAccessOutsideTheRackThrows)
{
    CVarnelDoc doc;
    EXPECT_NO_THROW(doc.Slot(Port::COM2, 0));
    EXPECT_NO_THROW(doc.Slot(Port::COM2, 56));
    EXPECT_THROW(doc.Slot(Port::COM1, -1), std::invalid_argument);
    EXPECT_THROW(doc.Slot(Port::COM1, 57), std::invalid_argument);
    const CVarnelDoc& cdoc = doc;
    EXPECT_THROW(cdoc.Slot(Port::COM2, 1000), std::invalid_argument);
}

TEST(Document, ModuleCopyIsDeep)
{
    CModule big;
    big.modulePrm.assign(20, 0xAA);
    CModule small;
    small.moduleName = "m";
    small.modulePrm = {1, 2, 3, 4, 5};
    big = small;
    EXPECT_EQ(big.modulePrm.size(), 5u);
    small.modulePrm[0] = 9;
    EXPECT_EQ(big.modulePrm[0], 1);
}

TEST(Document, SelectionCodes)
{
    SlotRef ref{};
    EXPECT_FALSE(SelectionToSlot(-1, ref));
    EXPECT_FALSE(SelectionToSlot(0, ref));
    EXPECT_FALSE(SelectionToSlot(1000, ref));
    ASSERT_TRUE(SelectionToSlot(4, ref));
    EXPECT_EQ(ref.port, Port::COM1);
    EXPECT_EQ(ref.index, 3);
    ASSERT_TRUE(SelectionToSlot(1001, ref));
    EXPECT_EQ(ref.port, Port::COM2);
    EXPECT_EQ(ref.index, 0);
    EXPECT_EQ(SlotToSelection(Port::COM2, 3), 1004);
    EXPECT_EQ(SlotToSelection(Port::COM1, 0), 1);
}

TEST(SlotCount, AcceptsOneToFiftyFourDigitsOnly)
{
    const struct {
        const char* text;
        int value;  // 0: refused
    } cases[] = {{"1", 1},  {"54", 54}, {"054", 54}, {"007", 7}, {"0", 0},
                 {"55", 0}, {"", 0},    {"-5", 0},   {"5a", 0},  {" 5", 0},
                 {"99999999999999999999999", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int count = 42;
        Refusal r = CheckSlotCountText(c.text, count);
        if (c.value == 0) {
            ASSERT_TRUE(r.has_value());
            EXPECT_EQ(r->text, "槽数取值范围:1~54的正整数");
            EXPECT_EQ(r->caption, "错误");
            EXPECT_EQ(count, 42);
        } else {
            EXPECT_FALSE(r.has_value());
            EXPECT_EQ(count, c.value);
        }
    }
}

TEST(DeleteCommand, HeadRemovesThePortSlotEmptiesOneEntry)
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM1);
    SetupPort(doc, Port::COM2);
    for (int i = 0; i < 4; ++i)
        PlaceModule(doc, LABEL_READ_COILS, static_cast<std::uint16_t>(i), 1, 1);
    doc.modified = false;

    // Popup conditions.
    doc.selectedSlot = 1006;
    EXPECT_TRUE(OffersDelete(doc));
    doc.selectedSlot = 1009;  // empty slot
    EXPECT_FALSE(OffersDelete(doc));
    doc.selectedSlot = 0;
    EXPECT_TRUE(OffersDelete(doc));

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
    for (int i = 0; i < CVarnelDoc::RACK_SIZE; ++i)
        EXPECT_TRUE(doc.Slot(Port::COM1, i).IsEmpty());
    EXPECT_EQ(doc.com2Enabled, 1);
    EXPECT_FALSE(OffersDelete(doc));  // the head of a port that is not configured
}

}  // namespace

#include <cstdlib>
#include <filesystem>

#include "core/model/AppFolder.h"
#include "support/TestSupport.h"

namespace {

TEST(DataFolder, VarnelHomeWinsAndUserFolderIsSeededOnce)
{
    testsupport::TempDir dir;
    ::setenv("VARNEL_HOME", (dir.str() + "/home/").c_str(), 1);
    EXPECT_EQ(varnel::ProgramDataFolder(), dir.str() + "/home");
    ::unsetenv("VARNEL_HOME");

    const auto installed = dir / "share";
    std::filesystem::create_directories(installed / "IP");
    testsupport::WriteFile(installed / "IP" / "ETHOption.xml", "defaults");
    const auto user = dir / "user";
    EXPECT_EQ(varnel::SeedUserDataFolder(installed.string(), user.string()), user.string());
    EXPECT_EQ(testsupport::ReadFile(user / "IP" / "ETHOption.xml"), "defaults");
    EXPECT_TRUE(std::filesystem::is_directory(user / "HEX"));
    // The user's own option file is never overwritten by the defaults.
    testsupport::WriteFile(user / "IP" / "ETHOption.xml", "mine");
    varnel::SeedUserDataFolder(installed.string(), user.string());
    EXPECT_EQ(testsupport::ReadFile(user / "IP" / "ETHOption.xml"), "mine");
}

}  // namespace
