// Start-up with and without a project on the command line, and printing.
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "GuiTestSupport.h"
#include "core/modbus/ModbusMaster.h"
#include "core/project/ProjectStore.h"
#include "gui/app/CVarnelApp.h"
#include "gui/app/CommandIds.h"
#include "support/TestSupport.h"

using namespace varnel;
using guitest::FrameTest;

TEST(CVarnelApp, StartsNewOrWithTheNamedProject)
{
    guitest::App();
    testsupport::TempDir dir;
    CVarnelDoc doc;
    doc.OnNewDocument();
    SetupPort(doc, Port::COM2);
    const std::string path = (dir / "start.json").string();
    ASSERT_FALSE(SaveProject(path, doc).has_value());
    for (const QString& named : {QString(), QString::fromStdString(path)}) {
        CVarnelApp app;
        ASSERT_TRUE(app.InitInstance(named.isEmpty() ? QStringList() : QStringList{named}));
        EXPECT_TRUE(app.MainFrame()->isVisible());
        EXPECT_EQ(app.MainFrame()->Document().com2Enabled, named.isEmpty() ? 0 : 1);
        EXPECT_EQ(app.MainFrame()->Document().deviceSlotNum, 10);
        EXPECT_EQ(app.MainFrame()->PathName(), named);
    }
    // A project that cannot be opened ends the start after its message.
    CVarnelApp app;
    QStringList shown;
    guitest::CaptureMessage(shown);
    EXPECT_FALSE(app.InitInstance({QString::fromStdString((dir / "missing.json").string())}));
    EXPECT_EQ(shown.size(), 1);
}

TEST_F(FrameTest, PrintsAndPreviewsThePicture)
{
    SetupPort(Doc(), Port::COM1);
    PlaceModule(Doc(), "读0区 01H", 0, 8, 1);
    Doc().selectedSlot = 4;
    testsupport::TempDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString((dir / "view.pdf").string()));
    frame->View()->PrintTo(&printer);
    EXPECT_GT(testsupport::ReadFile(dir / "view.pdf").size(), 1000u);

    EXPECT_TRUE(guitest::Shows(guitest::ActiveModal<QPrintPreviewDialog>,
                               [this] { frame->Action(ID_FILE_PRINT_PREVIEW)->trigger(); }));
}
