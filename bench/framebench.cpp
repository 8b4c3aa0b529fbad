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

struct Options
{
    QSize window;
    int rounds = 0;
    int warmUpRounds = 0;
    int gapMs = 0;
    int growthCommands = 0;
    bool composited = false;
};

bool parseOptions(const QApplication &app, Options &options)
{
    QCommandLineParser parser;
    parser.addOptions({ { "size", "Window size, WxH.", "size", "600x400" },
                        { "rounds", "Timed rounds of seven pairs.", "n", "20" },
                        { "warm-up", "Untimed rounds first.", "n", "3" },
                        { "gap", "Idle milliseconds before each timed frame.", "ms", "0" },
                        { "growth", "Commands of the growth run after the rounds.", "n",
                          "0" },
                        { "composited", "The server composes windows (XWayland): any "
                                        "placement will do." } });
    parser.process(app);
    const QStringList size = parser.value("size").split(QLatin1Char('x'));
    options.window = QSize(size.value(0).toInt(), size.value(1).toInt());
    options.rounds = parser.value("rounds").toInt();
    options.warmUpRounds = parser.value("warm-up").toInt();
    options.gapMs = parser.value("gap").toInt();
    options.growthCommands = parser.value("growth").toInt();
    options.composited = parser.isSet("composited");
    return !options.window.isEmpty() && options.rounds > 0;
}

// A window partly off the screen or covered is cheaper to draw on a plain X server, which
// would flatter whichever side it is. Where the server composes windows (Wayland, XWayland),
// every window is drawn whole wherever it lies, and Wayland clients cannot place windows.
bool fullyOnScreen(const QWindow *a, const QWindow *b)
{
    const QRect screen = a->screen()->geometry();
    return screen.contains(a->frameGeometry()) && screen.contains(b->frameGeometry())
            && !a->frameGeometry().intersects(b->frameGeometry());
}

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

long residentKiB()
{
    // Allocator pages freed but kept would hide or fake growth.
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
    Options options;
    if (!parseOptions(app, options)) {
        std::fputs("framebench: a window size WxH and at least one round, please\n", stderr);
        return 2;
    }

    Torvane window;
    window.resize(options.window);
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
    bare.resize(canvasSize / bare.devicePixelRatio());
    bare.setPosition(window.frameGeometry().right() + 40, 0);
    bare.show();
    if (!QTest::qWaitForWindowExposed(&bare))
        qFatal("The bare window never showed");
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !options.composited
        && !fullyOnScreen(window.windowHandle(), &bare))
        qFatal("The windows overlap or leave the screen; give the screen more room");

    int canvasFrames = 0;
    int bareFrames = 0;
    QObject::connect(canvas, &GLWidget::frameSwapped, [&canvasFrames] { ++canvasFrames; });
    QObject::connect(&bare, &BareWindow::frameSwapped, [&bareFrames] { ++bareFrames; });
    const auto finishCanvas = [canvas] {
        canvas->makeCurrent();
        glFinish();
    };
    const auto finishBare = [&bare] { bare.finish(); };

    QJsonArray commandUs;
    QJsonArray bareUs;
    for (int round = -options.warmUpRounds; round < options.rounds; ++round) {
        if (round == 0) {
            canvasFrames = 0;
            bareFrames = 0;
        }
        double command = 0.0;
        double reference = 0.0;
        for (QAction *action : actions) {
            // On Wayland a swap waits for the compositor's callback for the frame before; a
            // gap lets that come, so each side times its own frame and not the last one's.
            QTest::qWait(options.gapMs);
            command += timeFrame([action] { action->trigger(); }, canvasFrames, finishCanvas);
            QTest::qWait(options.gapMs);
            reference += timeFrame([&bare] { bare.requestFrame(); }, bareFrames, finishBare);
        }
        if (round >= 0) {
            commandUs.append(command / actions.size());
            bareUs.append(reference / actions.size());
        }
    }
    // A second frame drawn for a command would come after its timed one.
    QTest::qWait(qMax(options.gapMs, 50));
    const double timedFrames = options.rounds * actions.size();

    canvas->makeCurrent();
    QJsonObject result {
        { "qt", QString::fromLatin1(qVersion()) },
        { "platform", QGuiApplication::platformName() },
        { "renderer",
          QString::fromLatin1(reinterpret_cast<const char *>(glGetString(GL_RENDERER))) },
        { "window", QJsonArray { options.window.width(), options.window.height() } },
        { "canvas", QJsonArray { canvasSize.width(), canvasSize.height() } },
        { "command_us", commandUs },
        { "bare_us", bareUs },
        { "frames_per_command", canvasFrames / timedFrames },
        { "frames_per_bare", bareFrames / timedFrames },
    };

    // Whether a long session holds on to memory: commands, with a resize every hundred.
    if (options.growthCommands > 0) {
        const long before = residentKiB();
        for (int i = 0; i < options.growthCommands; ++i) {
            timeFrame([&] { actions[i % actions.size()]->trigger(); }, canvasFrames,
                      finishCanvas);
            if (i % 100 == 99) {
                window.resize(options.window + QSize(i % 200 == 99 ? 40 : 0, 0));
                QCoreApplication::processEvents();
            }
        }
        result.insert("growth", QJsonObject { { "commands", options.growthCommands },
                                              { "kib", static_cast<double>(residentKiB() - before) } });
    }
    std::fputs(QJsonDocument(result).toJson().constData(), stdout);
    return 0;
}
