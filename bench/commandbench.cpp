// Command latency on the real main window: from a toolbar action's trigger to its finished
// frame, beside a bare repaint of the same canvas, which is as fast as a command can get.

#include "benchsupport.h"
#include "paintcounter.h"

#include "app/torvane.h"
#include "canvas/glpanel.h"

#include <QAction>
#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

// One round through these returns to the fitted view, so a long run never drifts into a view
// whose frames cost more or less than the usual ones.
const char *const cycleOrder[] = { "actionZoomIn", "actionZoomOut", "actionPanLeft",
                                   "actionPanRight", "actionPanDown", "actionPanUp",
                                   "actionFit" };

struct CommandTarget
{
    GLPanel *canvas = nullptr;
    PaintCounter *paints = nullptr;
    std::vector<QAction *> actions;
    QAction *fit = nullptr;
    QAction *zoomIn = nullptr;
};

// Every measurement starts from the fitted view with nothing pending.
void settle(const CommandTarget &w)
{
    QCoreApplication::processEvents();
    w.fit->trigger();
    finishRepaint(w.canvas);
    w.paints->reset();
}

void reportPaints(benchmark::State &state, int paints)
{
    state.counters["paints_per_op"] = benchmark::Counter(paints,
                                                         benchmark::Counter::kAvgIterations);
}

void benchRepaint(benchmark::State &state, const CommandTarget &w)
{
    settle(w);
    for (auto _ : state) {
        w.canvas->update();
        finishRepaint(w.canvas);
    }
    reportPaints(state, w.paints->count());
}

void benchCommandCycle(benchmark::State &state, const CommandTarget &w)
{
    settle(w);
    std::size_t next = 0;
    for (auto _ : state) {
        w.actions[next]->trigger();
        finishRepaint(w.canvas);
        next = (next + 1) % w.actions.size();
    }
    reportPaints(state, w.paints->count());
}

// One action at a time, each from the fitted view; Fit starts from a zoomed one instead, or
// it would have nothing to do.
void benchCommand(benchmark::State &state, const CommandTarget &w, QAction *action)
{
    settle(w);
    QAction *restore = action == w.fit ? w.zoomIn : w.fit;
    int paints = 0;
    for (auto _ : state) {
        state.PauseTiming();
        restore->trigger();
        finishRepaint(w.canvas);
        const int before = w.paints->count();
        state.ResumeTiming();

        action->trigger();
        finishRepaint(w.canvas);

        state.PauseTiming();
        paints += w.paints->count() - before;
        state.ResumeTiming();
    }
    reportPaints(state, paints);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (!takeBenchmarkArguments(&argc, argv))
        return 1;

    Torvane window;
    if (!showAndWait(&window))
        return 1;

    CommandTarget w;
    w.canvas = window.findChild<GLPanel *>(QStringLiteral("glcanvas"));
    if (!w.canvas) {
        qCritical("The main window has no canvas named glcanvas");
        return 1;
    }
    w.paints = new PaintCounter(w.canvas);
    for (const char *name : cycleOrder) {
        auto *action = window.findChild<QAction *>(QString::fromLatin1(name));
        if (!action) {
            qCritical("The main window has no action %s", name);
            return 1;
        }
        w.actions.push_back(action);
    }
    w.zoomIn = w.actions.front();
    w.fit = w.actions.back();


    // Frames vary a lot with whatever else the machine does, so the comparison rests on many
    // short repetitions in random order rather than on a few long ones; a fixed count also
    // spares each repetition Google Benchmark's search for one.
    const auto configure = [](benchmark::internal::Benchmark *b) {
        b->Iterations(200)->UseRealTime()->Unit(benchmark::kMicrosecond);
    };
    configure(benchmark::RegisterBenchmark("Repaint", benchRepaint, w));
    configure(benchmark::RegisterBenchmark("Command/cycle", benchCommandCycle, w));
    for (QAction *action : w.actions) {
        const std::string name = "Command/" + action->objectName().toStdString();
        configure(benchmark::RegisterBenchmark(name.c_str(), benchCommand, w, action));
    }

    return runBenchmarks(w.canvas);
}
