#include "gui/ui/CVarnelView.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMap>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>
#include <algorithm>
#include <array>

#include "core/model/MessageTable.h"
#include "core/view/DeviceScene.h"
#include "core/view/HitTest.h"
#include "core/view/UserParamsText.h"
#include "core/view/ViewCommands.h"
#include "gui/app/Language.h"
#include "gui/modbus/CComPrmMaster.h"
#include "gui/modbus/CDeviceTreeDlg.h"
#include "gui/ui/CPrmHexEditDlg.h"
#include "gui/ui/MessageBox.h"
#include "gui/ui/ScenePainter.h"

namespace varnel {

namespace {
// What the selection adds to the picture: the tint and the detail box.
bool ShowsSelection(const ScenePrimitive& p)
{
    return p.kind == ScenePrimitive::Kind::TintRect ||
           (p.kind == ScenePrimitive::Kind::Text && p.font == SceneFont::Detail);
}
}  // namespace

CVarnelView::CVarnelView(CVarnelDoc& doc, SlotSelection& selection, QWidget* parent)
    : QAbstractScrollArea(parent),
      doc(doc),
      selection(selection),
      painter(std::make_unique<ScenePainter>()),
      deleteAction(new QAction(QCoreApplication::translate("varnel", "删除"), this)),
      deletePopup(new QMenu(this)),
      editMenu(new QMenu(QCoreApplication::translate("varnel", "编辑"), this))
{
    setObjectName("CVarnelView");
    viewport()->setBackgroundRole(QPalette::Base);
    // paintEvent covers every exposed pixel itself.
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);

    deleteAction->setData(32780);
    deleteAction->setStatusTip(QCoreApplication::translate("varnel", "删除"));
    deleteAction->setToolTip(QCoreApplication::translate("varnel", "删除"));
    connect(deleteAction, &QAction::triggered, this, &CVarnelView::OnDelete);
    deletePopup->setObjectName("deletePopup");
    deletePopup->addAction(deleteAction);

    // The keyboard context menu: cut, copy and paste, which nothing handles.
    editMenu->setObjectName("editMenu");
    struct Item {
        const char* text;
        int id;
    };
    for (const Item& item : {Item{QT_TRANSLATE_NOOP("varnel", "剪切(&T)\tCtrl+X"), 57635},
                             Item{QT_TRANSLATE_NOOP("varnel", "复制(&C)\tCtrl+C"), 57634},
                             Item{QT_TRANSLATE_NOOP("varnel", "粘贴(&P)\tCtrl+V"), 57637}}) {
        QAction* action = editMenu->addAction(QCoreApplication::translate("varnel", item.text));
        action->setData(item.id);
        action->setEnabled(false);
    }
    UpdateScrollBars();
}

CVarnelView::~CVarnelView() = default;

