// Differences between configurations, one line each, for documents and for
// the images they compile to.
#include <gtest/gtest.h>

#include <functional>

#include "core/image/Compiler.h"
#include "core/report/ProjectDiff.h"
#include "support/DocFixtures.h"

using namespace varnel;
using docfixtures::PlaceAt;

namespace {

CVarnelDoc Base()
{
    CVarnelDoc doc = docfixtures::NewDoc({Port::COM1});
    doc.deviceIp = "192.168.1.10";
    PlaceAt(doc, 4, LABEL_READ_HOLDING, 0, 10, 1);
    return doc;
}

TEST(ProjectDiff, OneLinePerDifference)
{
    const struct {
        const char* name;
        std::function<void(CVarnelDoc&)> change;
        std::vector<std::string> lines;
    } cases[] = {
        {"equal", [](CVarnelDoc& d) { d.modified = true; }, {}},
        {"quantity",
         [](CVarnelDoc& d) { PlaceAt(d, 4, LABEL_READ_HOLDING, 0, 20, 1); },
         {"COM1 slot 1: 读4区 03H slave 1 start 0 qty 10 → qty 20"}},
        {"moved",
         [](CVarnelDoc& d) {
             d.Slot(Port::COM1, 3).module = {};
             PlaceAt(d, 5, LABEL_READ_HOLDING, 0, 10, 1);
         },
         {"COM1 slot 1: 读4区 03H slave 1 start 0 qty 10 → (empty)",
          "COM1 slot 2: (empty) → 读4区 03H slave 1 start 0 qty 10"}},
        {"type",
         [](CVarnelDoc& d) { PlaceAt(d, 4, LABEL_READ_INPUT_REGS, 0, 10, 1); },
         {"COM1 slot 1: 读4区 03H slave 1 start 0 qty 10 → 读3区 04H slave 1 start 0 qty 10"}},
        {"serial and address",
         [](CVarnelDoc& d) {
             d.Slot(Port::COM1, 2).module.modulePrm[0] = 6;
             d.deviceIp = "10.0.0.9";
         },
         {"deviceIp: 192.168.1.10 → 10.0.0.9", "COM1 serial 波特率: 9600 → 19.2K"}},
        {"port",
         [](CVarnelDoc& d) { SetupPort(d, Port::COM2); },
         {"COM2: not configured → configured"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CVarnelDoc changed = Base();
        c.change(changed);
        EXPECT_EQ(DiffDocuments(Base(), changed), c.lines);
    }
}

TEST(ProjectDiff, ImagesCompareByDecodedModules)
{
    CVarnelDoc a = Base();
    CVarnelDoc b = Base();
    PlaceAt(b, 4, LABEL_READ_HOLDING, 0, 20, 1);
    const DecodedImage imageA = DecodeImage(BuildImage(a));
    EXPECT_TRUE(DiffImages(imageA, DecodeImage(BuildImage(a))).empty());
    EXPECT_EQ(DiffImages(imageA, DecodeImage(BuildImage(b))),
              std::vector<std::string>{"COM1 module 1: 读4区 03H slave 1 start 0 qty 10 → qty 20"});
}

}  // namespace
