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
    bool english = false;       // the core library's texts in English (the English interface)
};

// Column titles of the map's tables (window and sheet), one per cell of
// IoMapCells after the port, then the words column; translated when a
// translation is installed.
QStringList ReportColumnTitles();

// The texts of one row under those titles, with the core library's names in
// English when `english`.
QStringList ReportRowCells(Port port, const IoMapRow& row, bool english = false);

// The serial parameters of a port, one "label: setting" per entry, with the
// labels in English when `english` (the settings are the gateway's own words).
QStringList ReportSerialLines(const IoMapPort& port, bool english = false);

// Paints the sheet onto `device`, starting a new page where one is full.
void PaintReportSheet(QPagedPaintDevice& device, const IoMap& map, const SheetInfo& info);

// Writes the sheet as an A4 PDF to `path`, replacing the file only when the
// whole document was written.
Status WriteReportPdf(const QString& path, const IoMap& map, const SheetInfo& info);

}  // namespace varnel