QPoint CVarnelView::ScrollOffset() const
{
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

QPoint CVarnelView::Logical(const QPoint& viewportPoint) const
{
    return viewportPoint + ScrollOffset();
}

const QImage& CVarnelView::ModulePicture()
{
    const QString path = ToQ(doc.ModulePicturePath());
    if (!pictureLoaded || path != picturePath) {
        picture = LoadModulePicture(path);
        picturePath = path;
        pictureLoaded = true;
    }
    return picture;
}

Scene CVarnelView::ShownScene() const
{
    Scene scene = BuildScene(doc, selection.code);
    if (EnglishShown())
        for (ScenePrimitive& p : scene.items) p.text = EnglishText(p.text);
    return scene;
}

void CVarnelView::Render(QPainter& p)
{
    painter->Paint(p, ShownScene(), ModulePicture());
}

QRect CVarnelView::UsedRect() const
{
    const int rackRight = (ShownUserSlots(doc) + 4) * 50;
    return QRect(0, 0, std::max(800, rackRight + 100), SCENE_HEIGHT);
}

void CVarnelView::UpdateScrollBars()
{
    // The scroll range covers the whole picture, the lower rack and the
    // detail box included.
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, SCENE_WIDTH - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(std::max(1, view.width() / 10));
    verticalScrollBar()->setRange(0, std::max(0, SCENE_HEIGHT - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(std::max(1, view.height() / 10));
}

const QImage& CVarnelView::Unselected(const Scene& scene, std::vector<QRect>& selection)
{
    const QImage& pictureImage = ModulePicture();
    const qreal ratio = viewport()->devicePixelRatioF();
    const QColor background = viewport()->palette().color(QPalette::Base);
    bool same = unselected.devicePixelRatio() == ratio &&
                unselectedPictureKey == pictureImage.cacheKey() &&
                unselectedBackground == background;
    std::size_t k = 0;
    Scene rest;
    for (const ScenePrimitive& p : scene.items) {
        if (ShowsSelection(p)) {
            selection.push_back(ScenePainter::Bounds(p));
            continue;
        }
        same = same && k < unselectedItems.size() && p == unselectedItems[k];
        ++k;
    }
    if (same && k == unselectedItems.size() && !unselected.isNull()) return unselected;
    rest.items.reserve(k);
    for (const ScenePrimitive& p : scene.items)
        if (!ShowsSelection(p)) rest.items.push_back(p);
    unselected = QImage(QSize(SCENE_WIDTH, SCENE_HEIGHT) * ratio, QImage::Format_RGB32);
    unselected.setDevicePixelRatio(ratio);
    unselected.fill(background);
    QPainter p(&unselected);
    painter->Paint(p, rest, pictureImage);
    p.end();
    unselectedItems = std::move(rest.items);
    unselectedPictureKey = pictureImage.cacheKey();
    unselectedBackground = background;
    return unselected;
}

void CVarnelView::paintEvent(QPaintEvent* event)
{
    // The picture without the selection comes from the kept image; only the
    // exposed part is copied. Where the selection draws, that part is painted
    // afresh from every primitive that reaches into it, so the pixels equal a
    // whole repaint.
    const Scene scene = ShownScene();
    std::vector<QRect> tinted;  // where the selection draws
    const QImage& base = Unselected(scene, tinted);
    const QPoint offset = ScrollOffset();
    const QColor background = viewport()->palette().color(QPalette::Base);
    const QRect picture(QPoint(0, 0), QSize(SCENE_WIDTH, SCENE_HEIGHT));
    QPainter p(viewport());
    const qreal ratio = base.devicePixelRatio();
    for (const QRect& exposed : event->region()) {
        const QRect logical = exposed.translated(offset);
        const QRect inside = logical & picture;
        if (inside != logical) {
            p.setClipRegion(QRegion(logical).subtracted(inside).translated(-offset));
            p.fillRect(exposed, background);
            p.setClipping(false);
        }
        if (!inside.isEmpty())
            p.drawImage(QRectF(inside.translated(-offset)), base,
                        QRectF(QPointF(inside.topLeft()) * ratio, QSizeF(inside.size()) * ratio));
    }
    p.translate(-offset);
    for (const QRect& area : tinted) {
        const QRegion part = event->region().translated(offset) & area;
        if (part.isEmpty()) continue;
        p.setClipRegion(part);
        p.fillRect(area, background);
        painter->Paint(p, scene, ModulePicture(), area);
    }
}

void CVarnelView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CVarnelView::scrollContentsBy(int dx, int dy)
{
    // The picture moves as it is; only the uncovered strips are painted.
    viewport()->scroll(dx, dy);
}

void CVarnelView::SelectAt(const QPoint& viewportPoint)
{
    const QPoint p = Logical(viewportPoint);
    selection.code = HitTest(doc, p.x(), p.y());
    viewport()->update();
}

void CVarnelView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) SelectAt(event->position().toPoint());
    QAbstractScrollArea::mousePressEvent(event);
}

void CVarnelView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::RightButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    SelectAt(event->position().toPoint());
    const auto target = SelectionToSlot(selection.code);
    if (target && OffersDelete(doc, *target))
        deletePopup->exec(viewport()->mapToGlobal(event->position().toPoint()));
}

void CVarnelView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) EditAt(Logical(event->position().toPoint()));
}

void CVarnelView::contextMenuEvent(QContextMenuEvent* event)
{
    // The mouse's right button has its own popup; only the keyboard's menu
    // request shows the edit menu.
    if (event->reason() == QContextMenuEvent::Keyboard) ShowSelectionMenu();
}

QRect CVarnelView::SelectionRect() const
{
    const auto target = SelectionToSlot(selection.code);
    if (!target) return {};
    const int top = target->port == Port::COM1 ? 100 : 300;
    if (target->IsHead() || target->index < FIRST_USER_INDEX) return QRect(100, top, 100, 200);
    return QRect((target->index + 1) * 50, top, 50, 200);
}

