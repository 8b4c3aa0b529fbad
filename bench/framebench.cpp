// How long after a toolbar command does its new picture stand on the screen, against the
// least any OpenGL window of the canvas's size needs to draw the same triangle?
//
// Opens the real main window at the given size and, beside it, a bare window of the canvas's
// device size. Each round triggers the seven commands in turn, each followed by a frame of the
// bare window, and times both the same way: from the request to the swapped frame and
// glFinish(). Prints the rounds as JSON.

#include "barewindow.h"

#include "app/torvane.h"
#include "canvas/glpanel.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QTest>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>

namespace {

// One round through these returns to the fitted view, so rounds draw alike.
const char *const actionNames[] = { "actionZoomIn", "actionZoomOut", "actionPanLeft",
                                    "actionPanRight", "actionPanDown", "actionPanUp",
                                    "actionFit" };

// Runs the event loop until one more frame has been swapped, then waits for GL to finish it:
// the frame is on the screen. Returns the microseconds from the request.
double timeFrame(const std::function<void()> &request, const int &frames,
                 const std::function<void()> &finish)
{
    QElapsedTimer clock;
    clock.start();
    const int before = frames;
    request();
    while (frames == before) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (clock.elapsed() > 10000)
            qFatal("No frame came within 10 s");
    }
    finish();
    return clock.nsecsElapsed() / 1e3;
}

// Once the allocator has handed back the pages it keeps but no longer uses, which would
// otherwise hide or fake growth.
long residentKiB()
{
    malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({ { "size", "Window size, WxH.", "size", "600x400" },
                        { "rounds", "Timed rounds of seven pairs.", "n", "30" },
                        { "gap", "Idle milliseconds before each timed frame.", "ms", "0" },
                        { "growth", "Commands of the growth run after the rounds.", "n", "0" },
                        { "composited", "The server composes windows: any placement will do." }
                      });
    parser.process(app);
    const QStringList size = parser.value("size").split(QLatin1Char('x'));
    const QSize windowSize(size.value(0).toInt(), size.value(1).toInt());
    const int rounds = parser.value("rounds").toInt();
    const int gapMs = parser.value("gap").toInt();
    if (windowSize.isEmpty() || rounds < 1)
        parser.showHelp(2);

    Torvane window;
    window.resize(windowSize);
    window.move(0, 0);
    window.show();
    auto *canvas = window.findChild<GLPanel *>(QStringLiteral("glcanvas"));
    QList<QAction *> actions;
    for (const char *name : actionNames)
        actions.append(window.findChild<QAction *>(QString::fromLatin1(name)));
    if (!canvas || actions.contains(nullptr) || !QTest::qWaitForWindowExposed(&window))
        qFatal("The main window lacks its canvas or an action, or never showed");

    const QSize canvasSize = canvas->size() * canvas->devicePixelRatioF();
    BareWindow bare;
    // On Wayland Qt draws a window's decorations into every frame of its surface; the limit
    // has none to draw.
    bare.setFlag(Qt::FramelessWindowHint);
    bare.resize(canvasSize / bare.devicePixelRatio());
    bare.setPosition(window.frameGeometry().right() + 40, 0);
    bare.show();
    if (!QTest::qWaitForWindowExposed(&bare))
        qFatal("The bare window never showed");
    // A plain X server skips what is covered or off the screen, which would flatter whichever
    // window it is. Wayland and XWayland draw every window whole wherever it lies.
    const QRect screen = bare.screen()->geometry();
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !parser.isSet("composited")
        && (!screen.contains(window.frameGeometry()) || !screen.contains(bare.frameGeometry())
            || window.frameGeometry().intersects(bare.frameGeometry()))) {
        qFatal("The windows overlap or leave the screen; give the screen more room");
    }

    int canvasFrames = 0;
    int bareFrames = 0;
    QObject::connect(canvas, &GLWidget::frameSwapped, [&canvasFrames] { ++canvasFrames; });
    QObject::connect(&bare, &BareWindow::frameSwapped, [&bareFrames] { ++bareFrames; });
    const auto finishCanvas = [canvas] {
        canvas->makeCurrent();
        glFinish();
    };

    QJsonArray commandUs;
    QJsonArray bareUs;
    const int warmUpRounds = 3;
    for (int round = -warmUpRounds; round < rounds; ++round) {
        if (round == 0)
            canvasFrames = bareFrames = 0;
        double command = 0.0;
        double reference = 0.0;
        for (QAction *action : actions) {
            // On Wayland a swap waits for the compositor's callback for the frame before; a
            // gap lets that come, so each side times its own frame and not the last one's.
            QTest::qWait(gapMs);
            command += timeFrame([action] { action->trigger(); }, canvasFrames, finishCanvas);
            QTest::qWait(gapMs);
            reference += timeFrame([&bare] { bare.requestFrame(); }, bareFrames,
                                   [&bare] { bare.finish(); });
        }
        if (round >= 0) {
            commandUs.append(command / actions.size());
            bareUs.append(reference / actions.size());
        }
    }
    // A second frame drawn for a command would come after its timed one.
    QTest::qWait(qMax(gapMs, 50));
    const double timedFrames = rounds * actions.size();

    canvas->makeCurrent();
    QJsonObject result {
        { "qt", QString::fromLatin1(qVersion()) },
        { "renderer",
          QString::fromLatin1(reinterpret_cast<const char *>(glGetString(GL_RENDERER))) },
        { "window", QJsonArray { windowSize.width(), windowSize.height() } },
        { "canvas", QJsonArray { canvasSize.width(), canvasSize.height() } },
        { "command_us", commandUs },
        { "bare_us", bareUs },
        { "frames_per_command", canvasFrames / timedFrames },
        { "frames_per_bare", bareFrames / timedFrames },
    };

    // Whether a long session holds on to memory: commands, with a resize every hundred.
    if (const int commands = parser.value("growth").toInt()) {
        const long before = residentKiB();
        for (int i = 0; i < commands; ++i) {
            timeFrame([&] { actions[i % actions.size()]->trigger(); }, canvasFrames,
                      finishCanvas);
            if (i % 100 == 99) {
                window.resize(windowSize + QSize(i % 200 == 99 ? 40 : 0, 0));
                QCoreApplication::processEvents();
            }
        }
        const double grownKiB = residentKiB() - before;
        result.insert("growth", QJsonObject { { "commands", commands }, { "kib", grownKiB } });
    }
    std::fputs(QJsonDocument(result).toJson().constData(), stdout);
    return 0;
}
