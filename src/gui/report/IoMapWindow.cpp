#include "gui/report/IoMapWindow.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDate>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/model/AtomicFile.h"
#include "core/report/IoMapFormat.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/DocTemplate.h"
#include "gui/app/Language.h"
#include "gui/report/ReportSheet.h"
#include "gui/ui/MessageBox.h"

namespace varnel {

namespace {

// Columns holding numbers sort by value, the others by text.
bool NumericColumn(int column)
{
    return column != 1 && column != 3 && column != 5 && column != 7;
}

SheetInfo MakeSheetInfo(CMainFrame* frame)
{
    SheetInfo info;
    const QString path = frame->PathName();
    info.projectName = path.isEmpty() ? DocTemplateString(DOC_NAME) : QFileInfo(path).fileName();
    info.date = QDate::currentDate();
    info.modulePicturePath = ToQ(frame->Document().ModulePicturePath());
    info.english = EnglishShown();
    return info;
}

}  // namespace

IoMapWindow* IoMapWindow::ShowFor(CMainFrame* frame)
{
    auto* window = frame->findChild<IoMapWindow*>();
    if (window == nullptr) window = new IoMapWindow(frame);
    window->Refresh();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

IoMapWindow::IoMapWindow(CMainFrame* frame)
    : QWidget(frame, Qt::Window), frame(frame), summary(new QLabel(this))
{
    setObjectName("IoMapWindow");
    setWindowTitle(QCoreApplication::translate("varnel", "设备模块信息报表"));
    summary->setObjectName("summaryLabel");
    summary->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const QString port = QString::fromLatin1(PortName(static_cast<Port>(i)));
        portLabels[i] = new QLabel(this);
        portLabels[i]->setWordWrap(true);
        tables[i] = new QTableWidget(this);
        tables[i]->setObjectName("table" + port);
        const QStringList titles = ReportColumnTitles();
        tables[i]->setColumnCount(static_cast<int>(titles.size()));
        tables[i]->setHorizontalHeaderLabels(titles);
        tables[i]->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tables[i]->verticalHeader()->hide();
        tables[i]->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        layout->addWidget(portLabels[i]);
        layout->addWidget(tables[i], 1);
    }
    auto* buttons = new QHBoxLayout;
    const struct {
        const char* name;
        QString text;
        void (IoMapWindow::*handler)();
    } actions[] = {
        {"copyButton", QCoreApplication::translate("varnel", "复制"), nullptr},
        {"csvButton", QCoreApplication::translate("varnel", "导出CSV"), &IoMapWindow::OnExportCsv},
        {"pdfButton", QCoreApplication::translate("varnel", "导出PDF"), &IoMapWindow::OnExportPdf},
        {"jsonButton", QCoreApplication::translate("varnel", "导出JSON"),
         &IoMapWindow::OnExportJson},
        {"printButton", QCoreApplication::translate("varnel", "打印"), &IoMapWindow::OnPrint},
    };
    for (const auto& a : actions) {
        auto* button = new QPushButton(a.text, this);
        button->setObjectName(a.name);
        if (a.handler != nullptr)
            connect(button, &QPushButton::clicked, this, a.handler);
        else
            connect(button, &QPushButton::clicked, this, &IoMapWindow::CopyToClipboard);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(frame, &CMainFrame::documentChanged, this, [this] {
        if (isVisible()) Refresh();
    });
    resize(900, 600);
}

void IoMapWindow::Refresh()
{
    Result<IoMap> built = BuildIoMap(frame->Document());
    if (!built) {
        map.reset();
        ShowFailure(built.message());
        return;
    }
    map = std::move(*built);
    summary->setText(QCoreApplication::translate("varnel",
                                                 "IP: %1    AllInLength: %2    AllOutLength: %3 "
                                                 "   配置映像: %4 字节    CRC %5\n%6")
                         .arg(ToQ(map->deviceIp))
                         .arg(map->allIn)
                         .arg(map->allOut)
                         .arg(map->image.size())
                         .arg(map->crc, 4, 16, QLatin1Char('0'))
                         .arg(ToQ(PER_PORT_NOTE)));
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const IoMapPort* port = nullptr;
        for (const IoMapPort& p : map->ports)
            if (p.port == static_cast<Port>(i)) port = &p;
        portLabels[i]->setVisible(port != nullptr);
        tables[i]->setVisible(port != nullptr);
        if (port != nullptr) FillTable(tables[i], *port);
    }
}

void IoMapWindow::FillTable(QTableWidget* table, const IoMapPort& port)
{
    portLabels[static_cast<std::size_t>(port.port)]->setText(
        QStringLiteral("<b>%1</b>  InLength: %2  OutLength: %3<br>%4<br>%5")
            .arg(PortName(port.port))
            .arg(port.inLength)
            .arg(port.outLength)
            .arg(ReportSerialLines(port, EnglishShown()).join(QStringLiteral("  ")).toHtmlEscaped(),
                 ToQ(PortHeaderNote(port)).toHtmlEscaped()));
    table->setSortingEnabled(false);
    table->setRowCount(static_cast<int>(port.rows.size()));
    for (int r = 0; r < table->rowCount(); ++r) {
        const QStringList cells =
            ReportRowCells(port.port, port.rows[static_cast<std::size_t>(r)], EnglishShown());
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem;
            if (NumericColumn(c) && !cells[c].isEmpty())
                item->setData(Qt::DisplayRole, cells[c].toInt());
            else
                item->setText(cells[c]);
            table->setItem(r, c, item);
        }
    }
    table->setSortingEnabled(true);
}

void IoMapWindow::ShowFailure(const Message& message)
{
    summary->setText(Shown(message.text));
    for (std::size_t i = 0; i < tables.size(); ++i) {
        portLabels[i]->hide();
        tables[i]->hide();
    }
}

void IoMapWindow::CopyToClipboard() const
{
    if (map) QGuiApplication::clipboard()->setText(ToQ(FormatIoMapTabs(*map)));
}

bool IoMapWindow::WriteText(const QString& path, const std::string& text)
{
    if (const Status written = WriteFileAtomically(path.toStdString(), text); !written) {
        ShowMessage(this, written.message());
        return false;
    }
    return true;
}

bool IoMapWindow::ExportCsv(const QString& path)
{
    return map && WriteText(path, FormatIoMapCsv(*map));
}

bool IoMapWindow::ExportJson(const QString& path)
{
    return map && WriteText(path, FormatIoMapJson(*map));
}

bool IoMapWindow::ExportPdf(const QString& path)
{
    if (!map) return false;
    if (Status status = WriteReportPdf(path, *map, MakeSheetInfo(frame)); !status) {
        ShowMessage(this, status.message());
        return false;
    }
    return true;
}

void IoMapWindow::OnExportCsv()
{
    const QString path = QFileDialog::getSaveFileName(
        this, QCoreApplication::translate("varnel", "导出CSV"), {}, QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty()) ExportCsv(path);
}

void IoMapWindow::OnExportPdf()
{
    const QString path = QFileDialog::getSaveFileName(
        this, QCoreApplication::translate("varnel", "导出PDF"), {}, QStringLiteral("PDF (*.pdf)"));
    if (!path.isEmpty()) ExportPdf(path);
}

void IoMapWindow::OnExportJson()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QCoreApplication::translate("varnel", "导出JSON"), {},
                                     QStringLiteral("JSON (*.json)"));
    if (!path.isEmpty()) ExportJson(path);
}

void IoMapWindow::OnPrint()
{
    if (!map) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) PaintReportSheet(printer, *map, MakeSheetInfo(frame));
}

}  // namespace varnel
