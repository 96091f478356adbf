#include "gui/report/ReportSheet.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <functional>
#include <vector>

#include "core/model/AtomicFile.h"
#include "core/model/MessageTable.h"
#include "core/report/IoMapFormat.h"
#include "core/view/DeviceScene.h"
#include "core/view/Selection.h"
#include "gui/ui/ScenePainter.h"

namespace varnel {

namespace {

// Shares of the page width of the table's columns, in ReportColumnTitles order.
constexpr double COLUMN_SHARES[] = {0.05, 0.27, 0.06, 0.06, 0.07, 0.09,
                                    0.06, 0.07, 0.07, 0.07, 0.06, 0.07};

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// A text of the core library, in English when `english`.
QString CoreText(const std::string& text, bool english)
{
    return Q(english ? EnglishText(text) : text);
}

QString Tr(const char* text)
{
    return QCoreApplication::translate("varnel", text);
}

QFont SheetFont(double points, bool bold = false)
{
    QFont font;
    // The CJK face carries both the Chinese texts and the Latin ones.
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// One block of the sheet: its height and how to paint it at a y position.
struct Block {
    int height = 0;
    std::function<void(QPainter&, int y)> paint;
};

class SheetBuilder {
public:
    SheetBuilder(QPagedPaintDevice& device) : device(device), width(device.width())
    {
        unit = device.logicalDpiY() / 72.0;
    }

    void Text(const QString& text, const QFont& font, bool wrap = false)
    {
        const QFontMetrics metrics(font, &device);
        const int h =
            wrap ? metrics.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, text).height()
                 : metrics.height();
        const int w = width;
        blocks.push_back({h + Pt(2), [=](QPainter& p, int y) {
                              p.setFont(font);
                              p.drawText(QRect(0, y, w, h), Qt::TextWordWrap, text);
                          }});
    }

    void Gap(double points)
    {
        blocks.push_back({Pt(points), [](QPainter&, int) {}});
    }

    void Row(const QStringList& cells, bool heading)
    {
        const QFont font = SheetFont(7.5, heading);
        const int h = QFontMetrics(font, &device).height() + Pt(3);
        const int w = width;
        blocks.push_back({h, [=, this](QPainter& p, int y) {
                              p.setFont(font);
                              if (heading) p.fillRect(QRect(0, y, w, h), QColor(225, 225, 225));
                              int x = 0;
                              for (int i = 0; i < cells.size(); ++i) {
                                  const int cw = static_cast<int>(COLUMN_SHARES[i] * w);
                                  p.drawText(QRect(x + Pt(1), y, cw - Pt(2), h),
                                             Qt::AlignVCenter | Qt::AlignLeft, cells[i]);
                                  x += cw;
                              }
                              p.setPen(QColor(160, 160, 160));
                              p.drawLine(0, y + h, w, y + h);
                              p.setPen(Qt::black);
                          }});
    }

    // The gateway picture fitted to the page width.
    void Picture(const IoMap& map, const QString& picturePath, bool english)
    {
        const CVarnelDoc& doc = map.compiled;
        const int right = std::max(420, (ShownUserSlots(doc) + 4) * 50 + 20);
        const QRect used(80, 30, right - 80, (doc.com2Enabled == 1 ? 510 : 310) - 30);
        const double scale = std::min(static_cast<double>(width) / used.width(),
                                      device.height() * 0.4 / used.height());
        auto scene =
            std::make_shared<Scene>(BuildScene(doc, NO_SELECTION));  // no tint, no detail box
        if (english)
            for (ScenePrimitive& item : scene->items) item.text = EnglishText(item.text);
        auto image = std::make_shared<QImage>(LoadModulePicture(picturePath));
        blocks.push_back({static_cast<int>(used.height() * scale), [=](QPainter& p, int y) {
                              p.save();
                              p.translate(0, y);
                              p.scale(scale, scale);
                              p.translate(-used.left(), -used.top());
                              ScenePainter().Paint(p, *scene, *image);
                              p.restore();
                          }});
    }

    // Lays the blocks out on pages and paints them with the page numbers.
    void Paint()
    {
        const QFont footFont = SheetFont(8);
        const int footer = QFontMetrics(footFont, &device).height() + Pt(6);
        const int usable = device.height() - footer;
        std::vector<std::vector<std::pair<const Block*, int>>> pages(1);
        int y = 0;
        for (const Block& block : blocks) {
            if (y > 0 && y + block.height > usable) {
                pages.emplace_back();
                y = 0;
            }
            pages.back().push_back({&block, y});
            y += block.height;
        }
        QPainter painter(&device);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (i > 0) device.newPage();
            for (const auto& [block, at] : pages[i]) block->paint(painter, at);
            painter.setFont(footFont);
            painter.drawText(
                QRect(0, device.height() - footer, width, footer),
                Qt::AlignHCenter | Qt::AlignBottom,
                Tr(QT_TRANSLATE_NOOP("varnel", "第 %1 页，共 %2 页")).arg(i + 1).arg(pages.size()));
        }
    }

