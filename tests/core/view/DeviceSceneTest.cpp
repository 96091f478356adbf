// The gateway picture as primitives: what is drawn, where, in which order.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/view/DeviceScene.h"

using namespace varnel;
using Kind = ScenePrimitive::Kind;

namespace {

// Texts at one point, in drawing order.
std::vector<std::string> TextsAt(const Scene& s, int x, int y)
{
    std::vector<std::string> out;
    for (const auto& p : s.items)
        if (p.kind == Kind::Text && p.at == ScenePoint{x, y}) out.push_back(p.text);
    return out;
}

std::optional<ScenePrimitive> TextItem(const Scene& s, const std::string& text)
{
    for (const auto& p : s.items)
        if (p.kind == Kind::Text && p.text == text) return p;
    return std::nullopt;
}

std::vector<ScenePrimitive> OfKind(const Scene& s, Kind kind)
{
    std::vector<ScenePrimitive> out;
    std::copy_if(s.items.begin(), s.items.end(), std::back_inserter(out),
                 [kind](const ScenePrimitive& p) { return p.kind == kind; });
    return out;
}

void Place(CVarnelDoc& doc, int code, std::string_view label, std::uint16_t start,
           std::uint16_t qty, std::uint8_t slave)
{
    doc.selectedSlot = code;
    PlaceModule(doc, label, start, qty, slave);
}

}  // namespace

TEST(DeviceScene, NewDocumentIsEmpty)
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    const Scene s = BuildScene(doc);
    EXPECT_TRUE(s.items.empty());
    // The scroll area covers the whole picture, detail box included.
    EXPECT_GE(s.width, 2900);
    EXPECT_GE(s.height, 680);
}

TEST(DeviceScene, OnlyCom2DrawsTitleAndLowerRack)
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM2);
    const Scene s = BuildScene(doc);
    ASSERT_FALSE(s.items.empty());
    EXPECT_EQ(s.items[0].text, "EIP-MODBUS DEVICE");
    EXPECT_EQ(s.items[0].at, (ScenePoint{100, 40}));
    EXPECT_EQ(s.items[0].font, SceneFont::Title);
    EXPECT_EQ(TextsAt(s, 100, 80), std::vector<std::string>{"AllInLength:   2"});
    EXPECT_EQ(TextsAt(s, 200, 80), std::vector<std::string>{"AllOutLength:  2"});
    EXPECT_EQ(TextsAt(s, 135, 310), std::vector<std::string>{"COM2"});
    EXPECT_TRUE(TextsAt(s, 135, 110).empty());
    // Fixed entries only: STATE gives 1 in, CONTROL 1 out, minus 1 each.
    EXPECT_EQ(TextsAt(s, 110, 400), std::vector<std::string>{"InLength:   0"});
    EXPECT_EQ(TextsAt(s, 110, 430), std::vector<std::string>{"OutLength:  0"});
    const auto fills = OfKind(s, Kind::FillRect);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].rect, (SceneRect{100, 300, 100, 200}));
    EXPECT_EQ(fills[0].color, (SceneColor{162, 205, 90}));
}

TEST(DeviceScene, RackOutlineDividersAndSlotLabels)
{
    struct Case {
        int n;
        int right;
    };
    for (const Case c : {Case{1, 250}, Case{10, 700}, Case{54, 2900}}) {
        CVarnelDoc doc;
        doc.OnNewDocument();
        doc.deviceSlotNum = c.n;
        SetupPort(doc, Port::COM1);
        const Scene s = BuildScene(doc);
        const auto lines = OfKind(s, Kind::Polyline);
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.n + 1)) << c.n;
        EXPECT_EQ(lines[0].points,
                  (std::vector<ScenePoint>{
                      {100, 100}, {c.right, 100}, {c.right, 300}, {100, 300}, {100, 100}}));
        EXPECT_EQ(lines[0].color, (SceneColor{128, 128, 0}));
        EXPECT_EQ(lines[0].penWidth, 2);
        EXPECT_EQ(lines.back().points,
                  (std::vector<ScenePoint>{{(c.n + 3) * 50, 100}, {(c.n + 3) * 50, 300}}));
        EXPECT_EQ(TextsAt(s, 210, 200), std::vector<std::string>{"slot 1"});
        EXPECT_EQ(TextsAt(s, (c.n + 3) * 50 + 10, 200),
                  std::vector<std::string>{"slot " + std::to_string(c.n)});
        EXPECT_LE(c.right, s.width);
    }
}

