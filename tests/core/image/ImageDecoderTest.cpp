// Images the gateway would refuse: the decoder names what is wrong, and the
// download's gate refuses with that sentence. Sound images are the golden
// folders of CompilerTest.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/image/Compiler.h"
#include "core/image/ImageDecoder.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

TEST(ImageDecoder, SaysWhatIsWrongAndTheGateRefuses)
{
    // Both ports, commands of two types, COM2 monitoring 16 bits, changed by `change`.
    const auto compiled = [](const std::function<void(CVarnelDoc&)>& change) {
        CVarnelDoc doc = NewDoc({Port::COM1});
        PlaceModule(doc, LABEL_READ_COILS, 0, 10, 1);
        PlaceModule(doc, LABEL_WRITE_REGISTERS, 256, 123, 17);
        SetupPort(doc, Port::COM2);
        PlaceModule(doc, LABEL_READ_HOLDING, 40, 125, 3);
        doc.Slot(Port::COM2, 2).module.modulePrm[2] = 3;
        EXPECT_TRUE(PlaceSlaveStatusModules(doc).ok());
        change(doc);
        return BuildImage(doc);
    };
    const Bytes good = compiled([](CVarnelDoc&) {});
    // The good image changed by `change`, with its checksum made right again.
    const auto changed = [&good](const std::function<void(Bytes&)>& change) {
        Bytes body(good.begin(), good.end() - 2);
        change(body);
        return WithCrc(body);
    };
    const auto com1 = [](int slot) {
        return [slot](std::function<void(CModule&)> f) {
            return [slot, f](CVarnelDoc& d) { f(d.Slot(Port::COM1, slot).module); };
        };
    };
    const struct {
        const char* name;
        Bytes image;
        const char* problem;
    } cases[] = {
        {"empty", {}, "the image is 0 bytes long; the shortest image (no port) is 7 bytes"},
        {"crc", [&good] { Bytes b = good; b[10] ^= 1; return b; }(), "checksum: the image says"},
        {"length", changed([](Bytes& b) { b[1] = 0x7f; }), "COM1 block at offset 1: parameter length"},
        {"extra", changed([](Bytes& b) { b.push_back(0); }),
         "1 bytes stand between the totals and the checksum"},
        {"function 07", changed([](Bytes& b) { b[1 + 2 + 6 + 1] = 0x07; }),
         "COM1 command 1: function code 07 is not a command"},
        {"offset", changed([](Bytes& b) { b[1 + 2 + (b[1] << 8 | b[2])] ^= 0x01; }),
         "COM1 input last offset: the image says"},
        {"flags", changed([](Bytes& b) { b[0] = 0x07; }),
         "the port flags byte 07 has bits other than 0 and 1 set"},
        {"too few serial bytes", H("01 00 03 01 02 03 00 03 00 01 00 05 00 03 c2 40"),
         "COM1: 3 parameter bytes, fewer than the 6 serial parameter bytes"},
        {"status table", compiled(com1(2)([](CModule& m) { m.modulePrm[2] = 8; })),
         "COM1: the slave status table (32 bytes 00 .. 1f) does not end the parameter bytes"},
        // Commands no editor makes, as a hand-written project holds them.
        {"03H quantity 200", compiled([](CVarnelDoc& d) {
             d.Slot(Port::COM2, 3).module.modulePrm = H("03 03 00 28 00 c8");
         }), "COM2 command 1: quantity 200 is not 1 to 125"},
        {"05H quantity 2", compiled(com1(3)([](CModule& m) {
             m = MakeModule(LABEL_WRITE_COIL, 0, 1, 1);
             m.modulePrm[5] = 2;
         })), "COM1 command 1: quantity 2 is not 1 to 1"},
        {"inputLen", compiled(com1(3)([](CModule& m) { m.inputLen = 7; })),
         "COM1 input last offset: the image says"},
        {"negative outputLen", compiled(com1(4)([](CModule& m) { m.outputLen = -246; })),
         "COM1 output last offset: the image says"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedImage decoded = DecodeImage(c.image);
        const auto& all = decoded.problems;
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&c](const std::string& p) {
            return p.find(c.problem) != std::string::npos;
        })) << DescribeImage(decoded);
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(CheckImage(c.image).error(), Refuse(Code::ImageRefused, all.front()));
    }
}

}  // namespace
