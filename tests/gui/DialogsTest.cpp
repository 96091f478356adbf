// The device-wide dialogs and the picture of a configuration built through
// the window.
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

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
QPushButton* Ok(QDialog* d)
{
    return d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

QStringList Texts(const Scene& scene)
{
    QStringList out;
    for (const auto& p : scene.items)
        if (p.kind == ScenePrimitive::Kind::Text)
            out << QString("%1,%2 %3").arg(p.at.x).arg(p.at.y).arg(QString::fromStdString(p.text));
    return out;
}
}  // namespace

TEST_F(FrameTest, SlotCountDialogRefusesUntilValid)
{
    Doc().deviceSlotNum = 10;
    QStringList refused;
    QString shown;
    guitest::OnModal<CDeviceOptionSetDlg>([&](CDeviceOptionSetDlg* d) {
        EXPECT_EQ(d->windowTitle(), "槽数设置");
        shown = d->Edit()->text();
        for (const char* text : {"0", "55", "", "-5", "5a", " 5"}) {
            d->Edit()->setText(text);
            guitest::SeenMessage seen;
            guitest::CaptureMessage(seen);
            Ok(d)->click();
            if (seen.seen && seen.text == "槽数取值范围:1~54的正整数" && seen.caption == "错误" &&
                d->isVisible())
                refused << text;
        }
        d->Edit()->setText("054");
        Ok(d)->click();
    });
    frame->Action(ID_SLOT_COUNT)->trigger();
    EXPECT_EQ(shown, "10");
    EXPECT_EQ(refused, QStringList({"0", "55", "", "-5", "5a", " 5"}));
    EXPECT_EQ(Doc().deviceSlotNum, 54);
    EXPECT_FALSE(Doc().modified);
}

TEST_F(FrameTest, AccessDialogWritesTheOptionFile)
{
    const std::string optionFile = Doc().OptionFilePath();
    testsupport::WriteFile(optionFile,
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ETHOption>\r\n\t<ip>"
                           "10.0.0.5</ip>\r\n</ETHOption>\r\n");
    Doc().deviceIp = "10.0.0.5";
    QStringList parts;
    guitest::OnModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
        EXPECT_EQ(d->windowTitle(), "访问参数");
        for (int i = 0; i < 4; ++i) parts << d->Part(i)->text();
        d->Part(0)->setText("192");
        d->Part(1)->setText("168");
        d->Part(2)->setText("1");
        d->Part(3)->setText("20");
        Ok(d)->click();
    });
    frame->Action(ID_ACCESS_PARAMS)->trigger();
    EXPECT_EQ(parts, QStringList({"10", "0", "0", "5"}));
    EXPECT_EQ(Doc().deviceIp, "192.168.1.20");
    EXPECT_EQ(testsupport::ReadFile(optionFile),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ETHOption>\r\n\t<ip>"
              "192.168.1.20</ip>\r\n</ETHOption>\r\n");

    // Cancel changes nothing; an empty part reads as 0.
    guitest::OnModal<CDeviceIpDlg>([](CDeviceIpDlg* d) {
        d->Part(3)->setText("99");
        d->reject();
    });
    frame->Action(ID_ACCESS_PARAMS)->trigger();
    EXPECT_EQ(Doc().deviceIp, "192.168.1.20");
    guitest::OnModal<CDeviceIpDlg>([](CDeviceIpDlg* d) {
        d->Part(2)->clear();
        Ok(d)->click();
    });
    frame->Action(ID_ACCESS_PARAMS)->trigger();
    EXPECT_EQ(Doc().deviceIp, "192.168.0.20");

    // A missing option file is created with the address, never left empty;
    // an empty element gets its text.
    for (const char* before : {"", "<ETHOption><ip/></ETHOption>"}) {
        if (*before == '\0')
            std::remove(optionFile.c_str());
        else
            testsupport::WriteFile(optionFile, before);
        guitest::OnModal<CDeviceIpDlg>([](CDeviceIpDlg* d) { Ok(d)->click(); });
        frame->Action(ID_ACCESS_PARAMS)->trigger();
        const std::string after = testsupport::ReadFile(optionFile);
        EXPECT_NE(after.find("<ETHOption>"), std::string::npos) << before;
        EXPECT_NE(after.find("<ip>192.168.0.20</ip>"), std::string::npos) << before;
    }
}

TEST_F(FrameTest, SceneOfAConfigurationBuiltThroughTheWindow)
{
    SetupPort(Doc(), Port::COM1);
    PlaceModule(Doc(), "读0区 01H", 0, 17, 7);        // in 3: 2..4
    PlaceModule(Doc(), "写4区 10H 写多字", 0, 2, 8);  // out 4: 2..5
    Doc().selectedSlot = 5;
    const QStringList texts = Texts(BuildScene(Doc()));
    for (const char* expected : {"100,40 EIP-MODBUS DEVICE",
                                 "100,80 AllInLength:   5",
                                 "200,80 AllOutLength:  6",
                                 "135,110 COM1",
                                 "110,200 InLength:   3",
                                 "110,230 OutLength:  4",
                                 "210,120 MS #7",
                                 "210,160 eipIN",
                                 "210,200 2",
                                 "210,210 . . .",
                                 "210,230 4",
                                 "260,120 MS #8",
                                 "260,160 eipOUT",
                                 "260,200 2",
                                 "260,230 5",
                                 "100,510 COM:  COM1",
                                 "100,540 槽号: 2",
                                 "100,570 名称: 写4区 10H 写多字",
                                 "100,600 输入长度: 0",
                                 "100,630 输出长度: 4",
                                 "100,660 用户参数: 0x08 0x10 0x00 0x00 0x00 0x02 "})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(expected))) << expected;
    bool tinted = false;
    for (const auto& p : BuildScene(Doc()).items)
        if (p.kind == ScenePrimitive::Kind::TintRect)
            tinted = p.rect == SceneRect{250, 100, 50, 200};
    EXPECT_TRUE(tinted);
}
