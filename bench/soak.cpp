// Soak: a long session of commands and resizes on the real main window, watching whether the
// resident size keeps growing. Prints what it saw as JSON on standard output.

#include "benchsupport.h"
#include "paintcounter.h"

#include "app/torvane.h"
#include "canvas/glpanel.h"

#include <QAction>
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int commandCount = 100000;
constexpr int resizeCount = 1000;
constexpr int commandsPerResize = commandCount / resizeCount;
constexpr int commandsPerSample = 5000;
// Enough to fill the caches and pools that Qt, Mesa and the allocator grow on first use.
constexpr int warmUpCommands = 2000;

const char *const actionNames[] = { "actionZoomIn", "actionZoomOut", "actionPanLeft",
                                    "actionPanRight", "actionPanDown", "actionPanUp",
                                    "actionFit" };
const QSize windowSizes[] = { QSize(600, 400), QSize(680, 460) };

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Torvane window;
    window.resize(windowSizes[0]);
    if (!showAndWait(&window))
        return 1;
    auto *canvas = window.findChild<GLPanel *>(QStringLiteral("glcanvas"));
    std::vector<QAction *> actions;
    for (const char *name : actionNames)
        actions.push_back(window.findChild<QAction *>(QString::fromLatin1(name)));
    if (!canvas || std::count(actions.cbegin(), actions.cend(), nullptr) > 0) {
        qCritical("The main window lacks its canvas or one of its actions");
        return 1;
    }
    auto *paints = new PaintCounter(canvas);

    int resizes = 0;
    int resizesSeen = 0;
    // Each sample reads the resident size twice: as it is, and after the allocator has handed
    // back what it keeps but does not use, which is what a leak would show up in.
    QJsonArray samples;
    const auto sample = [&samples](int commandsDone) {
        const long raw = residentKiB();
        releaseFreeMemory();
        samples.append(QJsonArray { commandsDone, static_cast<double>(raw),
                                    static_cast<double>(residentKiB()) });
    };
    const auto step = [&](int index) {
        actions[index % actions.size()]->trigger();
        finishRepaint(canvas);
        if ((index + 1) % commandsPerResize == 0) {
            const QSize canvasBefore = canvas->size();
            window.resize(windowSizes[++resizes % 2]);
            QCoreApplication::processEvents();
            finishRepaint(canvas);
            if (canvas->size() != canvasBefore)
                ++resizesSeen;
        }
    };

    for (int i = 0; i < warmUpCommands; ++i)
        step(i);
    resizes = 0;
    resizesSeen = 0;
    paints->reset();
    sample(0);
    for (int i = 0; i < commandCount; ++i) {
        step(i);
        if ((i + 1) % commandsPerSample == 0)
            sample(i + 1);
    }

    const QJsonObject result {
        { "commands", commandCount },
        { "resizes", resizes },
        { "resizes_seen", resizesSeen },
        { "paints", paints->count() },
        { "warm_up_commands", warmUpCommands },
        { "samples", samples },
    };
    std::fputs(QJsonDocument(result).toJson().constData(), stdout);
    return 0;
}
