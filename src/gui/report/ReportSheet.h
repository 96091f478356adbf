#pragma once
// The commissioning sheet: the I/O map on A4 pages with the gateway picture,
// the serial parameters, the address, the image size and CRC, the project's
// name and the date, and page numbers. Painted onto a PDF file or a printer;
// needs a running GUI application (fonts).
#include <QDate>
#include <QString>
#include <QStringList>

#include "core/report/IoMap.h"
#include "core/util/Result.h"

class QPagedPaintDevice;

namespace varnel {

struct SheetInfo {
    QString projectName;        // the project file's name, or the default name
    QDate date;                 // the date printed on the sheet
    QString modulePicturePath;  // the module picture drawn in occupied slots
};

// Column titles of the map's tables (window and sheet), one per cell of
// IoMapCells after the port, then the words column.
const QStringList& ReportColumnTitles();

// The texts of one row under those titles.
QStringList ReportRowCells(Port port, const IoMapRow& row);

// Paints the sheet onto `device`, starting a new page where one is full.
void PaintReportSheet(QPagedPaintDevice& device, const IoMap& map, const SheetInfo& info);

// Writes the sheet as an A4 PDF to `path`, replacing the file only when the
// whole document was written.
Status WriteReportPdf(const QString& path, const IoMap& map, const SheetInfo& info);

}  // namespace varnel
