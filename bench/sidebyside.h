#ifndef SIDEBYSIDE_H
#define SIDEBYSIDE_H

#include "barewindow.h"

#include "app/torvane.h"
#include "canvas/glpanel.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QScreen>
#include <QTest>

#include <functional>

// What the benchmarks that time the canvas's frames against the bare window's share.

// Adds the options that every benchmark here takes, the window's size and the number of timed
// rounds, to the parser's own, and processes the command line. A size or count that cannot be
// ends the program with its usage and status 2.
inline void processSizeAndRounds(QCommandLineParser &parser, const QString &roundsHelp,
                                 QSize &size, int &rounds)
{
    parser.addOptions({ { "size", "Window size, WxH.", "size", "600x400" },
                        { "rounds", roundsHelp, "n", "30" } });
    parser.process(*QCoreApplication::instance());
    const QStringList widthAndHeight = parser.value("size").split(QLatin1Char('x'));
    size = QSize(widthAndHeight.value(0).toInt(), widthAndHeight.value(1).toInt());
    rounds = parser.value("rounds").toInt();
    if (size.isEmpty() || rounds < 1)
        parser.showHelp(2);
}

// Runs the event loop until one more frame has been swapped, then waits for GL to finish it:
// the frame is on the screen. Returns the microseconds from the request.
inline double timeFrame(const std::function<void()> &request, const int &frames,
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

// Shows the real main window at the given size and, beside it, the bare window of its canvas's
// device size. Returns the canvas.
inline GLPanel *showSideBySide(Torvane &window, BareWindow &bare, const QSize &size,
                               bool composited)
{
    window.resize(size);
    window.move(0, 0);
    window.show();
    auto *canvas = window.findChild<GLPanel *>(QStringLiteral("glcanvas"));
    if (!canvas || !QTest::qWaitForWindowExposed(&window))
        qFatal("The main window lacks its canvas, or never showed");

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
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !composited
        && (!screen.contains(window.frameGeometry()) || !screen.contains(bare.frameGeometry())
            || window.frameGeometry().intersects(bare.frameGeometry()))) {
        qFatal("The windows overlap or leave the screen; give the screen more room");
    }
    return canvas;
}

// What a run was measured on, which the report groups and labels its figures by.
inline QJsonObject runFacts(GLPanel *canvas, const QSize &windowSize)
{
    const QSize canvasSize = canvas->size() * canvas->devicePixelRatioF();
    canvas->makeCurrent();
    const auto *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    return QJsonObject {
        { "qt", QString::fromLatin1(qVersion()) },
        { "renderer", QString::fromLatin1(renderer) },
        { "window", QJsonArray { windowSize.width(), windowSize.height() } },
        { "canvas", QJsonArray { canvasSize.width(), canvasSize.height() } },
    };
}

#endif // SIDEBYSIDE_H
