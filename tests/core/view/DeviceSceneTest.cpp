// The gateway picture as primitives: what is drawn, where, in which order.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "core/view/DeviceScene.h"
#include "support/DocFixtures.h"

using namespace docfixtures;
using Kind = ScenePrimitive::Kind;

namespace {

// Every text drawn with its left edge at x (only at height y when given), top to
// bottom and in drawing order within one line, as "y text; y text".
std::string Column(const Scene& s, int x, std::optional<int> y = {})
{
    std::vector<std::pair<int, std::string>> texts;
    for (const auto& p : s.items)
        if (p.kind == Kind::Text && p.at.x == x && p.at.y == y.value_or(p.at.y))
            texts.emplace_back(p.at.y, p.text);
    std::stable_sort(texts.begin(), texts.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string out;
    for (const auto& [y, text] : texts)
        out += (out.empty() ? "" : "; ") + std::to_string(y) + " " + text;
    return out;
}

std::vector<ScenePrimitive> OfKind(const Scene& s, Kind kind)
{
    std::vector<ScenePrimitive> out;
    std::copy_if(s.items.begin(), s.items.end(), std::back_inserter(out),
                 [kind](const ScenePrimitive& p) { return p.kind == kind; });
    return out;
}

TEST(DeviceScene, EmptyDocumentAndLowerRackAlone)
{
    CVarnelDoc doc = NewDoc();
    Scene s = BuildScene(doc);
    EXPECT_TRUE(s.items.empty());
    EXPECT_GE(s.width, 2900);  // the scroll area covers the picture, detail box included
    EXPECT_GE(s.height, 680);

    SetupPort(doc, Port::COM2);
    s = BuildScene(doc);
    ASSERT_FALSE(s.items.empty());
    EXPECT_EQ(s.items[0].text, "EIP-MODBUS DEVICE");
    EXPECT_EQ(s.items[0].font, SceneFont::Title);
    EXPECT_EQ(Column(s, 100), "40 EIP-MODBUS DEVICE; 80 AllInLength:   2");
    EXPECT_EQ(Column(s, 200), "80 AllOutLength:  2");
    EXPECT_EQ(Column(s, 135), "310 COM2");
    // Fixed entries only: STATE gives 1 in, CONTROL 1 out, minus 1 each.
    EXPECT_EQ(Column(s, 110), "400 InLength:   0; 430 OutLength:  0");
    const auto fills = OfKind(s, Kind::FillRect);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].rect, (SceneRect{100, 300, 100, 200}));
    EXPECT_EQ(fills[0].color, (SceneColor{162, 205, 90}));
}

TEST(DeviceScene, RackOutlineDividersAndSlotLabels)
{
    for (const int n : {1, 10, 54}) {
        CVarnelDoc doc = NewDoc();
        doc.deviceSlotNum = n;
        SetupPort(doc, Port::COM1);
        const Scene s = BuildScene(doc);
        const auto lines = OfKind(s, Kind::Polyline);
        const int right = (n + 4) * 50, last = (n + 3) * 50;
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(n + 1)) << n;
        EXPECT_EQ(lines[0].points,
                  (std::vector<ScenePoint>{
                      {100, 100}, {right, 100}, {right, 300}, {100, 300}, {100, 100}}));
        EXPECT_EQ(lines[0].color, (SceneColor{128, 128, 0}));
        EXPECT_EQ(lines[0].penWidth, 2);
        EXPECT_EQ(lines.back().points, (std::vector<ScenePoint>{{last, 100}, {last, 300}}));
        EXPECT_EQ(Column(s, last + 10), "200 slot " + std::to_string(n));
    }
}

