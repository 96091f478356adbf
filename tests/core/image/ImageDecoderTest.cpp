// Decoding images back into their configuration, and naming what is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/image/Compiler.h"
#include "core/image/ImageDecoder.h"
#include "support/DocFixtures.h"

using namespace docfixtures;

namespace {

// Both ports set up, commands of several types, COM2 monitoring 16 bits.
CVarnelDoc SampleDoc()
{
    CVarnelDoc doc = NewDoc({Port::COM1});
    PlaceModule(doc, LABEL_READ_COILS, 0, 10, 1);
    PlaceModule(doc, LABEL_WRITE_REGISTERS, 256, 123, 17);
    SetupPort(doc, Port::COM2);
    PlaceModule(doc, LABEL_READ_HOLDING, 40, 125, 3);
    doc.Slot(Port::COM2, 2).module.modulePrm[2] = 3;  // monitor 16 bits
    EXPECT_TRUE(PlaceSlaveStatusModules(doc).ok());
    return doc;
}

// Each row is an image the gateway would refuse: the decoder names the
// problem, and the download's gate refuses with that sentence.
TEST(ImageDecoder, SaysWhatIsWrong)
{
    const Bytes good = BuildImage(SampleDoc());
    // The good image changed by `change`, with its checksum made right again.
    auto changed = [&good](const std::function<void(Bytes&)>& change) {
        Bytes body(good.begin(), good.end() - 2);
        change(body);
        return WithCrc(body);
    };
    Bytes flipped = good;
    flipped[10] ^= 0x01;
    Bytes longLength = good;
    longLength[1] = 0x7f;
    CVarnelDoc unplaced = SampleDoc();
    unplaced.Slot(Port::COM1, 2).module.modulePrm[2] = 8;  // 32 bytes asked for, none placed
    // Commands no editor makes, as a hand-written project holds them.
    CVarnelDoc quantity = SampleDoc();
    quantity.Slot(Port::COM2, 3).module.modulePrm = H("03 03 00 28 00 c8");  // 03H quantity 200
    CVarnelDoc single = SampleDoc();
    single.Slot(Port::COM1, 3).module = MakeModule(LABEL_WRITE_COIL, 0, 1, 1);
    single.Slot(Port::COM1, 3).module.modulePrm[5] = 2;  // 05H quantity 2
    CVarnelDoc inputLen = SampleDoc();
    inputLen.Slot(Port::COM1, 3).module.inputLen = 7;  // 10 coils take 2 bytes
    CVarnelDoc negative = SampleDoc();
    negative.Slot(Port::COM1, 4).module.outputLen = -246;
    const struct {
        const char* name;
        Bytes image;
        const char* problem;
    } cases[] = {
        {"empty", {}, "the image is 0 bytes long; the shortest image (no port) is 7 bytes"},
        {"crc", flipped, "checksum: the image says"},
        {"length", longLength, "COM1 block at offset 1: parameter length"},
        {"extra", changed([](Bytes& b) { b.push_back(0); }),
         "1 bytes stand between the totals and the checksum"},
        {"function", changed([](Bytes& b) { b[1 + 2 + 6 + 1] = 0x07; }),
         "COM1 command 1: function code 07 is not a command"},
        {"offset", changed([](Bytes& b) { b[1 + 2 + (b[1] << 8 | b[2])] ^= 0x01; }),
         "COM1 input last offset: the image says"},
        {"flags", changed([](Bytes& b) { b[0] = 0x07; }),
         "the port flags byte 07 has bits other than 0 and 1 set"},
        {"too few serial bytes", H("01 00 03 01 02 03 00 03 00 01 00 05 00 03 c2 40"),
         "COM1: 3 parameter bytes, fewer than the 6 serial parameter bytes"},
        {"status table", BuildImage(unplaced),
         "COM1: the slave status table (32 bytes 00 .. 1f) does not end the parameter bytes"},
        {"03H quantity 200", BuildImage(quantity), "COM2 command 1: quantity 200 is not 1 to 125"},
        {"05H quantity 2", BuildImage(single), "COM1 command 1: quantity 2 is not 1 to 1"},
        {"inputLen", BuildImage(inputLen), "COM1 input last offset: the image says"},
        {"negative outputLen", BuildImage(negative), "COM1 output last offset: the image says"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = DecodeImage(c.image);
        EXPECT_FALSE(decoded.Valid());
        const auto& all = decoded.problems;
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&c](const std::string& p) {
            return p.find(c.problem) != std::string::npos;
        })) << DescribeImage(decoded);
        const Status gate = CheckImage(c.image);
        ASSERT_FALSE(gate.ok());
        EXPECT_EQ(gate.error(), Refuse(Code::ImageRefused, all.front()));
    }
}

}  // namespace
