// When I drag or spin the wheel as fast as I can, does the picture keep up, without piling up
// frames?
//
// Opens the real main window at the given size and, beside it, a bare window of the canvas's
// device size. Each round sends the canvas a drag of a thousand moves, then a thousand wheel
// steps, each burst without a pass of the event loop, faster than any hand. Each burst must
// draw one frame, the one that shows its last event, and that frame must stand on the screen
// within one bare frame and a millisecond of the last event: timed from it to the swapped frame
// and glFinish(), followed by one frame of the bare window timed as in bench_frames. Prints
// the rounds as JSON.

#include "sidebyside.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QJsonDocument>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QtMath>

#include <cmath>
#include <cstdio>

namespace {

constexpr int burstEvents = 1000;
// Longer than weston's 60 Hz repaint cycle.
constexpr int idleMs = 50;

struct Options
{
    QSize windowSize;
    int rounds = 0;
};

Options parseOptions()
{
    QCommandLineParser parser;
    Options options;
    processSizeAndRounds(parser, "Timed rounds of a drag and a wheel burst.",
                         options.windowSize, options.rounds);
    return options;
}

class Bench
{
public:
    explicit Bench(const Options &options);
    QJsonObject timeRounds();

private:
    void timeBurst(const std::function<void(int)> &send, QJsonObject &record);
    void drag(int i);
    void spin(int i);
    void sendMouse(QEvent::Type type, const QPointF &at, Qt::MouseButton button,
                   Qt::MouseButtons buttons);

    const Options options;
    Torvane window;
    GLPanel *canvas = nullptr;
    BareWindow bare;
    int canvasFrames = 0;
    int bareFrames = 0;
};

Bench::Bench(const Options &options) : options(options)
{
    canvas = showSideBySide(window, bare, options.windowSize, false);
    QObject::connect(canvas, &GLWidget::frameSwapped, [this] { ++canvasFrames; });
    QObject::connect(&bare, &BareWindow::frameSwapped, [this] { ++bareFrames; });
}

void Bench::sendMouse(QEvent::Type type, const QPointF &at, Qt::MouseButton button,
                      Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, canvas->mapToGlobal(QPoint()) + at, button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &event);
}

// Ten turns of a circle of 40 pixels, from the pressed point back to it, so that every round
// starts from the same view and every move shifts it.
void Bench::drag(int i)
{
    const auto on = [this](int step) {
        const double angle = 2.0 * M_PI * 10.0 * step / burstEvents;
        return QPointF(canvas->width() / 2.0 + 40.0 * std::cos(angle),
                       canvas->height() / 2.0 + 40.0 * std::sin(angle));
    };
    if (i == 0)
        sendMouse(QEvent::MouseButtonPress, on(0), Qt::LeftButton, Qt::LeftButton);
    sendMouse(QEvent::MouseMove, on(i + 1), Qt::NoButton, Qt::LeftButton);
    if (i == burstEvents - 1)
        sendMouse(QEvent::MouseButtonRelease, on(i + 1), Qt::LeftButton, Qt::NoButton);
}

// Runs of ten steps in, then ten out, about a point off the centre: the view stays within a
// factor of three of the fitted one.
void Bench::spin(int i)
{
    const QPointF at(canvas->width() / 3.0, canvas->height() / 3.0);
    const QPoint angle(0, (i / 10) % 2 == 0 ? 120 : -120);
    QWheelEvent event(at, canvas->mapToGlobal(QPoint()) + at, QPoint(), angle, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(canvas, &event);
}

// Sends all but the last event, then times the last one to its frame on the screen, and a bare
// frame after it. Both sides start from the same idle event loop: on Wayland a swap waits for
// the compositor's callback for the frame before, and after an idle spell llvmpipe's threads
// first have to wake. A second frame of the burst would come within that spell, and counts.
void Bench::timeBurst(const std::function<void(int)> &send, QJsonObject &record)
{
    QTest::qWait(idleMs);
    const int before = canvasFrames;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < burstEvents - 1; ++i)
        send(i);
    const double sendUs = clock.nsecsElapsed() / 1e3;
    const double latency = timeFrame([&] { send(burstEvents - 1); }, canvasFrames, [this] {
        canvas->makeCurrent();
        glFinish();
    });
    QTest::qWait(idleMs);
    const int frames = canvasFrames - before;
    const double reference = timeFrame([this] { bare.requestFrame(); }, bareFrames,
                                       [this] { bare.finish(); });
    const auto append = [&record](const char *key, double value) {
        QJsonArray values = record.value(QLatin1String(key)).toArray();
        values.append(value);
        record.insert(QLatin1String(key), values);
    };
    append("send_us", sendUs);
    append("latency_us", latency);
    append("frames", frames);
    append("bare_us", reference);
}

QJsonObject Bench::timeRounds()
{
    QJsonObject drags;
    QJsonObject spins;
    const int warmUpRounds = 3;
    for (int round = -warmUpRounds; round < options.rounds; ++round) {
        if (round == 0)
            drags = spins = QJsonObject();
        timeBurst([this](int i) { drag(i); }, drags);
        timeBurst([this](int i) { spin(i); }, spins);
    }
    QJsonObject result = runFacts(canvas, options.windowSize);
    result.insert("events", burstEvents);
    result.insert("drag", drags);
    result.insert("wheel", spins);
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Bench bench(parseOptions());
    std::fputs(QJsonDocument(bench.timeRounds()).toJson().constData(), stdout);
    return 0;
}
