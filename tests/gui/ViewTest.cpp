// The device view: selection by pointing, delete, double-click editors and
// the pixels of the picture.
#include <QComboBox>
#include <QScrollBar>

#include "GuiTestSupport.h"
#include "core/view/DeviceScene.h"
#include "gui/modbus/CComPrmMaster.h"
#include "gui/modbus/CCommandDlg.h"
#include "gui/ui/CPrmHexEditDlg.h"

using namespace varnel;
using guitest::FrameTest;

TEST_F(FrameTest, LeftPressSelectsByHalfOpenRectanglesAlsoWhenScrolled)
{
    struct Case {
        int x, y, code;
    };
    for (const Case& c :
         {Case{205, 150, 4}, Case{200, 150, 4}, Case{199, 150, 0}, Case{150, 300, 1000},
          Case{150, 299, 0}, Case{700, 150, -1}, Case{150, 99, -1}, Case{699, 499, 1013}}) {
        Selected() = 77;
        Click(QPoint(c.x, c.y));
        EXPECT_EQ(Selected(), c.code) << c.x << "," << c.y;
    }

    // In a small window the scroll area covers the picture and clicks follow
    // the scroll.
    frame->resize(500, 400);
    QApplication::processEvents();
    CVarnelView* view = frame->View();
    const QSize shown = Viewport()->size();
    ASSERT_LT(shown.height(), 480);
    // The lower rack and the detail box can be scrolled to.
    EXPECT_GE(view->verticalScrollBar()->maximum() + shown.height(), 680);
    EXPECT_GE(view->horizontalScrollBar()->maximum() + shown.width(), 2900);

    // Scrolled by (h, v), the viewport point (x, y) is picture (x + h, y + v).
    struct Scrolled {
        int h, v, x, y, code;
    };
    for (const Scrolled& c : {Scrolled{100, 0, 105, 150, 4}, Scrolled{100, 200, 50, 100, 1000},
                              Scrolled{100, 200, 105, 99, 4}}) {
        view->horizontalScrollBar()->setValue(c.h);
        view->verticalScrollBar()->setValue(c.v);
        ASSERT_EQ(view->verticalScrollBar()->value(), c.v);
        Click(QPoint(c.x, c.y));
        EXPECT_EQ(Selected(), c.code) << c.x + c.h << "," << c.y + c.v;
    }
}

TEST_F(FrameTest, RightClickDeletesAHeadOrASlot)
{
    SetupPort(Doc(), Port::COM1);
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(1)}, "读0区 01H", 0, 8, 1);
    SetupPort(Doc(), Port::COM2);
    for (int slave = 4; slave <= 6; ++slave)
        PlaceModule(Doc(), {Port::COM2, UserSlotIndex(slave - 3)}, "读4区 03H", 0, 2, slave);
    Doc().modified = false;
    // Each popup holds "删除" alone; the test picks it.
    QStringList items;
    const auto deleteAt = [&](QPoint at) {
        guitest::OnPopup([&items](QMenu* menu) {
            for (QAction* a : menu->actions()) items << a->text() + " " + a->data().toString();
            if (!menu->actions().isEmpty()) menu->actions()[0]->trigger();
            menu->close();
        });
        Click(at, Qt::RightButton);
    };
    // Slot 3 of COM2 (code 1006): only that entry is emptied.
    deleteAt(QPoint(305, 400));
    EXPECT_EQ(Selected(), 1006);
    EXPECT_TRUE(Doc().Slot(Port::COM2, 5).IsEmpty());
    EXPECT_EQ(Doc().Slot(Port::COM2, 4).module.modulePrm[0], 5);
    EXPECT_TRUE(Doc().modified);
    // The COM1 head removes the whole master; COM2 stays.
    deleteAt(QPoint(150, 150));
    EXPECT_EQ(items, QStringList({"删除 32780", "删除 32780"}));
    EXPECT_EQ(Selected(), 0);
    EXPECT_EQ(Doc().com1Enabled, 0);
    for (const CSlot& slot : Doc().com1Slots) EXPECT_TRUE(slot.IsEmpty());
    EXPECT_EQ(Doc().com2Enabled, 1);

    // No popup for an empty slot, nor for the head of a port that is gone.
    for (QPoint at : {QPoint(305, 400), QPoint(150, 150)})
        EXPECT_FALSE(guitest::Shows(guitest::ActivePopup, [&] { Click(at, Qt::RightButton); }))
            << at.x() << "," << at.y();
}