    int Pt(double points) const { return static_cast<int>(points * unit); }

private:
    QPagedPaintDevice& device;
    int width;
    double unit = 1;
    std::vector<Block> blocks;
};

}  // namespace

QStringList ReportRowCells(Port port, const IoMapRow& row, bool english)
{
    const std::vector<std::string> cells = IoMapRowCells(port, row);
    QStringList out;
    for (std::size_t i = 1; i < cells.size(); ++i) out << CoreText(cells[i], english);
    out << QString::number(row.words);
    return out;
}

QStringList ReportSerialLines(const IoMapPort& port, bool english)
{
    QStringList lines;
    for (const std::string& line : port.serialLines) {
        const std::size_t label = line.find(": ");
        lines << (label == std::string::npos
                      ? CoreText(line, english)
                      : CoreText(line.substr(0, label + 1), english) + Q(line.substr(label + 1)));
    }
    return lines;
}

QStringList ReportColumnTitles()
{
    static const char* const titles[] = {
        QT_TRANSLATE_NOOP("varnel", "槽号"),     QT_TRANSLATE_NOOP("varnel", "命令"),
        QT_TRANSLATE_NOOP("varnel", "从站"),     QT_TRANSLATE_NOOP("varnel", "功能码"),
        QT_TRANSLATE_NOOP("varnel", "起始地址"), QT_TRANSLATE_NOOP("varnel", "参考地址"),
        QT_TRANSLATE_NOOP("varnel", "数量"),     QT_TRANSLATE_NOOP("varnel", "方向"),
        QT_TRANSLATE_NOOP("varnel", "首字节"),   QT_TRANSLATE_NOOP("varnel", "末字节"),
        QT_TRANSLATE_NOOP("varnel", "字节数"),   QT_TRANSLATE_NOOP("varnel", "字数")};
    QStringList out;
    for (const char* title : titles) out << Tr(title);
    return out;
}

void PaintReportSheet(QPagedPaintDevice& device, const IoMap& map, const SheetInfo& info)
{
    SheetBuilder sheet(device);
    const QFont body = SheetFont(9);
    sheet.Text(Tr(QT_TRANSLATE_NOOP("varnel", "设备模块信息报表")), SheetFont(15, true));
    sheet.Text(Tr(QT_TRANSLATE_NOOP("varnel", "项目文件: %1    日期: %2"))
                   .arg(info.projectName, info.date.toString(Qt::ISODate)),
               body);
    sheet.Text(Tr(QT_TRANSLATE_NOOP("varnel", "IP 地址: %1    槽数: %2"))
                   .arg(Q(map.deviceIp))
                   .arg(map.deviceSlotNum),
               body);
    char crc[8];
    std::snprintf(crc, sizeof crc, "%04x", map.crc);
    sheet.Text(Tr(QT_TRANSLATE_NOOP("varnel", "配置映像: %1 字节    CRC %2"))
                   .arg(map.image.size())
                   .arg(crc),
               body);
    sheet.Text(QStringLiteral("AllInLength: %1    AllOutLength: %2").arg(map.allIn).arg(map.allOut),
               body);
    sheet.Text(Q(PER_PORT_NOTE), SheetFont(8), true);
    sheet.Gap(4);
    sheet.Picture(map, info.modulePicturePath, info.english);
    for (const IoMapPort& port : map.ports) {
        sheet.Gap(6);
        sheet.Text(QStringLiteral("%1    InLength: %2    OutLength: %3")
                       .arg(PortName(port.port))
                       .arg(port.inLength)
                       .arg(port.outLength),
                   SheetFont(11, true));
        sheet.Text(ReportSerialLines(port, info.english).join(QStringLiteral("    ")), SheetFont(8),
                   true);
        sheet.Text(Q(PortHeaderNote(port)), SheetFont(8), true);
        sheet.Row(ReportColumnTitles(), true);
        for (const IoMapRow& row : port.rows)
            sheet.Row(ReportRowCells(port.port, row, info.english), false);
    }
    sheet.Paint();
}

Status WriteReportPdf(const QString& path, const IoMap& map, const SheetInfo& info)
{
    // Painted in memory, then written as every user file is (links followed,
    // mode kept, an unwritable file refused).
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(Tr(QT_TRANSLATE_NOOP("varnel", "设备模块信息报表")));
        writer.setCreator(QStringLiteral("Varnel"));
        PaintReportSheet(writer, map, info);
    }
    return WriteFileAtomically(
        path.toStdString(),
        std::string_view(pdf.data().constData(), static_cast<std::size_t>(pdf.data().size())));
}

}  // namespace varnel
