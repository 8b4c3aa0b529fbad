// How drawing scales with the model: GLPanel's first paint (list compile), later paints (list
// replay), resizes (bounding box, refit and repaint) and memory per vertex, each beside
// ImmediatePanel, which sends the whole model to GL on every paint.

#include "benchsupport.h"
#include "immediatepanel.h"

#include "canvas/glpanel.h"
#include "model/objectmodel.h"

#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <type_traits>
#include <vector>

namespace {

const int triangleCounts[] = { 100, 1000, 10000, 100000, 1000000 };
const QSize canvasSize(600, 400);
const QSize resizedCanvasSize(560, 380);

struct ModelData
{
    std::vector<Point2d> vertices;
    std::vector<Color3d> colors;
};

// Generating a million triangles takes longer than drawing them, so each model is made once.
const ModelData &modelData(int triangleCount)
{
    static std::map<int, ModelData> cache;
    ModelData &data = cache[triangleCount];
    if (data.vertices.empty())
        makeRandomTriangles(triangleCount, data.vertices, data.colors);
    return data;
}

ObjectModel *newModel(int triangleCount)
{
    const ModelData &data = modelData(triangleCount);
    return new ObjectModel(data.vertices, data.colors);
}

// Works the same for both canvases: they share the part of their interface that matters here.
// Neither canvas refits its view to a new model before the next resize, so every model is
// fitted here: the view left from the previous model could show only a corner of this one,
// and a frame that clips most triangles away costs far less than a frame that shows them.
template<typename Canvas>
void setFittedModel(Canvas *canvas, ObjectModel *model)
{
    canvas->setModel(model);
    canvas->resize(canvasSize);
    canvas->fitView();
}

template<typename Canvas>
void showModel(Canvas *canvas, ObjectModel *model)
{
    setFittedModel(canvas, model);
    finishRepaint(canvas);
}

template<typename Canvas>
void benchFirstPaint(benchmark::State &state, Canvas *canvas, int triangleCount)
{
    showModel(canvas, new ObjectModel);
    for (auto _ : state) {
        // The program's first paint has no big list to release first, so neither has ours.
        state.PauseTiming();
        showModel(canvas, new ObjectModel);
        setFittedModel(canvas, newModel(triangleCount));
        state.ResumeTiming();
        finishRepaint(canvas);
    }
    showModel(canvas, new ObjectModel);
}

template<typename Canvas>
void benchRepaint(benchmark::State &state, Canvas *canvas, int triangleCount)
{
    showModel(canvas, newModel(triangleCount));
    for (auto _ : state) {
        canvas->update();
        finishRepaint(canvas);
    }
    showModel(canvas, new ObjectModel);
}

template<typename Canvas>
void benchResize(benchmark::State &state, Canvas *canvas, int triangleCount)
{
    showModel(canvas, newModel(triangleCount));
    bool toggle = false;
    for (auto _ : state) {
        toggle = !toggle;
        canvas->resize(toggle ? resizedCanvasSize : canvasSize);
        finishRepaint(canvas);
    }
    showModel(canvas, new ObjectModel);
}

// The resident growth from holding and drawing the model, over its vertex count. The first
// paint is included because that is when GLPanel builds its list.
template<typename Canvas>
void benchMemory(benchmark::State &state, Canvas *canvas, int triangleCount)
{
    // The source lists stay in the cache; make them before the first reading, not between.
    modelData(triangleCount);
    showModel(canvas, new ObjectModel);
    releaseFreeMemory();
    const long before = residentKiB();
    for (auto _ : state)
        showModel(canvas, newModel(triangleCount));
    releaseFreeMemory();
    const long after = residentKiB();
    state.counters["bytes_per_vertex"] = 1024.0 * (after - before) / (3.0 * triangleCount);
    showModel(canvas, new ObjectModel);
}

template<typename Canvas>
void registerTimed(const std::string &prefix, Canvas *canvas, int triangleCount)
{
    const std::string suffix = "/" + std::to_string(triangleCount);
    // llvmpipe needs most of a second for a frame of a million triangles; a few are enough.
    const auto configure = [triangleCount](benchmark::internal::Benchmark *b) {
        b->UseRealTime()->Unit(benchmark::kMillisecond);
        if (triangleCount >= 1000000)
            b->Iterations(2);
    };
    if constexpr (std::is_same_v<Canvas, GLPanel>) {
        configure(benchmark::RegisterBenchmark((prefix + "/FirstPaint" + suffix).c_str(),
                                               benchFirstPaint<Canvas>, canvas,
                                               triangleCount));
    }
    configure(benchmark::RegisterBenchmark((prefix + "/Repaint" + suffix).c_str(),
                                           benchRepaint<Canvas>, canvas, triangleCount));
    configure(benchmark::RegisterBenchmark((prefix + "/Resize" + suffix).c_str(),
                                           benchResize<Canvas>, canvas, triangleCount));
    benchmark::RegisterBenchmark((prefix + "/Memory" + suffix).c_str(), benchMemory<Canvas>,
                                 canvas, triangleCount)
            ->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (!takeBenchmarkArguments(&argc, argv))
        return 1;

    // The canvases are children of a plain window without a layout, so a resize reaches them
    // at once instead of waiting for the window system.
    QWidget host;
    host.resize(2 * canvasSize.width() + 30, canvasSize.height() + 20);
    auto *listCanvas = new GLPanel(&host);
    listCanvas->setGeometry(QRect(QPoint(10, 10), canvasSize));
    auto *immediateCanvas = new ImmediatePanel(&host);
    immediateCanvas->setGeometry(QRect(QPoint(canvasSize.width() + 20, 10), canvasSize));
    if (!showAndWait(&host))
        return 1;

    for (int count : triangleCounts) {
        registerTimed("List", listCanvas, count);
        registerTimed("Immediate", immediateCanvas, count);
    }

    return runBenchmarks(listCanvas);
}
