#include "core/view/DeviceScene.h"

#include <algorithm>
#include <cstdio>

#include "core/view/DataRanges.h"

namespace varnel {

const SceneFontRequest& RequestedFont(SceneFont font)
{
    static const SceneFontRequest title{"Arial Black", 30, 15, 400};
    static const SceneFontRequest portName{"Times", 30, 6, 700};
    static const SceneFontRequest small{"Times", 20, 4, 700};
    static const SceneFontRequest detail{"Times", 20, 10, 700};
    switch (font) {
        case SceneFont::Title: return title;
        case SceneFont::PortName: return portName;
        case SceneFont::Small: return small;
        case SceneFont::Detail: break;
    }
    return detail;
}

namespace {

constexpr int COLUMN = 50;

class SceneBuilder {
public:
    explicit SceneBuilder(Scene& scene) : scene(scene) {}

    void Text(int x, int y, SceneFont font, std::string text)
    {
        ScenePrimitive p;
        p.kind = ScenePrimitive::Kind::Text;
        p.at = {x, y};
        p.font = font;
        p.text = std::move(text);
        scene.items.push_back(std::move(p));
    }
    void Polyline(std::vector<ScenePoint> points)
    {
        ScenePrimitive p;
        p.kind = ScenePrimitive::Kind::Polyline;
        p.points = std::move(points);
        p.color = RACK_PEN_COLOR;
        p.penWidth = RACK_PEN_WIDTH;
        scene.items.push_back(std::move(p));
    }
    void Rect(ScenePrimitive::Kind kind, SceneRect rect, SceneColor color = {})
    {
        ScenePrimitive p;
        p.kind = kind;
        p.rect = rect;
        p.color = color;
        scene.items.push_back(std::move(p));
    }

private:
    Scene& scene;
};

std::string Format(const char* format, long value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// The x of a text about ten units inside the column of rack entry k.
int TextColumnX(int k)
{
    return static_cast<int>((k - 1 + 0.2) * COLUMN + 100);
}

void AddDetailBox(SceneBuilder& b, const CVarnelDoc& doc, Port port, int entry)
{
    if (entry < 0 || entry >= CVarnelDoc::RACK_SIZE) return;
    const CModule& m = doc.Slot(port, entry).module;
    if (m.IsEmpty()) return;
    b.Text(100, 510, SceneFont::Detail, std::string("COM:  ") + PortName(port));
    b.Text(100, 540, SceneFont::Detail, Format("槽号: %ld", entry - 2));
    b.Text(100, 570, SceneFont::Detail, "名称: " + m.moduleName);
    b.Text(100, 600, SceneFont::Detail, Format("输入长度: %ld", m.inputLen));
    b.Text(100, 630, SceneFont::Detail, Format("输出长度: %ld", m.outputLen));
    std::string prm = "用户参数: ";
    for (std::uint8_t byte : m.modulePrm) prm += Format("0x%02lx ", byte);
    b.Text(100, 660, SceneFont::Detail, prm);
}

void AddRack(SceneBuilder& b, const CVarnelDoc& doc, Port port, int selectedSlot)
{
    const int dy = port == Port::COM1 ? 0 : 200;
    const int n = ShownUserSlots(doc);
    const int right = (n + 4) * COLUMN;

    b.Polyline(
        {{100, 100 + dy}, {right, 100 + dy}, {right, 300 + dy}, {100, 300 + dy}, {100, 100 + dy}});
    b.Rect(ScenePrimitive::Kind::FillRect, {100, 100 + dy, 100, 200}, HEAD_FILL_COLOR);
    for (int i = 0; i < n; ++i)
        b.Polyline({{(i + 4) * COLUMN, 100 + dy}, {(i + 4) * COLUMN, 300 + dy}});

    b.Text(135, 110 + dy, SceneFont::PortName, PortName(port));

    const PortRanges ranges = ComputePortRanges(doc, port);
    b.Text(110, 200 + dy, SceneFont::Small, Format("InLength:   %ld", ranges.inLength));
    b.Text(110, 230 + dy, SceneFont::Small, Format("OutLength:  %ld", ranges.outLength));

    for (int i = 0; i < n; ++i)
        b.Text(TextColumnX(i + 3), 200 + dy, SceneFont::Small, Format("slot %ld", i + 1));

    const auto& rack = doc.Slots(port);
    for (int k = 3; k <= n + 2; ++k) {
        if (!rack[static_cast<std::size_t>(k)].IsEmpty())
            b.Rect(ScenePrimitive::Kind::Picture, {(k - 3) * COLUMN + 201, 102 + dy, 48, 196});
    }

    const auto selected = SelectionToSlot(selectedSlot);
    if (selected && selected->port == port && !selected->IsHead()) {
        const int column = selected->index + 1;
        b.Rect(ScenePrimitive::Kind::TintRect, {column * COLUMN, 100 + dy, COLUMN, 200},
               TINT_COLOR);
        AddDetailBox(b, doc, port, selected->index);
    }

    for (const SlotRange& slot : ranges.slots) {
        const int x = TextColumnX(slot.index);
        const std::string ms = Format("MS #%ld", slot.slaveText);
        b.Text(x, 120 + dy, SceneFont::Small, ms);
        b.Text(x, 160 + dy, SceneFont::Small, slot.direction);
        if (slot.hasRange) b.Text(x, 200 + dy, SceneFont::Small, Format("%ld", slot.first));
        b.Text(x, 210 + dy, SceneFont::Small, ". . .");
        if (slot.hasRange) b.Text(x, 230 + dy, SceneFont::Small, Format("%ld", slot.last));
    }
}

}  // namespace

int ShownUserSlots(const CVarnelDoc& doc)
{
    return std::clamp(doc.deviceSlotNum, 0, static_cast<int>(CVarnelDoc::MAX_USER_SLOTS));
}

Scene BuildScene(const CVarnelDoc& doc, int selectedSlot)
{
    Scene scene;
    scene.width = SCENE_WIDTH;
    scene.height = SCENE_HEIGHT;
    SceneBuilder b(scene);
    if (doc.com1Enabled == 1 || doc.com2Enabled == 1) {
        b.Text(100, 40, SceneFont::Title, "EIP-MODBUS DEVICE");
        const Totals totals = ComputeTotals(doc);
        b.Text(100, 80, SceneFont::Small, Format("AllInLength:   %ld", totals.allIn));
        b.Text(200, 80, SceneFont::Small, Format("AllOutLength:  %ld", totals.allOut));
    }
    if (doc.com1Enabled == 1) AddRack(b, doc, Port::COM1, selectedSlot);
    if (doc.com2Enabled == 1) AddRack(b, doc, Port::COM2, selectedSlot);
    return scene;
}

}  // namespace varnel
