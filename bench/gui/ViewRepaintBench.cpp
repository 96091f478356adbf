// One full offscreen repaint of the device view with two 54-slot racks, every
// slot occupied and one selected, measured against its parts: building the
// scene alone, and painting a ready scene into an image without the widget.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "core/modbus/ModbusMaster.h"
#include "core/view/DeviceScene.h"
#include "gui/ui/CVarnelView.h"
#include "gui/ui/ScenePainter.h"

using namespace varnel;

namespace {

// The selection the benchmarks draw: user slot 27 of COM2.
constexpr int SELECTED = 1030;

CVarnelDoc& FullDocument()
{
    static CVarnelDoc doc = [] {
        CVarnelDoc d;
        d.OnNewDocument();
        d.appFolder = VARNEL_DATA_DIR;
        d.deviceSlotNum = 54;
        for (Port port : {Port::COM1, Port::COM2}) {
            SetupPort(d, port);
            for (int i = 0; i < 54; ++i)
                PlaceModule(d, {port, UserSlotIndex(i + 1)},
                            i % 2 ? "读4区 03H" : "写4区 10H 写多字", 0,
                            static_cast<std::uint16_t>(1 + i % 100), static_cast<std::uint8_t>(i));
        }
        return d;
    }();
    return doc;
}

void BM_BuildScene(benchmark::State& state)
{
    const CVarnelDoc& doc = FullDocument();
    for (auto _ : state) {
        Scene scene = BuildScene(doc, SELECTED);
        benchmark::DoNotOptimize(scene.items.data());
    }
    state.counters["primitives"] = static_cast<double>(BuildScene(doc, SELECTED).items.size());
}
BENCHMARK(BM_BuildScene)->Unit(benchmark::kMicrosecond);

void BM_PaintSceneIntoImage(benchmark::State& state)
{
    const Scene scene = BuildScene(FullDocument(), SELECTED);
    const ScenePainter painter;
    const QImage picture =
        LoadModulePicture(QString::fromStdString(FullDocument().ModulePicturePath()));
    QImage image(SCENE_WIDTH, SCENE_HEIGHT, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        painter.Paint(p, scene, picture);
    }
}
BENCHMARK(BM_PaintSceneIntoImage)->Unit(benchmark::kMillisecond);

void BM_ViewRepaint(benchmark::State& state)
{
    SlotSelection selection{SELECTED};
    CVarnelView view(FullDocument(), selection);
    view.resize(SCENE_WIDTH + 40, SCENE_HEIGHT + 40);
    // Shown, so the viewport is laid out to the whole picture before measuring.
    view.show();
    QApplication::processEvents();
    QWidget* viewport = view.viewport();
    QImage image(viewport->size(), QImage::Format_RGB32);
    if (viewport->width() < SCENE_WIDTH || viewport->height() < SCENE_HEIGHT)
        state.SkipWithError("the viewport does not cover the picture");
    for (auto _ : state) {
        viewport->render(&image);
        benchmark::ClobberMemory();
    }
    state.counters["width"] = viewport->width();
    state.counters["height"] = viewport->height();
}
BENCHMARK(BM_ViewRepaint)->Unit(benchmark::kMillisecond);

// The same repaint when something has changed since the last one: `change`
// 0 moves the selection to another slot (the kept picture still serves),
// 1 changes a module's length (the picture is painted anew).
void BM_ViewRepaintAfterChange(benchmark::State& state)
{
    CVarnelDoc& doc = FullDocument();
    SlotSelection selection{SELECTED};
    CVarnelView view(doc, selection);
    view.resize(SCENE_WIDTH + 40, SCENE_HEIGHT + 40);
    view.show();
    QApplication::processEvents();
    QWidget* viewport = view.viewport();
    QImage image(viewport->size(), QImage::Format_RGB32);
    int round = 0;
    for (auto _ : state) {
        ++round;
        if (state.range(0) == 0)
            selection.code = 4 + round % 50;
        else
            doc.Slot(Port::COM1, 10).module.inputLen = 1 + round % 2;
        viewport->render(&image);
        benchmark::ClobberMemory();
    }
    state.SetLabel(state.range(0) == 0 ? "selection moved" : "document changed");
}
BENCHMARK(BM_ViewRepaintAfterChange)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
