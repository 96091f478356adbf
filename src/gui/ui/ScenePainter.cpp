#include "gui/ui/ScenePainter.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace varnel {

namespace {
QColor ToQColor(SceneColor c)
{
    return QColor(c.r, c.g, c.b);
}

// Faces to use where the named one is not installed; the CJK face comes last
// so Chinese text always finds its glyphs.
QStringList Families(std::string_view face)
{
    const QString named = QString::fromUtf8(face.data(), static_cast<qsizetype>(face.size()));
    const QString similar =
        face == "Times" ? QStringLiteral("Liberation Serif") : QStringLiteral("Liberation Sans");
    return {named, similar, QStringLiteral("WenQuanYi Micro Hei")};
}
}  // namespace

QFont ScenePainter::MakeFont(SceneFont which)
{
    const SceneFontRequest& wanted = RequestedFont(which);
    QFont font;
    font.setFamilies(Families(wanted.face));
    font.setWeight(wanted.weight >= 700 ? QFont::Bold : QFont::Normal);
    // The small condensed texts (ranges, "MS #", slot labels) are only a few
    // pixels wide per character: smoothed they stay readable, the others are
    // drawn crisp.
    font.setStyleStrategy(which == SceneFont::Small ? QFont::PreferAntialias : QFont::NoAntialias);
    // A heavy face stands in for a missing "... Black" face by its weight.
    if (wanted.face.ends_with("Black") &&
        QFontInfo(font).family() !=
            QString::fromUtf8(wanted.face.data(), static_cast<qsizetype>(wanted.face.size())))
        font.setWeight(QFont::Black);
    // The height asked for is the whole character cell.
    font.setPixelSize(wanted.height);
    const qreal cell = QFontMetricsF(font).height();
    if (cell > 0)
        font.setPixelSize(
            std::max(1, static_cast<int>(std::lround(wanted.height * wanted.height / cell))));
    const qreal average = QFontMetricsF(font).averageCharWidth();
    if (average > 0)
        font.setStretch(
            std::clamp(static_cast<int>(std::lround(100.0 * wanted.width / average)), 1, 4000));
    return font;
}

ScenePainter::ScenePainter()
{
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        fonts[i] = MakeFont(static_cast<SceneFont>(i));
        ascents[i] = QFontMetrics(fonts[i]).ascent();
    }
}

void ScenePainter::Paint(QPainter& painter, const Scene& scene, const QImage& picture) const
{
    PaintItems(painter, scene, picture, nullptr);
}

void ScenePainter::Paint(QPainter& painter, const Scene& scene, const QImage& picture,
                         const QRect& within) const
{
    PaintItems(painter, scene, picture, &within);
}

QRect ScenePainter::Bounds(const ScenePrimitive& p)
{
    switch (p.kind) {
        case ScenePrimitive::Kind::Text: {
            // No glyph is wider than its cell is high; a UTF-8 byte count is
            // never below the character count.
            const int height = RequestedFont(p.font).height;
            return QRect(p.at.x - 4, p.at.y - 4, static_cast<int>(p.text.size()) * height + 8,
                         height + 8);
        }
        case ScenePrimitive::Kind::Polyline: {
            QRect box;
            for (const ScenePoint& point : p.points) box |= QRect(point.x, point.y, 1, 1);
            return box.adjusted(-p.penWidth - 1, -p.penWidth - 1, p.penWidth + 1, p.penWidth + 1);
        }
        default: return QRect(p.rect.left, p.rect.top, p.rect.width, p.rect.height);
    }
}

void ScenePainter::PaintItems(QPainter& painter, const Scene& scene, const QImage& picture,
                              const QRect* within) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
    const bool rasterOps =
        painter.paintEngine() && painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    std::size_t currentFont = fonts.size();
    bool textPen = false;
    for (const ScenePrimitive& p : scene.items) {
        if (within != nullptr && !Bounds(p).intersects(*within)) continue;
        switch (p.kind) {
            case ScenePrimitive::Kind::Text: {
                const auto f = static_cast<std::size_t>(p.font);
                // Runs of texts share a font and the pen: set them on change only.
                if (f != currentFont) {
                    painter.setFont(fonts[f]);
                    currentFont = f;
                }
                if (!textPen) {
                    painter.setPen(Qt::black);
                    textPen = true;
                }
                painter.drawText(QPoint(p.at.x, p.at.y + ascents[f]),
                                 QString::fromStdString(p.text));
                break;
            }
            case ScenePrimitive::Kind::Polyline: {
                QPolygon polygon;
                for (const ScenePoint& point : p.points) polygon << QPoint(point.x, point.y);
                textPen = false;
                painter.setPen(QPen(ToQColor(p.color), p.penWidth, Qt::SolidLine, Qt::SquareCap,
                                    Qt::MiterJoin));
                painter.drawPolyline(polygon);
                break;
            }
            case ScenePrimitive::Kind::FillRect:
                painter.fillRect(QRect(p.rect.left, p.rect.top, p.rect.width, p.rect.height),
                                 ToQColor(p.color));
                break;
            case ScenePrimitive::Kind::Picture:
                if (!picture.isNull())
                    painter.drawImage(QRect(p.rect.left, p.rect.top, p.rect.width, p.rect.height),
                                      picture);
                break;
            case ScenePrimitive::Kind::TintRect: {
                // A bitwise AND keeps what lies beneath visible; devices without
                // raster operations (printers) get the nearest blend.
                painter.save();
                painter.setCompositionMode(rasterOps ? QPainter::RasterOp_SourceAndDestination
                                                     : QPainter::CompositionMode_Multiply);
                painter.fillRect(QRect(p.rect.left, p.rect.top, p.rect.width, p.rect.height),
                                 ToQColor(p.color));
                painter.restore();
                break;
            }
        }
    }
    painter.restore();
}

QImage LoadModulePicture(const QString& path)
{
    QImage image(path);
    if (image.isNull()) return image;
    return image.scaled(48, 196, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

}  // namespace varnel
