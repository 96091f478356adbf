#pragma once
// The I/O map window (command 32777): a modeless window with a sortable
// table per port, the totals, and copy, CSV, PDF and print. It follows the
// document: the main frame tells it of every change.
#include <QWidget>
#include <array>
#include <optional>

#include "core/report/IoMap.h"

class QLabel;
class QTableWidget;

namespace varnel {

class CMainFrame;

class IoMapWindow : public QWidget {
    Q_OBJECT
public:
    // Shows the frame's window, making it on first use.
    static IoMapWindow* ShowFor(CMainFrame* frame);

    explicit IoMapWindow(CMainFrame* frame);

    // Recomputes the map from the document and refills the tables.
    void Refresh();

    // The map shown (nothing while the configuration does not compile).
    const std::optional<IoMap>& Map() const { return map; }

    // The buttons' work, without the file dialogs.
    void CopyToClipboard() const;
    bool ExportCsv(const QString& path);
    bool ExportPdf(const QString& path);
    bool ExportJson(const QString& path);

private:
    void OnExportCsv();
    void OnExportPdf();
    void OnExportJson();
    bool WriteText(const QString& path, const std::string& text);
    void OnPrint();
    void FillTable(QTableWidget* table, const IoMapPort& port);
    void ShowFailure(const Message& message);

    CMainFrame* frame;
    std::optional<IoMap> map;
    QLabel* summary;
    std::array<QLabel*, 2> portLabels{};
    std::array<QTableWidget*, 2> tables{};
};

}  // namespace varnel