TEST(DeviceScene, RangesTotalsAndDirections)
{
    CVarnelDoc doc = NewDoc({Port::COM1});
    PlaceAt(doc, 4, LABEL_READ_HOLDING, 0, 1, 7);         // slot 1: in 2 bytes
    PlaceAt(doc, 6, LABEL_READ_HOLDING, 0, 2, 8);         // slot 3: in 4 bytes
    PlaceAt(doc, 7, LABEL_WRITE_REGISTERS, 0, 3, 9);      // slot 4: out 6 bytes
    doc.Slot(Port::COM1, 6).module.inputLen = 2;          // slot 4 has both lengths
    PlaceAt(doc, 8, "MODBUS从站状态表（8位）", 0, 1, 0);  // slot 5: no lengths, no bytes
    doc.selectedSlot = -1;
    const Scene s = BuildScene(doc);

    EXPECT_EQ(Column(s, 100), "40 EIP-MODBUS DEVICE; 80 AllInLength:   10");
    EXPECT_EQ(Column(s, 200), "80 AllOutLength:  8");
    EXPECT_EQ(Column(s, 110), "200 InLength:   8; 230 OutLength:  6");
    EXPECT_EQ(Column(s, 210), "120 MS #7; 160 eipIN; 200 slot 1; 200 2; 210 . . .; 230 3");
    EXPECT_EQ(Column(s, 260), "200 slot 2");  // empty: only its label
    EXPECT_EQ(Column(s, 360), "120 MS #9; 160 eipOUT; 200 slot 4; 200 2; 210 . . .; 230 7");
    EXPECT_EQ(Column(s, 410), "120 MS #0; 160 MS #0; 200 slot 5; 210 . . .");  // no lengths
    const auto pictures = OfKind(s, Kind::Picture);
    ASSERT_EQ(pictures.size(), 4u);
    EXPECT_EQ(pictures[0].rect, (SceneRect{201, 102, 48, 196}));
    EXPECT_EQ(pictures[3].rect, (SceneRect{401, 102, 48, 196}));
    EXPECT_TRUE(OfKind(s, Kind::TintRect).empty());

    // Drawing order: head fill over the outline, picture over the slot label, tint
    // over the picture, ranges over the tint and the detail box.
    doc.selectedSlot = 4;
    const Scene t = BuildScene(doc);
    auto pos = [&t](Kind kind, const std::string& text = {}) {
        const auto it = std::find_if(t.items.begin(), t.items.end(), [&](const auto& p) {
            return p.kind == kind && (text.empty() || p.text == text);
        });
        return it - t.items.begin();
    };
    EXPECT_EQ(pos(Kind::Text), 0);
    EXPECT_LT(pos(Kind::Polyline), pos(Kind::FillRect));
    EXPECT_LT(pos(Kind::FillRect), pos(Kind::Picture));
    EXPECT_LT(pos(Kind::Text, "slot 1"), pos(Kind::Picture));
    EXPECT_LT(pos(Kind::Picture), pos(Kind::TintRect));
    EXPECT_LT(pos(Kind::TintRect), pos(Kind::Text, "MS #7"));
    EXPECT_LT(pos(Kind::Text, "COM:  COM1"), pos(Kind::Text, "MS #7"));
}

TEST(DeviceScene, SelectionTintAndDetailBox)
{
    CVarnelDoc doc = NewDoc({Port::COM1, Port::COM2});
    PlaceAt(doc, 1004, LABEL_READ_COILS, 0, 17, 1);
    doc.Slot(Port::COM2, 3).module.modulePrm = {1, 0, 16};
    const struct {
        int code;
        std::optional<SceneRect> tint;
        const char* slotLine;  // the detail box's slot line; empty: no box
    } cases[] = {
        {1004, SceneRect{200, 300, 50, 200}, "540 槽号: 1"},
        {4, SceneRect{200, 100, 50, 200}, ""},  // empty slot: tint only
        {0, std::nullopt, ""},                  // head: nothing
        {1000, std::nullopt, ""},
        {-1, std::nullopt, ""},
        {1, SceneRect{50, 100, 50, 200}, "540 槽号: -2"},  // fixed entries
        {3, SceneRect{150, 100, 50, 200}, "540 槽号: 0"},
        {999, SceneRect{49950, 100, 50, 200}, ""},  // beyond the rack: no box
    };
    for (const auto& c : cases) {
        doc.selectedSlot = c.code;
        const Scene s = BuildScene(doc);
        const auto tints = OfKind(s, Kind::TintRect);
        ASSERT_EQ(tints.size(), c.tint ? 1u : 0u) << c.code;
        if (c.tint) {
            EXPECT_EQ(tints[0].rect, *c.tint) << c.code;
        }
        EXPECT_EQ(Column(s, 100, 540), c.slotLine) << c.code;
    }

    doc.selectedSlot = 1004;
    const Scene s = BuildScene(doc);
    EXPECT_EQ(Column(s, 100),
              "40 EIP-MODBUS DEVICE; 80 AllInLength:   5; 510 COM:  COM2; 540 槽号: 1; "
              "570 名称: 读0区 01H; 600 输入长度: 3; 630 输出长度: 0; "
              "660 用户参数: 0x01 0x00 0x10 ");
    EXPECT_EQ(OfKind(s, Kind::TintRect).at(0).color, (SceneColor{177, 217, 200}));
    for (const auto& p : s.items)
        if (p.kind == Kind::Text && p.at.y >= 510) {
            EXPECT_EQ(p.font, SceneFont::Detail) << p.text;
        }
}

}  // namespace