TEST(DeviceScene, RangesTotalsAndDirections)
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM1);
    Place(doc, 4, LABEL_READ_HOLDING, 0, 1, 7);         // slot 1: in 2 bytes
    Place(doc, 6, LABEL_READ_HOLDING, 0, 2, 8);         // slot 3: in 4 bytes
    Place(doc, 7, LABEL_WRITE_REGISTERS, 0, 3, 9);      // slot 4: out 6 bytes
    doc.Slot(Port::COM1, 6).module.inputLen = 2;        // slot 4 has both lengths
    Place(doc, 8, "MODBUS从站状态表（8位）", 0, 1, 0);  // slot 5: no lengths, no bytes
    doc.selectedSlot = -1;
    const Scene s = BuildScene(doc);

    EXPECT_EQ(TextsAt(s, 100, 80), std::vector<std::string>{"AllInLength:   10"});
    EXPECT_EQ(TextsAt(s, 200, 80), std::vector<std::string>{"AllOutLength:  8"});
    EXPECT_EQ(TextsAt(s, 110, 200), std::vector<std::string>{"InLength:   8"});
    EXPECT_EQ(TextsAt(s, 110, 230), std::vector<std::string>{"OutLength:  6"});

    // slot 1 (x 210): 2..3; slot 3 (x 310): 4..7; slot 4 (x 360): out 2..7.
    EXPECT_EQ(TextsAt(s, 210, 120), std::vector<std::string>{"MS #7"});
    EXPECT_EQ(TextsAt(s, 210, 160), std::vector<std::string>{"eipIN"});
    EXPECT_EQ(TextsAt(s, 210, 200), (std::vector<std::string>{"slot 1", "2"}));
    EXPECT_EQ(TextsAt(s, 210, 210), std::vector<std::string>{". . ."});
    EXPECT_EQ(TextsAt(s, 210, 230), std::vector<std::string>{"3"});
    EXPECT_EQ(TextsAt(s, 310, 200), (std::vector<std::string>{"slot 3", "4"}));
    EXPECT_EQ(TextsAt(s, 310, 230), std::vector<std::string>{"7"});
    EXPECT_EQ(TextsAt(s, 360, 160), std::vector<std::string>{"eipOUT"});
    EXPECT_EQ(TextsAt(s, 360, 200), (std::vector<std::string>{"slot 4", "2"}));
    EXPECT_EQ(TextsAt(s, 360, 230), std::vector<std::string>{"7"});
    // Both lengths 0: "MS #0" twice and only the dots.
    EXPECT_EQ(TextsAt(s, 410, 120), std::vector<std::string>{"MS #0"});
    EXPECT_EQ(TextsAt(s, 410, 160), std::vector<std::string>{"MS #0"});
    EXPECT_EQ(TextsAt(s, 410, 200), std::vector<std::string>{"slot 5"});
    EXPECT_EQ(TextsAt(s, 410, 210), std::vector<std::string>{". . ."});
    EXPECT_TRUE(TextsAt(s, 410, 230).empty());
    // An empty slot shows only its label.
    EXPECT_EQ(TextsAt(s, 260, 200), std::vector<std::string>{"slot 2"});
    EXPECT_TRUE(TextsAt(s, 260, 120).empty());

    const auto pictures = OfKind(s, Kind::Picture);
    ASSERT_EQ(pictures.size(), 4u);
    EXPECT_EQ(pictures[0].rect, (SceneRect{201, 102, 48, 196}));
    EXPECT_EQ(pictures[3].rect, (SceneRect{401, 102, 48, 196}));
    EXPECT_TRUE(OfKind(s, Kind::TintRect).empty());
}

