// The gateway picture as primitives, compared whole with the golden files in
// tests/data/view: what is drawn, where, in which order. VARNEL_UPDATE_GOLDEN=1
// rewrites the files from the code (review the diff before committing).
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/view/DeviceScene.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

// One line per primitive in drawing order: kind, place, font or colour, text.
std::string Dump(const Scene& s)
{
    static const char* const kinds[] = {"text", "line", "fill", "picture", "tint"};
    std::ostringstream o;
    o << "scene " << s.width << "x" << s.height << "\n";
    for (const auto& p : s.items) {
        o << kinds[static_cast<int>(p.kind)];
        if (p.kind == ScenePrimitive::Kind::Text)
            o << " " << p.at.x << "," << p.at.y << " font" << static_cast<int>(p.font) << " "
              << p.text << "\n";
        else if (p.kind == ScenePrimitive::Kind::Polyline)
            o << " rgb " << int(p.color.r) << "," << int(p.color.g) << "," << int(p.color.b)
              << " pen " << p.penWidth;
        else
            o << " " << p.rect.left << "," << p.rect.top << " " << p.rect.width << "x"
              << p.rect.height << " rgb " << int(p.color.r) << "," << int(p.color.g) << ","
              << int(p.color.b);
        for (const auto& pt : p.points) o << " " << pt.x << "," << pt.y;
        if (p.kind != ScenePrimitive::Kind::Text) o << "\n";
    }
    return o.str();
}

CVarnelDoc Ranges()
{
    CVarnelDoc doc = NewDoc({Port::COM1});
    PlaceModule(doc, User(Port::COM1, 1), LABEL_READ_HOLDING, 0, 1, 7);         // in 2 bytes
    PlaceModule(doc, User(Port::COM1, 3), LABEL_READ_HOLDING, 0, 2, 8);         // in 4 bytes
    PlaceModule(doc, User(Port::COM1, 4), LABEL_WRITE_REGISTERS, 0, 3, 9);      // out 6 bytes
    doc.Slot(Port::COM1, 6).module.inputLen = 2;                                // and in 2
    PlaceModule(doc, User(Port::COM1, 5), "MODBUS从站状态表（8位）", 0, 1, 0);  // no lengths
    return doc;
}

CVarnelDoc Selected()
{
    CVarnelDoc doc = NewDoc({Port::COM1, Port::COM2});
    PlaceModule(doc, User(Port::COM2, 1), LABEL_READ_COILS, 0, 17, 1);
    doc.Slot(Port::COM2, 3).module.modulePrm = {1, 0, 16};
    return doc;
}

TEST(DeviceScene, MatchesTheGoldenPictures)
{
    auto Rack = [](int slots) {
        CVarnelDoc doc = NewDoc();
        doc.deviceSlotNum = slots;
        SetupPort(doc, Port::COM1);
        return doc;
    };
    const struct {
        const char* name;
        CVarnelDoc doc;
        int selected;
    } cases[] = {
        {"empty", NewDoc(), NO_SELECTION},       {"com2-alone", NewDoc({Port::COM2}), NO_SELECTION},
        {"rack-1", Rack(1), NO_SELECTION},  // outline, dividers and labels follow the count
        {"rack-54", Rack(54), NO_SELECTION},     {"ranges", Ranges(), NO_SELECTION},
        {"ranges-slot1", Ranges(), 4},            // tint and detail box over the ranges
        {"select-com2-slot1", Selected(), 1004},  // detail box with parameter bytes
        {"select-empty-slot", Selected(), 4},     // tint only
        {"select-head", Selected(), 0},           // nothing
        {"select-com2-head", Selected(), 1000},   // nothing
        {"select-fixed", Selected(), 1},          // fixed entries are tinted too
        {"select-beyond", Selected(), 999},       // beyond the rack: tint, no box
    };
    const bool update = std::getenv("VARNEL_UPDATE_GOLDEN") != nullptr;
    for (const auto& c : cases) {
        const auto path = std::filesystem::path(VARNEL_SOURCE_DIR) / "tests/data/view" /
                          (std::string(c.name) + ".scene");
        const std::string dump = Dump(BuildScene(c.doc, c.selected));
        if (update) testsupport::WriteFile(path, dump);
        EXPECT_EQ(dump, testsupport::ReadFile(path)) << c.name;
    }
}

}  // namespace
