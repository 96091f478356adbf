#pragma once
// The scrolling picture of the gateway. It keeps no copy of the configuration:
// every paint builds the scene from the document. The mouse selects, offers
// delete and opens the editors; print and print preview paint the same scene.
#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <QString>
#include <memory>

#include "core/model/CVarnelDoc.h"
#include "core/view/DeviceScene.h"
#include "gui/ui/SlotSelection.h"

class QAction;
class QMenu;
class QPrinter;

namespace varnel {

class ScenePainter;

class CVarnelView : public QAbstractScrollArea {
    Q_OBJECT
public:
    CVarnelView(CVarnelDoc& doc, SlotSelection& selection, QWidget* parent = nullptr);
    ~CVarnelView() override;

    // The picture point under a viewport point: the scroll position added.
    QPoint Logical(const QPoint& viewportPoint) const;
    QPoint ScrollOffset() const;

    // Paints the whole picture with `painter` in picture units.
    void Render(QPainter& painter);
    // The part of the picture in use, for fitting it on a page.
    QRect UsedRect() const;

    // Print (with the print dialog) and print preview.
    void OnFilePrint();
    void OnFilePrintPreview();
    void PrintTo(QPrinter* printer);

    // The delete command (32780), offered by the right-button popup.
    void OnDelete();

    // The module picture as drawn (loaded once, null when the file is missing).
    const QImage& ModulePicture();

    // The keyboard's Enter: the editor a double-click on the selection opens.
    void EditSelected();
    // The popup for the selection ("删除" where a right click offers it, else
    // the edit menu), at the selection.
    void ShowSelectionMenu();
    // Scrolls so that the selected head or slot is in sight.
    void ScrollToSelection();

signals:
    // The document's modules changed, `change` naming what was done (the
    // frame refreshes its title and records the change for undo).
    void documentChanged(const QString& change = QString());

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The picture without the selection (tint and detail box), painted once
    // and kept while the document draws the same.
    const QImage& Unselected(const Scene& scene, std::vector<QRect>& selection);
    // The picture of the document, its words in the program's language.
    Scene ShownScene() const;

    void UpdateScrollBars();
    void SelectAt(const QPoint& viewportPoint);
    void EditAt(const QPoint& logical);
    // The picture rectangle of the selected head or column; null for none.
    QRect SelectionRect() const;

    CVarnelDoc& doc;
    SlotSelection& selection;
    std::unique_ptr<ScenePainter> painter;
    QImage picture;
    QString picturePath;
    bool pictureLoaded = false;
    QImage unselected;
    std::vector<ScenePrimitive> unselectedItems;
    qint64 unselectedPictureKey = 0;
    QColor unselectedBackground;
    QAction* deleteAction;
    QMenu* deletePopup;
    QMenu* editMenu;
};

}  // namespace varnel