TEST(DeviceScene, SelectionTintAndDetailBox)
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM1);
    SetupPort(doc, Port::COM2);
    Place(doc, 1004, LABEL_READ_COILS, 0, 17, 1);
    doc.Slot(Port::COM2, 3).module.modulePrm = {1, 0, 16};

    struct Case {
        int code;
        std::optional<SceneRect> tint;
        std::string slotText;  // empty: no detail box
    };
    const Case cases[] = {
        {1004, SceneRect{200, 300, 50, 200}, "槽号: 1"},
        {4, SceneRect{200, 100, 50, 200}, ""},  // empty slot: tint only
        {0, std::nullopt, ""},                  // head: nothing
        {1000, std::nullopt, ""},
        {-1, std::nullopt, ""},
        {1, SceneRect{50, 100, 50, 200}, "槽号: -2"},  // fixed entries
        {3, SceneRect{150, 100, 50, 200}, "槽号: 0"},
        {999, SceneRect{49950, 100, 50, 200}, ""},  // beyond the rack: no box
    };
    for (const Case& c : cases) {
        doc.selectedSlot = c.code;
        const Scene s = BuildScene(doc);
        const auto tints = OfKind(s, Kind::TintRect);
        if (c.tint) {
            ASSERT_EQ(tints.size(), 1u) << c.code;
            EXPECT_EQ(tints[0].rect, *c.tint) << c.code;
            EXPECT_EQ(tints[0].color, (SceneColor{177, 217, 200}));
        } else {
            EXPECT_TRUE(tints.empty()) << c.code;
        }
        const auto slotLine = TextsAt(s, 100, 540);
        if (c.slotText.empty()) {
            EXPECT_TRUE(slotLine.empty()) << c.code;
        } else {
            EXPECT_EQ(slotLine, std::vector<std::string>{c.slotText}) << c.code;
        }
    }

    doc.selectedSlot = 1004;
    const Scene s = BuildScene(doc);
    EXPECT_EQ(TextsAt(s, 100, 510), std::vector<std::string>{"COM:  COM2"});
    EXPECT_EQ(TextsAt(s, 100, 570), std::vector<std::string>{"名称: 读0区 01H"});
    EXPECT_EQ(TextsAt(s, 100, 600), std::vector<std::string>{"输入长度: 3"});
    EXPECT_EQ(TextsAt(s, 100, 630), std::vector<std::string>{"输出长度: 0"});
    EXPECT_EQ(TextsAt(s, 100, 660), std::vector<std::string>{"用户参数: 0x01 0x00 0x10 "});
    EXPECT_EQ(TextItem(s, "COM:  COM2")->font, SceneFont::Detail);
}

TEST(DeviceScene, DrawingOrderPerRack)
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM1);
    Place(doc, 4, LABEL_READ_COILS, 0, 8, 1);
    doc.selectedSlot = 4;
    const Scene s = BuildScene(doc);
    std::vector<Kind> firstOfKind;
    for (const auto& p : s.items)
        if (std::find(firstOfKind.begin(), firstOfKind.end(), p.kind) == firstOfKind.end())
            firstOfKind.push_back(p.kind);
    EXPECT_EQ(firstOfKind, (std::vector<Kind>{Kind::Text, Kind::Polyline, Kind::FillRect,
                                              Kind::Picture, Kind::TintRect}));
    // Picture over the slot label, tint over the picture, ranges over the tint.
    auto pos = [&](Kind kind, const std::string& text = {}) {
        for (std::size_t i = 0; i < s.items.size(); ++i)
            if (s.items[i].kind == kind && (text.empty() || s.items[i].text == text)) return i;
        return s.items.size();
    };
    EXPECT_LT(pos(Kind::Text, "slot 1"), pos(Kind::Picture));
    EXPECT_LT(pos(Kind::Picture), pos(Kind::TintRect));
    EXPECT_LT(pos(Kind::TintRect), pos(Kind::Text, "MS #1"));
    EXPECT_LT(pos(Kind::Text, "名称: 读0区 01H"), pos(Kind::Text, "MS #1"));
}

TEST(DeviceScene, FontsAsAskedFor)
{
    EXPECT_EQ(RequestedFont(SceneFont::Title).face, "Arial Black");
    EXPECT_EQ(RequestedFont(SceneFont::Title).height, 30);
    EXPECT_EQ(RequestedFont(SceneFont::Title).width, 15);
    EXPECT_EQ(RequestedFont(SceneFont::Title).weight, 400);
    EXPECT_EQ(RequestedFont(SceneFont::PortName).face, "Times");
    EXPECT_EQ(RequestedFont(SceneFont::PortName).width, 6);
    EXPECT_EQ(RequestedFont(SceneFont::Small).height, 20);
    EXPECT_EQ(RequestedFont(SceneFont::Small).width, 4);
    EXPECT_EQ(RequestedFont(SceneFont::Detail).width, 10);
    EXPECT_EQ(RequestedFont(SceneFont::Detail).weight, 700);
}