void CVarnelView::ScrollToSelection()
{
    const QRect r = SelectionRect();
    if (r.isNull()) return;
    const QSize view = viewport()->size();
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    if (r.left() < h->value())
        h->setValue(r.left());
    else if (r.right() >= h->value() + view.width())
        h->setValue(r.right() + 1 - view.width());
    if (r.top() < v->value())
        v->setValue(r.top());
    else if (r.bottom() >= v->value() + view.height())
        v->setValue(r.bottom() + 1 - view.height());
}

void CVarnelView::EditSelected()
{
    const QRect r = SelectionRect();
    if (!r.isNull()) EditAt(r.center());
}

void CVarnelView::ShowSelectionMenu()
{
    const QRect r = SelectionRect();
    const QPoint at =
        viewport()->mapToGlobal(r.isNull() ? QPoint(0, 0) : r.center() - ScrollOffset());
    const auto target = SelectionToSlot(selection.code);
    if (target && OffersDelete(doc, *target))
        deletePopup->exec(at);
    else
        editMenu->exec(at);
}

void CVarnelView::keyPressEvent(QKeyEvent* event)
{
    static const QMap<int, Step> arrows{{Qt::Key_Left, Step::Left},
                                        {Qt::Key_Right, Step::Right},
                                        {Qt::Key_Up, Step::Up},
                                        {Qt::Key_Down, Step::Down}};
    const int key = event->key();
    if (arrows.contains(key) && event->modifiers() == Qt::NoModifier) {
        selection.code = StepSelection(doc, selection.code, arrows.value(key));
        ScrollToSelection();
        viewport()->update();
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        EditSelected();
    } else if (key == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        const auto target = SelectionToSlot(selection.code);
        if (target && OffersDelete(doc, *target)) OnDelete();
    } else if (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        ShowSelectionMenu();
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void CVarnelView::OnDelete()
{
    if (const auto target = SelectionToSlot(selection.code)) DeleteSelected(doc, *target);
    viewport()->update();
    emit documentChanged(QCoreApplication::translate("varnel", "删除"));
}

void CVarnelView::EditAt(const QPoint& p)
{
    const EditTarget target = DoubleClickTarget(doc, p.x(), p.y());
    QString changed;
    switch (target.kind) {
        case EditTarget::Kind::SerialParams: {
            Bytes& prm = doc.Slot(target.port, target.index).module.modulePrm;
            std::array<std::uint8_t, 5> comPrm{};
            std::copy_n(prm.begin(), comPrm.size(), comPrm.begin());
            CComPrmMaster dialog(comPrm, this);
            if (dialog.exec() == QDialog::Accepted) {
                std::copy(dialog.ComPrm().begin(), dialog.ComPrm().end(), prm.begin());
                changed = QCoreApplication::translate("varnel", "串口参数");
            }
            break;
        }
        case EditTarget::Kind::Command:
            if (CDeviceTreeDlg::EditCommand(this, doc, {target.port, target.index}))
                changed = QCoreApplication::translate("varnel", "修改命令");
            break;
        case EditTarget::Kind::UserParams: {
            Bytes& prm = doc.Slot(target.port, target.index).module.modulePrm;
            const int count = static_cast<int>(prm.size());
            CPrmHexEditDlg dialog(ToQ(FormatUserParams(prm)), count, this);
            if (dialog.exec() == QDialog::Accepted) {
                prm = ParseUserParams(dialog.HexText().toStdString(), count);
                changed = QCoreApplication::translate("varnel", "用户参数修改");
            }
            break;
        }
        case EditTarget::Kind::None: break;
    }
    // A confirmed edit is a change to save like any other.
    if (!changed.isEmpty()) {
        doc.modified = true;
        emit documentChanged(changed);
    }
    if (target.repaint) viewport()->update();
}

void CVarnelView::PrintTo(QPrinter* printer)
{
    QPainter p(printer);
    const QRect page = p.viewport();
    const QRect used = UsedRect();
    const double scale = std::min(static_cast<double>(page.width()) / used.width(),
                                  static_cast<double>(page.height()) / used.height());
    p.scale(scale, scale);
    Render(p);
}

void CVarnelView::OnFilePrint()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) PrintTo(&printer);
}

void CVarnelView::OnFilePrintPreview()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, &CVarnelView::PrintTo);
    dialog.exec();
}

}  // namespace varnel
