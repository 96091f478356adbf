// The device view: selection by pointing (scroll included), delete from the
// popup, the double-click editors and the pixels of the picture.
#include <QComboBox>
#include <QPainter>
#include <QScrollBar>

#include "GuiTestSupport.h"
#include "gui/modbus/CComPrmMaster.h"
#include "gui/modbus/CCommandDlg.h"
#include "gui/ui/CPrmHexEditDlg.h"

using namespace varnel;
using guitest::FrameTest;

TEST_F(FrameTest, LeftPressSelectsWhatIsUnderThePointerAlsoWhenScrolled)
{
    // Scrolled by (100, 200), the viewport point (50, 100) is the COM2 head.
    frame->resize(500, 400);
    QApplication::processEvents();
    CVarnelView* view = frame->View();
    EXPECT_GE(view->verticalScrollBar()->maximum() + Viewport()->height(), 680);
    view->horizontalScrollBar()->setValue(100);
    view->verticalScrollBar()->setValue(200);
    Click(QPoint(50, 100));
    EXPECT_EQ(Selected(), 1000);
}

// COM1 head, a command in user slot 1 and a status table in user slot 2:
// a double-click opens the editor of each, a right click offers delete.
TEST_F(FrameTest, DoubleClickEditsAndRightClickDeletesWhatIsUnderThePointer)
{
    SetupPort(Doc(), Port::COM1);
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(1)}, "读0区 01H", 5, 8, 1);
    CModule& table = Doc().Slot(Port::COM1, 4).module;
    table.moduleName = "MODBUS从站状态表（8位）";
    table.modulePrm = {0, 1};
    Doc().modified = false;
    QStringList log;
    guitest::OnModal<CComPrmMaster>([&](CComPrmMaster* d) {
        auto* baud = d->findChild<QComboBox*>("list0");
        log << d->windowTitle() << baud->currentText();
        baud->setCurrentText("115.2K");
        guitest::ClickOk(d);
    });
    DoubleClick(QPoint(150, 150));
    EXPECT_EQ(Doc().Slot(Port::COM1, 2).module.modulePrm[0], 9);
    EXPECT_TRUE(Doc().modified);
    guitest::OnModal<CCommandDlg>([&](CCommandDlg* d) {
        auto* quantity = d->findChild<QLineEdit*>("quantityEdit");
        log << d->windowTitle()
            << d->findChild<QLineEdit*>("startEdit")->text() + " " + quantity->text();
        quantity->setText("17");
        guitest::ClickOk(d);
    });
    DoubleClick(QPoint(205, 150));
    EXPECT_EQ(Doc().Slot(Port::COM1, 3).module.modulePrm, (Bytes{1, 1, 0, 5, 0, 17}));
    guitest::OnModal<CPrmHexEditDlg>([&](CPrmHexEditDlg* d) {
        auto* edit = d->findChild<QLineEdit*>("hexEdit");
        log << d->windowTitle() << edit->text();
        // At the length limit typing changes nothing and moves the focus to OK.
        edit->setFocus();
        edit->end(false);
        QTest::keyClick(edit, Qt::Key_A);
        log << edit->text() + " " + d->focusWidget()->property("text").toString();
        edit->setText("0a;ff");
        guitest::CaptureMessage(log);
        guitest::ClickOk(d);
        edit->setText("0a,1");
        guitest::ClickOk(d);
    });
    DoubleClick(QPoint(255, 150));
    EXPECT_EQ(log, QStringList({"Modbus通讯串口参数", "9600", "命令编辑", "5 8", "用户参数修改",
                                "00,01", "00,01 确定", "用户参数格式错误|错误|critical"}));
    EXPECT_EQ(table.modulePrm, (Bytes{10, 1}));

    // The popup holds "删除" alone; an empty slot shows no popup.
    const auto popup = [] { return QApplication::activePopupWidget(); };
    const auto pick = [&log](QWidget* menu) {
        QAction* item = menu->actions().value(0);
        log = QStringList{item->text() + " " + item->data().toString()};
        item->trigger();
        menu->close();
    };
    guitest::Watch(popup, pick, true, 4000, "a popup");
    Click(QPoint(205, 150), Qt::RightButton);
    EXPECT_EQ(log, QStringList({"删除 32780"}));
    EXPECT_TRUE(Doc().Slot(Port::COM1, 3).IsEmpty());
    const auto rightClick = [this] { Click(QPoint(205, 150), Qt::RightButton); };
    EXPECT_FALSE(guitest::Shows(popup, rightClick));
    const auto doubleClick = [this] { DoubleClick(QPoint(205, 150)); };
    EXPECT_FALSE(guitest::Shows(guitest::ActiveModal<QDialog>, doubleClick));
}

TEST_F(FrameTest, GrabShowsHeadColourAndTint)
{
    SetupPort(Doc(), Port::COM1);
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(1)}, "读0区 01H", 0, 8, 1);
    const QImage& picture = frame->View()->ModulePicture();
    auto pixel = [&](int code, QPoint at) {
        Selected() = code;
        return Viewport()->grab().toImage().pixelColor(at);
    };
    EXPECT_EQ(pixel(-1, QPoint(190, 290)), QColor(162, 205, 90));
    // Over the picture the tint keeps the picture's bits within its own.
    const QColor under = picture.pixelColor(43, 178);
    EXPECT_EQ(pixel(4, QPoint(244, 280)),
              QColor(under.red() & 177, under.green() & 217, under.blue() & 200));
    // The kept picture with the selection painted over it equals a whole
    // repaint, also once the document has changed under it.
    const auto same = [this] {
        QImage whole(Viewport()->size(), QImage::Format_RGB32);
        whole.fill(Viewport()->palette().color(QPalette::Base));
        QPainter p(&whole);
        frame->View()->Render(p);
        p.end();
        return Viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32) == whole;
    };
    EXPECT_TRUE(same());
    Selected() = 5;
    PlaceModule(Doc(), {Port::COM1, UserSlotIndex(2)}, "读0区 01H", 0, 8, 7);
    EXPECT_TRUE(same());
}
