// How long after a toolbar command does its new picture stand on the screen, against the
// least any OpenGL window of the canvas's size needs to draw the same triangle?
//
// Opens the real main window at the given size and, beside it, a bare window of the canvas's
// device size. Each round triggers the seven commands in turn, each followed by a frame of the
// bare window, and times both the same way: from the request to the swapped frame and
// glFinish(). Prints the rounds as JSON.

#include "sidebyside.h"

#include "tests/support/viewer.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QJsonDocument>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace {

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

Options parseOptions()
{
    QCommandLineParser parser;
    parser.addOptions({ { "gap", "Idle milliseconds before each timed frame.", "ms", "0" },
                        { "growth", "Commands of the growth run after the rounds.", "n", "0" },
                        { "composited", "The server composes windows: any placement will do." }
                      });
    Options options;
    processSizeAndRounds(parser, "Timed rounds of seven pairs.", options.windowSize,
                         options.rounds);
    options.gapMs = parser.value("gap").toInt();
    options.growth = parser.value("growth").toInt();
    options.composited = parser.isSet("composited");
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
    canvas = showSideBySide(window, bare, options.windowSize, options.composited);
    // From ZoomIn round to Fit: each round returns to the fitted view, so rounds draw alike.
    for (std::size_t i = 1; i <= commands().size(); ++i) {
        const QString name = commands()[i % commands().size()].actionName();
        actions.append(window.findChild<QAction *>(name));
    }
    if (actions.contains(nullptr))
        qFatal("The main window lacks an action");
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
    QJsonObject result = runFacts(canvas, options.windowSize);
    result.insert("command_us", commandUs);
    result.insert("bare_us", bareUs);
    result.insert("frames_per_command", canvasFrames / timedFrames);
    result.insert("frames_per_bare", bareFrames / timedFrames);
    return result;
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
    const Options options = parseOptions();
    Bench bench(options);
    QJsonObject result = bench.timeRounds();
    if (options.growth > 0)
        result.insert("growth", bench.growth());
    std::fputs(QJsonDocument(result).toJson().constData(), stdout);
    return 0;
}