// Double-click on the COM1 head, a command (user slot 1) and a status table
// (user slot 2) opens their editors; each shows a refusal and stays open.
TEST_F(FrameTest, DoubleClickEditsWhatIsUnderThePointer)
{
    SetupPort(Doc(), Port::COM1);
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(1)}, "读0区 01H", 5, 8, 1);
    CModule& table = Doc().Slot(Port::COM1, 4).module;
    table.moduleName = "MODBUS从站状态表（8位）";
    table.modulePrm = {0, 1, 2, 3, 4, 5, 6, 7};
    Doc().modified = false;
    QStringList log;

    guitest::OnModal<CComPrmMaster>([&](CComPrmMaster* d) {
        log << d->windowTitle();
        const QStringList chosen = QString(
                                       "115.2K|8 DataLen,1 StopBit,Odd Parity|"
                                       "Monitor Slave Status(32 Bytes)|1000ms|At Evry MD End|"
                                       "Write on change|Time of Reply")
                                       .split('|');
        for (int id = 0; id < LIST_COUNT; ++id) {
            log << d->List(static_cast<SerialListId>(id))->currentText();
            d->List(static_cast<SerialListId>(id))->setCurrentText(chosen[id]);
        }
        guitest::ClickOk(d);
    });
    DoubleClick(QPoint(150, 150));
    EXPECT_EQ(log.join("|"),
              "Modbus通讯串口参数|9600|8 DataLen,1 StopBit,No Parity|Not Monitor Slave Status|"
              "200ms|At MD_scan End|Write always|Same Interval");
    EXPECT_EQ(Doc().Slot(Port::COM1, 2).module.modulePrm, (Bytes{9, 2, 8, 0x82, 0x64, 0}));
    EXPECT_TRUE(Doc().modified);

    log.clear();
    guitest::OnModal<CCommandDlg>([&](CCommandDlg* d) {
        log << d->windowTitle() << d->findChild<QLabel*>("commandLabel")->text()
            << d->SlaveEdit()->text() << d->StartEdit()->text() << d->QuantityEdit()->text();
        d->QuantityEdit()->setText("2001");
        guitest::CaptureMessage(log);
        guitest::ClickOk(d);
        log << (d->isVisible() ? "open" : "closed");
        d->QuantityEdit()->setText("17");
        guitest::ClickOk(d);
    });
    DoubleClick(QPoint(205, 150));
    EXPECT_EQ(log.join("|"),
              "命令编辑|读0区 01H|1|5|8|长度信息错误|长度取值范围:1-125|critical|open");
    EXPECT_EQ(Doc().Slot(Port::COM1, 3).module.inputLen, 3);
    EXPECT_EQ(Doc().Slot(Port::COM1, 3).module.modulePrm, (Bytes{1, 1, 0, 5, 0, 17}));

    log.clear();
    guitest::OnModal<CPrmHexEditDlg>([&](CPrmHexEditDlg* d) {
        log << d->windowTitle() << d->Edit()->text();
        // The text is at its length limit: typing changes nothing and moves
        // the focus to OK.
        d->Edit()->setFocus();
        d->Edit()->end(false);
        QTest::keyClick(d->Edit(), Qt::Key_A);
        log << d->Edit()->text() << (d->focusWidget() == d->OkButton() ? "OK focused" : "no");
        d->Edit()->setText("0a;ff");
        guitest::CaptureMessage(log);
        d->OkButton()->click();
        log << (d->isVisible() ? d->Edit()->text() : "closed");
        d->Edit()->setText("0a,01,02,03,04,05,06,07");
        d->OkButton()->click();
    });
    DoubleClick(QPoint(255, 150));
    EXPECT_EQ(log.join("|"),
              "用户参数修改|00,01,02,03,04,05,06,07|00,01,02,03,04,05,06,07|OK focused|"
              "用户参数格式错误|错误|critical|0a;ff");
    EXPECT_EQ(table.modulePrm, (Bytes{10, 1, 2, 3, 4, 5, 6, 7}));

    // Cancel after an edit leaves the bytes.
    guitest::OnModal<CComPrmMaster>([](CComPrmMaster* d) {
        d->List(BAUD)->setCurrentText("600");
        d->reject();
    });
    DoubleClick(QPoint(150, 150));
    guitest::OnModal<CPrmHexEditDlg>([](CPrmHexEditDlg* d) {
        d->Edit()->setText("ff,ff");
        d->reject();
    });
    DoubleClick(QPoint(255, 150));
    EXPECT_EQ(Doc().Slot(Port::COM1, 2).module.modulePrm[0], 9);
    EXPECT_EQ(table.modulePrm, (Bytes{10, 1, 2, 3, 4, 5, 6, 7}));

    // An empty slot, the empty lower rack and the margin open nothing.
    const CVarnelDoc before = Doc();
    for (QPoint at : {QPoint(305, 150), QPoint(150, 400), QPoint(50, 50)})
        EXPECT_FALSE(guitest::Shows(guitest::ActiveModal<QDialog>, [&] { DoubleClick(at); }))
            << at.x() << "," << at.y();
    EXPECT_EQ(Doc().com1Slots, before.com1Slots);
}

TEST_F(FrameTest, GrabShowsHeadColourAndTint)
{
    SetupPort(Doc(), Port::COM1);
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(1)}, "读0区 01H", 0, 8, 1);
    const QImage& picture = frame->View()->ModulePicture();
    ASSERT_FALSE(picture.isNull());
    ASSERT_EQ(picture.size(), QSize(48, 196));

    auto pixel = [&](int code, QPoint at) {
        Selected() = code;
        frame->View()->horizontalScrollBar()->setValue(0);
        frame->View()->verticalScrollBar()->setValue(0);
        return Viewport()->grab().toImage().pixelColor(at);
    };
    const QColor head(162, 205, 90);
    const QColor tint(177, 217, 200);
    EXPECT_EQ(pixel(-1, QPoint(190, 290)), head);
    EXPECT_EQ(pixel(-1, QPoint(120, 180)), head);
    // An empty selected column: white AND tint is the tint itself.
    EXPECT_EQ(pixel(5, QPoint(290, 120)), tint);
    EXPECT_EQ(pixel(5, QPoint(340, 120)), QColor(Qt::white));
    // Over the picture the tint keeps the picture's bits within its own.
    const QColor under = picture.pixelColor(43, 178);
    const QColor expected(under.red() & tint.red(), under.green() & tint.green(),
                          under.blue() & tint.blue());
    EXPECT_EQ(pixel(4, QPoint(244, 280)), expected);
    EXPECT_EQ(pixel(-1, QPoint(244, 280)), under);
}
