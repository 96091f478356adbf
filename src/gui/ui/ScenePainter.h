#pragma once
// Paints the gateway picture's primitives onto any paint device: the screen,
// a printer, a print preview page or an image.
#include <QFont>
#include <QImage>
#include <array>

#include "core/view/DeviceScene.h"

class QPainter;

namespace varnel {

class ScenePainter {
public:
    // Prepares the four fonts once; needs a running application.
    ScenePainter();

    // Paints `scene` in picture units with the painter's current transform.
    // `picture` (already 48 x 196) fills every Picture rectangle; a null
    // image leaves them empty.
    void Paint(QPainter& painter, const Scene& scene, const QImage& picture) const;
    // The same for the primitives whose bounds meet `within` (the caller
    // clips to it): a part of the picture painted exactly as in a whole one.
    void Paint(QPainter& painter, const Scene& scene, const QImage& picture,
               const QRect& within) const;

    // A rectangle that holds everything the primitive paints (generous for
    // texts, which are not measured).
    static QRect Bounds(const ScenePrimitive& primitive);

    // The font the picture asks for, mapped to an installed face with the
    // requested cell height and average character width.
    static QFont MakeFont(SceneFont font);

    const QFont& Font(SceneFont font) const { return fonts[static_cast<std::size_t>(font)]; }

private:
    void PaintItems(QPainter& painter, const Scene& scene, const QImage& picture,
                    const QRect* within) const;

    std::array<QFont, 4> fonts;
    std::array<int, 4> ascents{};
};

// The module picture file, loaded and scaled to 48 x 196; null when missing.
QImage LoadModulePicture(const QString& path);

}  // namespace varnel
