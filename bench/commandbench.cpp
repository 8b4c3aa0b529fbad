// Command latency on the real main window: from a toolbar action's trigger to its finished
// frame, each beside a bare repaint of the same canvas, which is as fast as a command can get.

#include "benchsupport.h"
#include "paintcounter.h"

#include "app/torvane.h"
#include "canvas/glpanel.h"

#include <QAction>
#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>

#include <ctime>
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

double secondsOn(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Wall-clock and GUI-thread CPU seconds, and frames drawn, summed over the iterations.
struct Cost
{
    double wall = 0.0;
    double cpu = 0.0;
    int paints = 0;
};

template<typename Work>
double addCost(Cost &cost, const CommandTarget &w, Work work)
{
    const int paintsBefore = w.paints->count();
    const double wallBefore = secondsOn(CLOCK_MONOTONIC);
    const double cpuBefore = secondsOn(CLOCK_THREAD_CPUTIME_ID);
    work();
    const double wall = secondsOn(CLOCK_MONOTONIC) - wallBefore;
    cost.cpu += secondsOn(CLOCK_THREAD_CPUTIME_ID) - cpuBefore;
    cost.wall += wall;
    cost.paints += w.paints->count() - paintsBefore;
    return wall;
}

void reportCosts(benchmark::State &state, const Cost &command, const Cost &repaint)
{
    const auto perIteration = [](double value) {
        return benchmark::Counter(value, benchmark::Counter::kAvgIterations);
    };
    state.counters["cpu_us"] = perIteration(1e6 * command.cpu);
    state.counters["paints_per_op"] = perIteration(command.paints);
    state.counters["repaint_us"] = perIteration(1e6 * repaint.wall);
    state.counters["repaint_cpu_us"] = perIteration(1e6 * repaint.cpu);
    state.counters["repaint_paints_per_op"] = perIteration(repaint.paints);
}

// Each iteration times a command and then a bare repaint of the frame it produced, which is
// as fast as that command could be. Timing the two side by side gives every repetition its
// own reference under the same load, so their ratio is steady even on a busy machine, and the
// reference draws the very same picture: a zoom that fills more pixels is not charged for it.
// With a restore action, every command starts from the view that action leaves, outside the
// timed part; without one the commands follow each other.
void benchCommands(benchmark::State &state, const CommandTarget &w,
                   const std::vector<QAction *> &commands, QAction *restore)
{
    settle(w);
    Cost command;
    Cost repaint;
    std::size_t next = 0;
    for (auto _ : state) {
        if (restore) {
            restore->trigger();
            finishRepaint(w.canvas);
        }
        QAction *action = commands[next];
        next = (next + 1) % commands.size();
        state.SetIterationTime(addCost(command, w, [&] {
            action->trigger();
            finishRepaint(w.canvas);
        }));
        addCost(repaint, w, [&] {
            w.canvas->update();
            finishRepaint(w.canvas);
        });
    }
    reportCosts(state, command, repaint);
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
        b->Iterations(50)->UseManualTime()->Unit(benchmark::kMicrosecond);
    };
    configure(benchmark::RegisterBenchmark("Command/cycle", benchCommands, w, w.actions,
                                           nullptr));
    // Fit starts from a zoomed view, or it would have nothing to do.
    for (QAction *action : w.actions) {
        const std::string name = "Command/" + action->objectName().toStdString();
        configure(benchmark::RegisterBenchmark(name.c_str(), benchCommands, w,
                                               std::vector<QAction *> { action },
                                               action == w.fit ? w.zoomIn : w.fit));
    }

    return runBenchmarks(w.canvas);
}
