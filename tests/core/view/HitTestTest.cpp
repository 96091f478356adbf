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
    struct Case {
        int x, y, code;
    };
    const Case cases[] = {
        {205, 150, 4},    {200, 150, 4}, {199, 150, 0},  {150, 300, 1000}, {150, 299, 0},
        {100, 100, 0},    {99, 150, -1}, {150, 99, -1},  {150, 500, -1},   {150, 499, 1000},
        {249, 299, 4},    {250, 100, 5}, {699, 150, 13}, {700, 150, -1},   {205, 300, 1004},
        {699, 499, 1013}, {205, 50, -1}, {0, 0, -1},     {-5, 150, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(HitTest(doc, c.x, c.y), c.code) << c.x << "," << c.y;
    for (int n : {1, 54}) {
        doc.deviceSlotNum = n;
        EXPECT_EQ(HitTest(doc, (n + 4) * 50 - 1, 200), n + 3) << n;
        EXPECT_EQ(HitTest(doc, (n + 4) * 50, 200), -1) << n;
        EXPECT_EQ(HitTest(doc, (n + 4) * 50 - 1, 400), n + 1003) << n;
    }
}

TEST(DoubleClickTarget, DispatchByPlaceAndModule)
{
    CVarnelDoc doc = NewDoc({Port::COM1});
    PlaceModule(doc, User(Port::COM1, 1), LABEL_READ_COILS, 0, 8, 1);
    doc.Slot(Port::COM1, 4).module = Module("MODBUS从站状态表（8位）", "00 01 02", 0, 0);
    doc.Slot(Port::COM1, 5).module = Module("MODBUS从站状态表（8位）", "", 0, 0);  // no bytes
    doc.Slot(Port::COM2, 3).module = MakeModule(LABEL_READ_COILS, 0, 1, 1);        // COM2 off

    using K = EditTarget::Kind;
    const struct {
        int x, y;
        K kind;
        int index;
        bool repaint;
    } cases[] = {
        {150, 200, K::SerialParams, 2, true},
        {205, 200, K::Command, 3, true},
        {255, 200, K::UserParams, 4, true},
        {305, 200, K::None, 5, false},  // status table without bytes
        {355, 200, K::None, 0, true},   // empty slot
        {150, 400, K::None, 0, true},   // COM2 not configured
        {205, 400, K::None, 0, true},
        {50, 50, K::None, 0, true},
    };
    for (const auto& c : cases) {
        const EditTarget t = DoubleClickTarget(doc, c.x, c.y);
        EXPECT_EQ(t.kind, c.kind) << c.x << "," << c.y;
        EXPECT_EQ(t.repaint, c.repaint) << c.x << "," << c.y;
        if (c.kind != K::None) {
            EXPECT_EQ(t.port, Port::COM1);
            EXPECT_EQ(t.index, c.index);
        }
    }

    // Serial parameters too short to edit open nothing and skip the repaint.
    doc.Slot(Port::COM1, 2).module.modulePrm = {5, 0, 0, 0x41};
    EXPECT_EQ(DoubleClickTarget(doc, 150, 200).kind, K::None);
    EXPECT_FALSE(DoubleClickTarget(doc, 150, 200).repaint);

    SetupPort(doc, Port::COM2);
    EXPECT_EQ(DoubleClickTarget(doc, 150, 400).kind, K::SerialParams);
    EXPECT_EQ(DoubleClickTarget(doc, 150, 400).port, Port::COM2);
    EXPECT_EQ(DoubleClickTarget(doc, 205, 400).kind, K::Command);
}

TEST(Selection, CodesNamePlacesAndStopAtTheLastUserSlot)
{
    CVarnelDoc doc = NewDoc();
    doc.deviceSlotNum = 3;  // user slots at indices 3..5
    const SlotRef head1{Port::COM1, SlotRef::PORT_HEAD}, head2{Port::COM2, SlotRef::PORT_HEAD};
    const struct {
        int code;
        SlotRef place;
        int next;  // after a placement there
    } cases[] = {{0, head1, 1},  {1, {Port::COM1, 0}, 2},         {4, {Port::COM1, 3}, 5},
                 {6, {Port::COM1, 5}, 6},                         {1000, head2, 1001},
                 {1004, {Port::COM2, 3}, 1005},                   {1006, {Port::COM2, 5}, 1006}};
    for (const auto& c : cases) {
        EXPECT_EQ(*SelectionToSlot(c.code), c.place) << c.code;
        EXPECT_EQ(SlotToSelection(c.place), c.code);
        if (!c.place.IsHead()) {
            EXPECT_EQ(NextSelection(doc, c.place), c.next) << c.code;
        }
    }
    EXPECT_EQ(SelectionToSlot(NO_SELECTION).code(), Code::NoSlotSelected);
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
