// The device-wide dialogs (slot count, access address with its IP field) and
// the catalogue pane placing commands through the command editor.
#include <QClipboard>
#include <QTreeWidget>

#include "GuiTestSupport.h"
#include "gui/modbus/CCommandDlg.h"
#include "gui/modbus/CDeviceTreeDlg.h"
#include "gui/model/CDeviceIpDlg.h"
#include "gui/model/CDeviceOptionSetDlg.h"

using namespace varnel;
using guitest::FrameTest;

namespace {
QLineEdit* IpPart(QWidget* dialog, int i)
{
    return dialog->findChild<QLineEdit*>(QString("ipPart%1").arg(i));
}

// The four parts as "a.b.c.d", blanks as they are.
QString Parts(QWidget* dialog)
{
    QStringList parts;
    for (int i = 0; i < 4; ++i) parts << IpPart(dialog, i)->text();
    return parts.join('.');
}

// Types `keys` from the first part on, each key into the part that has the focus.
void Type(QWidget* dialog, const char* keys)
{
    IpPart(dialog, 0)->setFocus();
    IpPart(dialog, 0)->selectAll();
    for (const char* k = keys; *k != '\0'; ++k) QTest::keyClick(QApplication::focusWidget(), *k);
}
}  // namespace

TEST_F(FrameTest, SlotCountDialogRefusesUntilValid)
{
    QStringList log;
    guitest::OnModal<CDeviceOptionSetDlg>([&](CDeviceOptionSetDlg* d) {
        auto* edit = d->findChild<QLineEdit*>("slotCountEdit");
        edit->setText("55");
        guitest::CaptureMessage(log);
        guitest::ClickOk(d);
        log << (d->isVisible() ? "open" : "closed");
        edit->setText("054");
        guitest::ClickOk(d);
    });
    frame->Action(ID_SLOT_COUNT)->trigger();
    EXPECT_EQ(log, QStringList({"槽数取值范围:1~54的正整数|错误|critical", "open"}));
    EXPECT_EQ(Doc().deviceSlotNum, 54);
}

TEST_F(FrameTest, AccessAddressFieldTakesFourPartsUpTo255)
{
    Doc().deviceIp = "1.2.3.4";
    QStringList shown;
    guitest::OnModal<CDeviceIpDlg>([&](CDeviceIpDlg* d) {
        shown << d->windowTitle() << Parts(d);
        Type(d, "300");  // a part takes no number above 255
        shown << Parts(d);
        Type(d, "10.0.0.5");  // '.' moves on to the next part
        shown << Parts(d);
        QApplication::clipboard()->setText("192.168.1.20");
        IpPart(d, 2)->selectAll();
        IpPart(d, 2)->paste();  // a dotted address fills all four parts
        shown << Parts(d);
        guitest::ClickOk(d);
    });
    frame->Action(ID_ACCESS_PARAMS)->trigger();
    EXPECT_EQ(shown, QStringList({"访问参数", "1.2.3.4", "30.2.3.4", "10.0.0.5", "192.168.1.20"}));
    EXPECT_EQ(Doc().deviceIp, "192.168.1.20");
    EXPECT_NE(testsupport::ReadFile(Doc().OptionFilePath()).find("<ip>192.168.1.20</ip>"),
              std::string::npos);
}

TEST_F(FrameTest, TreeSetsUpAPortAndPlacesConfirmedCommands)
{
    CDeviceTreeDlg* dlg = frame->TreeDlg();
    auto* tree = dlg->findChild<QTreeWidget*>();
    auto item = [tree](const char* text) {
        return tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    };
    dlg->OnItemDoubleClicked(item("COM1"));
    EXPECT_EQ(Doc().Slot(Port::COM1, 2).module.moduleName, "COMPRM");

    // A single write keeps its quantity at 1; cancel places nothing.
    QStringList log;
    guitest::OnModal<CCommandDlg>([&](CCommandDlg* d) {
        auto* quantity = d->findChild<QLineEdit*>("quantityEdit");
        log << quantity->text() + (quantity->isEnabled() ? " on" : " off");
        d->reject();
    });
    dlg->OnItemDoubleClicked(item("写4区 06H 写单字"));
    EXPECT_TRUE(Doc().Slot(Port::COM1, 3).IsEmpty());
    // A refused quantity keeps the editor open until it is mended.
    guitest::OnModal<CCommandDlg>([&](CCommandDlg* d) {
        auto* quantity = d->findChild<QLineEdit*>("quantityEdit");
        quantity->setText("126");
        guitest::CaptureMessage(log);
        guitest::ClickOk(d);
        log << (d->isVisible() ? "open" : "closed");
        quantity->setText("125");
        guitest::ClickOk(d);
    });
    dlg->OnItemDoubleClicked(item("读4区 03H"));
    EXPECT_EQ(log, QStringList({"1 off", "长度请添入一个1和125之间的整数|错误|critical", "open"}));
    EXPECT_EQ(Doc().Slot(Port::COM1, 3).module.inputLen, 250);
    EXPECT_EQ(Selected(), 5);
    EXPECT_TRUE(Doc().modified);
}
