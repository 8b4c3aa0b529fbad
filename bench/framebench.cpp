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
#include "tests/support/viewer.h"

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

struct Options
{
    QSize windowSize;
    int rounds = 0;
    int gapMs = 0;
    int growth = 0;
    bool composited = false;
};

Options parseOptions(const QApplication &app)
{
    QCommandLineParser parser;
    parser.addOptions({ { "size", "Window size, WxH.", "size", "600x400" },
                        { "rounds", "Timed rounds of seven pairs.", "n", "30" },
                        { "gap", "Idle milliseconds before each timed frame.", "ms", "0" },
                        { "growth", "Commands of the growth run after the rounds.", "n", "0" },
                        { "composited", "The server composes windows: any placement will do." }
                      });
    parser.process(app);
    const QStringList size = parser.value("size").split(QLatin1Char('x'));
    Options options { QSize(size.value(0).toInt(), size.value(1).toInt()),
                      parser.value("rounds").toInt(), parser.value("gap").toInt(),
                      parser.value("growth").toInt(), parser.isSet("composited") };
    if (options.windowSize.isEmpty() || options.rounds < 1)
        parser.showHelp(2);
    return options;
}

// The real main window and, beside it, the bare window of its canvas's device size.
class Bench
{
public:
    explicit Bench(const Options &options);
    QJsonObject timeRounds();
    QJsonObject growth();

private:
    double timeCommand(QAction *action);

    const Options options;
    Torvane window;
    GLPanel *canvas = nullptr;
    QList<QAction *> actions;
    BareWindow bare;
    int canvasFrames = 0;
    int bareFrames = 0;
};

Bench::Bench(const Options &options) : options(options)
{
    window.resize(options.windowSize);
    window.move(0, 0);
    window.show();
    canvas = window.findChild<GLPanel *>(QStringLiteral("glcanvas"));
    // From ZoomIn round to Fit: each round returns to the fitted view, so rounds draw alike.
    for (std::size_t i = 1; i <= commands().size(); ++i) {
        const QString name = commands()[i % commands().size()].actionName();
        actions.append(window.findChild<QAction *>(name));
    }
    if (!canvas || actions.contains(nullptr) || !QTest::qWaitForWindowExposed(&window))
        qFatal("The main window lacks its canvas or an action, or never showed");

    // On Wayland Qt draws a window's decorations into every frame of its surface; the limit
    // has none to draw.
    bare.setFlag(Qt::FramelessWindowHint);
    bare.resize(canvas->size() * canvas->devicePixelRatioF() / bare.devicePixelRatio());
    bare.setPosition(window.frameGeometry().right() + 40, 0);
    bare.show();
    if (!QTest::qWaitForWindowExposed(&bare))
        qFatal("The bare window never showed");
    // A plain X server skips what is covered or off the screen, which would flatter whichever
    // window it is. Wayland and XWayland draw every window whole wherever it lies.
    const QRect screen = bare.screen()->geometry();
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !options.composited
        && (!screen.contains(window.frameGeometry()) || !screen.contains(bare.frameGeometry())
            || window.frameGeometry().intersects(bare.frameGeometry()))) {
        qFatal("The windows overlap or leave the screen; give the screen more room");
    }
    QObject::connect(canvas, &GLWidget::frameSwapped, [this] { ++canvasFrames; });
    QObject::connect(&bare, &BareWindow::frameSwapped, [this] { ++bareFrames; });
}

double Bench::timeCommand(QAction *action)
{
    return timeFrame([action] { action->trigger(); }, canvasFrames, [this] {
        canvas->makeCurrent();
        glFinish();
    });
}

QJsonObject Bench::timeRounds()
{
    QJsonArray commandUs;
    QJsonArray bareUs;
    const int warmUpRounds = 3;
    for (int round = -warmUpRounds; round < options.rounds; ++round) {
        if (round == 0)
            canvasFrames = bareFrames = 0;
        double command = 0.0;
        double reference = 0.0;
        for (QAction *action : actions) {
            // On Wayland a swap waits for the compositor's callback for the frame before; a
            // gap lets that come, so each side times its own frame and not the last one's.
            QTest::qWait(options.gapMs);
            command += timeCommand(action);
            QTest::qWait(options.gapMs);
            reference += timeFrame([this] { bare.requestFrame(); }, bareFrames,
                                   [this] { bare.finish(); });
        }
        if (round >= 0) {
            commandUs.append(command / actions.size());
            bareUs.append(reference / actions.size());
        }
    }
    // A second frame drawn for a command would come after its timed one.
    QTest::qWait(qMax(options.gapMs, 50));
    const double timedFrames = options.rounds * actions.size();
    const QSize canvasSize = canvas->size() * canvas->devicePixelRatioF();
    canvas->makeCurrent();
    const auto *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    return QJsonObject {
        { "qt", QString::fromLatin1(qVersion()) },
        { "renderer", QString::fromLatin1(renderer) },
        { "window", QJsonArray { options.windowSize.width(), options.windowSize.height() } },
        { "canvas", QJsonArray { canvasSize.width(), canvasSize.height() } },
        { "command_us", commandUs },
        { "bare_us", bareUs },
        { "frames_per_command", canvasFrames / timedFrames },
        { "frames_per_bare", bareFrames / timedFrames },
    };
}

// Whether a long session holds on to memory: commands, with a resize every hundred.
QJsonObject Bench::growth()
{
    const long before = residentKiB();
    for (int i = 0; i < options.growth; ++i) {
        timeCommand(actions[i % actions.size()]);
        if (i % 100 == 99) {
            window.resize(options.windowSize + QSize(i % 200 == 99 ? 40 : 0, 0));
            QCoreApplication::processEvents();
        }
    }
    const double grownKiB = residentKiB() - before;
    return QJsonObject { { "commands", options.growth }, { "kib", grownKiB } };
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const Options options = parseOptions(app);
    Bench bench(options);
    QJsonObject result = bench.timeRounds();
    if (options.growth > 0)
        result.insert("growth", bench.growth());
    std::fputs(QJsonDocument(result).toJson().constData(), stdout);
    return 0;
}
