// The device-wide dialogs and the picture of a configuration built through
// the window.
#include <QLineEdit>
#include <array>

#include "GuiTestSupport.h"
#include "core/modbus/ModbusMaster.h"
#include "core/view/DeviceScene.h"
#include "gui/app/CommandIds.h"
#include "gui/model/CDeviceIpDlg.h"
#include "gui/model/CDeviceOptionSetDlg.h"
#include "support/TestSupport.h"

using namespace varnel;
using guitest::FrameTest;

namespace {
// "y text; ..." of the texts drawn at `x`, in drawing order.
std::string Column(const Scene& scene, int x)
{
    std::string out;
    for (const auto& p : scene.items)
        if (p.kind == ScenePrimitive::Kind::Text && p.at.x == x)
            out += (out.empty() ? "" : "; ") + std::to_string(p.at.y) + " " + p.text;
    return out;
}
}  // namespace

TEST_F(FrameTest, SlotCountDialogRefusesUntilValid)
{
    Doc().deviceSlotNum = 10;
    QStringList log;
    guitest::OnModal<CDeviceOptionSetDlg>([&](CDeviceOptionSetDlg* d) {
        log << d->windowTitle() + " " + d->Edit()->text();
        for (const char* text : {"0", "55", "", "-5", "5a", " 5"}) {
            d->Edit()->setText(text);
            guitest::CaptureMessage(log);
            guitest::ClickOk(d);
            if (!d->isVisible()) log << "closed";
        }
        d->Edit()->setText("054");
        guitest::ClickOk(d);
    });
    frame->Action(ID_SLOT_COUNT)->trigger();
    const QString refusal = "槽数取值范围:1~54的正整数|错误|critical";
    EXPECT_EQ(log,
              QStringList({"槽数设置 10", refusal, refusal, refusal, refusal, refusal, refusal}));
    EXPECT_EQ(Doc().deviceSlotNum, 54);
    EXPECT_FALSE(Doc().modified);
}

TEST_F(FrameTest, AccessDialogWritesTheOptionFile)
{
    const std::string optionFile = Doc().OptionFilePath();
    const auto content = [](const char* ip) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ETHOption>\r\n\t<ip>" +
               std::string(ip) + "</ip>\r\n</ETHOption>\r\n";
    };
    testsupport::WriteFile(optionFile, content("10.0.0.5"));
    Doc().deviceIp = "10.0.0.5";
    // Types `parts` (null: keep) and confirms, or cancels; returns what it showed.
    const auto edit = [this](std::array<const char*, 4> parts, bool ok) {
        QStringList shown;
        guitest::OnModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
            shown << d->windowTitle();
            for (int i = 0; i < 4; ++i) {
                shown << d->Part(i)->text();
                if (parts[i] != nullptr) d->Part(i)->setText(parts[i]);
            }
            ok ? guitest::ClickOk(d) : d->reject();
        });
        frame->Action(ID_ACCESS_PARAMS)->trigger();
        return shown;
    };
    EXPECT_EQ(edit({"192", "168", "1", "20"}, true),
              QStringList({"访问参数", "10", "0", "0", "5"}));
    EXPECT_EQ(Doc().deviceIp, "192.168.1.20");
    EXPECT_EQ(testsupport::ReadFile(optionFile), content("192.168.1.20"));

    // Cancel changes nothing; an empty part reads as 0.
    edit({nullptr, nullptr, nullptr, "99"}, false);
    EXPECT_EQ(Doc().deviceIp, "192.168.1.20");
    edit({nullptr, nullptr, "", nullptr}, true);
    EXPECT_EQ(Doc().deviceIp, "192.168.0.20");
    EXPECT_EQ(testsupport::ReadFile(optionFile), content("192.168.0.20"));
}

TEST_F(FrameTest, SceneOfAConfigurationBuiltThroughTheWindow)
{
    SetupPort(Doc(), Port::COM1);
    PlaceModule(Doc(), "读0区 01H", 0, 17, 7);        // in 3: 2..4
    PlaceModule(Doc(), "写4区 10H 写多字", 0, 2, 8);  // out 4: 2..5
    Doc().selectedSlot = 5;
    const Scene scene = BuildScene(Doc());
    EXPECT_EQ(Column(scene, 100),
              "40 EIP-MODBUS DEVICE; 80 AllInLength:   5; 510 COM:  COM1; 540 槽号: 2; "
              "570 名称: 写4区 10H 写多字; 600 输入长度: 0; 630 输出长度: 4; "
              "660 用户参数: 0x08 0x10 0x00 0x00 0x00 0x02 ");
    EXPECT_EQ(Column(scene, 200), "80 AllOutLength:  6");
    EXPECT_EQ(Column(scene, 135), "110 COM1");
    EXPECT_EQ(Column(scene, 110), "200 InLength:   3; 230 OutLength:  4");
    EXPECT_EQ(Column(scene, 210), "200 slot 1; 120 MS #7; 160 eipIN; 200 2; 210 . . .; 230 4");
    EXPECT_EQ(Column(scene, 260), "200 slot 2; 120 MS #8; 160 eipOUT; 200 2; 210 . . .; 230 5");
    std::vector<SceneRect> tints;
    for (const auto& p : scene.items)
        if (p.kind == ScenePrimitive::Kind::TintRect) tints.push_back(p.rect);
    EXPECT_EQ(tints, (std::vector<SceneRect>{{250, 100, 50, 200}}));
}
