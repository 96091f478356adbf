// Which code a point selects, what a code names, which editor a double-click
// opens, and the delete command.
#include <gtest/gtest.h>

#include "core/view/HitTest.h"
#include "core/view/ViewCommands.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

TEST(HitTest, EdgesAreHalfOpenAndLastColumnFollowsSlotCount)
{
    CVarnelDoc doc = NewDoc();  // port flags 0: hit testing ignores them
    for (const auto& row : Rows("view/hit-test.txt")) {
        doc.deviceSlotNum = std::stoi(row[0]);
        EXPECT_EQ(HitTest(doc, std::stoi(row[1]), std::stoi(row[2])), std::stoi(row[3]))
            << row[0] << " slots at " << row[1] << "," << row[2];
    }
}

std::string Place(SlotRef ref)
{
    return std::string(PortName(ref.port)) + ":" +
           (ref.IsHead() ? "head" : std::to_string(ref.index));
}

TEST(DoubleClickTarget, DispatchByPlaceAndModule)
{
    CVarnelDoc doc = NewDoc({Port::COM1});
    PlaceModule(doc, User(Port::COM1, 1), LABEL_READ_COILS, 0, 8, 1);
    doc.Slot(Port::COM1, 4).module = Module("MODBUS从站状态表（8位）", "00 01 02", 0, 0);
    doc.Slot(Port::COM1, 5).module = Module("MODBUS从站状态表（8位）", "", 0, 0);
    doc.Slot(Port::COM2, 3).module = MakeModule(LABEL_READ_COILS, 0, 1, 1);
    auto target = [&doc](int x, int y) {
        static const char* const kinds[] = {"none", "serial", "command", "user-params"};
        const EditTarget t = DoubleClickTarget(doc, x, y);
        std::string text = kinds[static_cast<int>(t.kind)];
        if (t.kind != EditTarget::Kind::None) text += " " + Place({t.port, t.index});
        return text + (t.repaint ? "" : ", no repaint");
    };
    for (const auto& row : Rows("view/double-click.txt"))
        EXPECT_EQ(target(std::stoi(row[0]), std::stoi(row[1])), row[2]) << row[0] << "," << row[1];
    // Serial parameters too short to edit open nothing and skip the repaint.
    doc.Slot(Port::COM1, 2).module.modulePrm = {5, 0, 0, 0x41};
    EXPECT_EQ(target(150, 200), "none, no repaint");
    SetupPort(doc, Port::COM2);
    EXPECT_EQ(target(150, 400), "serial COM2:2");
    EXPECT_EQ(target(205, 400), "command COM2:3");
}

TEST(Selection, CodesNamePlacesArrowsWalkTheRacksAndStopAtTheEnds)
{
    CVarnelDoc doc = NewDoc();
    doc.deviceSlotNum = 3;
    for (const auto& row : Rows("view/selection.txt")) {
        const auto place = SelectionToSlot(std::stoi(row[0]));
        ASSERT_TRUE(place) << row[0];
        EXPECT_EQ(Place(*place), row[1]);
        EXPECT_EQ(SlotToSelection(*place), std::stoi(row[0]));
        EXPECT_EQ(place->IsHead() ? "-" : std::to_string(NextSelection(doc, *place)), row[2]);
        std::string arrows;
        for (Step step : {Step::Left, Step::Right, Step::Up, Step::Down})
            arrows += (arrows.empty() ? "" : " ") +
                      std::to_string(StepSelection(doc, std::stoi(row[0]), step));
        EXPECT_EQ(arrows, row[3]) << row[0];
    }
    EXPECT_EQ(SelectionToSlot(NO_SELECTION).code(), Code::NoSlotSelected);
    EXPECT_EQ(StepSelection(doc, NO_SELECTION, Step::Down), COM1_HEAD);
    EXPECT_EQ(StepSelection(doc, 40, Step::Right), 6);  // beyond a lowered slot count
}

TEST(DeleteCommand, HeadRemovesThePortSlotEmptiesOneEntry)
{
    CVarnelDoc doc = NewDoc({Port::COM1, Port::COM2});
    for (int n = 1; n <= 4; ++n) PlaceModule(doc, User(Port::COM2, n), LABEL_READ_COILS, 0, 1, 1);
    doc.modified = false;
    const SlotRef head1{Port::COM1, SlotRef::PORT_HEAD};
    for (const auto& [at, offers] : {std::pair{User(Port::COM2, 3), true},
                                     std::pair{User(Port::COM2, 6), false}, std::pair{head1, true}})
        EXPECT_EQ(OffersDelete(doc, at), offers) << at.index;

    DeleteSelected(doc, User(Port::COM2, 3));  // entry 5 only
    EXPECT_TRUE(doc.Slot(Port::COM2, 5).IsEmpty());
    EXPECT_FALSE(doc.Slot(Port::COM2, 4).IsEmpty());
    EXPECT_FALSE(doc.Slot(Port::COM2, 6).IsEmpty());
    EXPECT_TRUE(doc.modified);

    doc.Slot(Port::COM1, 56).module.moduleName = "far";
    DeleteSelected(doc, head1);
    EXPECT_EQ(doc.com1Enabled, 0);
    EXPECT_EQ(doc.com1Slots, NewDoc().com1Slots);
    EXPECT_EQ(doc.com2Enabled, 1);
    EXPECT_FALSE(OffersDelete(doc, head1));  // the head of a port that is not configured
}
