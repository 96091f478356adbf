#pragma once
// The picture of the gateway as a list of drawing primitives, built from the
// document alone. Front ends paint the primitives in order (later ones over
// earlier ones) and tests read them without pixels. One unit is one pixel.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/CVarnelDoc.h"
#include "core/view/Selection.h"

namespace varnel {

struct ScenePoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScenePoint&) const = default;
};

// left/top inclusive, width and height in units.
struct SceneRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const SceneRect&) const = default;
};

struct SceneColor {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const SceneColor&) const = default;
};

// The four fonts of the picture.
enum class SceneFont { Title, PortName, Small, Detail };

// A font as the picture asks for it: face, cell height, average character
// width and weight (400 normal, 700 bold).
struct SceneFontRequest {
    std::string_view face;
    int height;
    int width;
    int weight;
};
const SceneFontRequest& RequestedFont(SceneFont font);

inline constexpr SceneColor RACK_PEN_COLOR{128, 128, 0};
inline constexpr int RACK_PEN_WIDTH = 2;
inline constexpr SceneColor HEAD_FILL_COLOR{162, 205, 90};
inline constexpr SceneColor TINT_COLOR{177, 217, 200};

struct ScenePrimitive {
    enum class Kind {
        Text,      // `text` in `font`, black, transparent background, top-left at `at`
        Polyline,  // `points` joined with a solid pen of `color` and `penWidth`
        FillRect,  // `rect` filled with `color`
        Picture,   // the module picture scaled into `rect`
        TintRect,  // `rect` combined with `color` by a bitwise AND of each pixel
    };
    Kind kind = Kind::Text;
    ScenePoint at;
    SceneFont font = SceneFont::Small;
    std::string text;
    std::vector<ScenePoint> points;
    SceneRect rect;
    SceneColor color;
    int penWidth = 0;

    bool operator==(const ScenePrimitive&) const = default;
};

struct Scene {
    std::vector<ScenePrimitive> items;
    // The extent of the whole picture: the scroll area covers all of it,
    // down to the last line of the detail box.
    int width = 0;
    int height = 0;
};

inline constexpr int SCENE_WIDTH = 3000;
inline constexpr int SCENE_HEIGHT = 700;

// The number of user slots drawn and hit-tested per port: the slot count,
// held to 0..54 for a hand-edited document.
int ShownUserSlots(const CVarnelDoc& doc);

// The picture of `doc`: title line, the rack of each enabled port, selection
// tint of `selectedSlot` (a selection code), detail box and the EtherNet/IP
// data ranges.
Scene BuildScene(const CVarnelDoc& doc, int selectedSlot);

}  // namespace varnel
