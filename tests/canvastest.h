#ifndef CANVASTEST_H
#define CANVASTEST_H

#include "canvas/glpanel.h"
#include "canvas/viewarithmetic.h"
#include "tests/support/viewer.h"

#include <QNativeGestureEvent>
#include <QProcess>
#include <QScreen>
#include <QStringList>
#include <QWheelEvent>
#include <QtTest>

#include <functional>
#include <memory>

// Opens the GL callbacks to the tests, which drive them with sizes a window could not take.
class TestPanel : public GLPanel
{
public:
    using GLPanel::GLPanel;
    using GLPanel::paintGL;
    using GLPanel::resizeGL;

    // Asks for a frame as Qt itself does, and waits until it has reached the screen.
    void drawFrame();
    // Draws a frame and returns the canvas as the user then sees it.
    QImage grabFrame();
};

// Keeps a picture that failed a check for a look; returns where.
inline QString savedForALook(const QImage &image)
{
    QString name = QStringLiteral("zentrile-%1-%2.png")
                           .arg(QTest::currentTestFunction(), QTest::currentDataTag());
    const QString file = QDir::temp().filePath(name.replace(' ', '_'));
    image.save(file);
    return file;
}

// Once frames stop reaching the screen, or the compositor stops showing windows, every later
// case would only wait out its own timeouts: the test ends at once, failing, so that the suite
// reports a stopped display within seconds.
#define DISPLAY_STOPPED(what)                                                                \
    qFatal("%s; the display has stopped, so no later case can pass", what)

// What weston shows on its output, through the screenshot it takes for clients when it runs
// with --debug. Wayland gives a client no other way to see what the compositor made of its
// surfaces, and QWidget::grab() cannot see a native child window at all.
inline QImage compositorPicture()
{
    QTemporaryDir folder;
    QProcess shooter;
    shooter.setWorkingDirectory(folder.path());
    shooter.start(QStringLiteral("weston-screenshooter"), QStringList());
    if (!shooter.waitForFinished(10000) || shooter.exitStatus() != QProcess::NormalExit
        || shooter.exitCode() != 0) {
        qWarning("weston-screenshooter failed: %s", shooter.readAllStandardError().constData());
        return QImage();
    }
    const QFileInfoList shots = QDir(folder.path()).entryInfoList({ "*.png" }, QDir::Files);
    return shots.isEmpty() ? QImage() : QImage(shots.first().filePath());
}

// Where the key colour begins in the picture, at its top and its left; (-1, -1) if nowhere.
inline QPoint keyOrigin(const QImage &screen, QRgb key)
{
    int left = screen.width();
    int top = screen.height();
    for (int y = 0; y < screen.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(screen.constScanLine(y));
        const auto *found = std::find(line, line + screen.width(), key);
        if (found != line + screen.width()) {
            left = std::min<int>(left, found - line);
            top = std::min(top, y);
        }
    }
    return top < screen.height() ? QPoint(left, top) : QPoint(-1, -1);
}

// The widget's part of the compositor's picture, where its window's key colour starts at
// origin. From a little before where the widget should start, where the key colour ends
// towards its middle: the window's edges may cover or blend a row or column of it.
inline QImage cutOut(const QImage &screen, const QPoint &origin, QWidget *widget, QRgb key)
{
    const qreal ratio = widget->window()->devicePixelRatioF();
    const QPoint middle = origin + (QPointF(widget->geometry().center()) * ratio).toPoint();
    const QPoint before = origin + (QPointF(widget->pos() - QPoint(3, 3)) * ratio).toPoint();
    const auto edge = [&](QPoint p, const QPoint &step, int steps) {
        for (bool inKey = false; steps-- > 0; p += step) {
            if (screen.pixel(p) == key)
                inKey = true;
            else if (inKey)
                break;
        }
        return p;
    };
    const int x = edge(QPoint(before.x(), middle.y()), QPoint(1, 0), middle.x() - before.x()).x();
    const int y = edge(QPoint(middle.x(), before.y()), QPoint(0, 1), middle.y() - before.y()).y();
    return screen.copy(QRect(QPoint(x, y), (QSizeF(widget->size()) * ratio).toSize()));
}

// The widget as the compositor shows it, found by its parent, which must fill its own
// rectangle around it with a key colour that no picture of the object holds.
inline QImage compositedPicture(QWidget *widget)
{
    const QRgb key = widget->parentWidget()->palette().color(QPalette::Window).rgb();
    // A window appears on the output a moment after its first frame.
    QElapsedTimer clock;
    clock.start();
    QImage screen;
    do {
        screen = compositorPicture().convertToFormat(QImage::Format_RGB32);
        const QPoint origin = keyOrigin(screen, key);
        if (origin.y() >= 0)
            return cutOut(screen, origin, widget, key);
        // Qt's Wayland plugin from 6.9 on can leave a window's frame unseen: in the one drawn
        // right after a client resizes its window, the compositor keeps showing the new
        // buffer as it was before Qt drew into it, black. Only drawing again brings the key
        // back. The canvas is left out, so that it still has to show its own frames.
        QWidget *keyed = widget->parentWidget();
        keyed->update(QRegion(keyed->rect()) - widget->geometry());
        QTest::qWait(20);
    } while (clock.elapsed() < 5000);
    qWarning("The output in %s", qPrintable(savedForALook(screen)));
    DISPLAY_STOPPED("The compositor does not show the window");
}

// The widget as it is on screen. X11 hands out the pixels it shows, native child windows
// included; Wayland keeps them to the compositor.
inline QImage shownPicture(QWidget *widget)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return compositedPicture(widget);
    QWidget *window = widget->window();
    // A native canvas (Qt 5's) is taken as the server placed it: Qt 5 rounds each step of
    // its position at fractional scales, which can put it a few pixels off the sum.
    if (widget->internalWinId()) {
        return window->screen()->grabWindow(widget->internalWinId()).toImage()
                .convertToFormat(QImage::Format_RGB32);
    }
    // Rounded the way Qt places native windows at fractional scales.
    const qreal ratio = window->devicePixelRatioF();
    const QSize size = (QSizeF(widget->size()) * ratio).toSize();
    const QImage whole = window->screen()->grabWindow(window->winId()).toImage();
    const QPoint at = (QPointF(widget->mapTo(window, QPoint())) * ratio).toPoint();
    return whole.copy(QRect(at, size)).convertToFormat(QImage::Format_RGB32);
}

// Border of a stage around its canvas, in logical pixels: whole device pixels at the scales
// the suite runs at.
constexpr int stageMargin = 8;

// Fills the widget with a key colour around its children, by which shownPicture finds them on
// Wayland.
inline void fillWithKey(QWidget *widget, const QColor &key = Qt::magenta)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, key);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// A window that holds the canvas inside a border of its key colour. Owned by the test; the
// canvas is owned by it.
inline std::unique_ptr<QWidget> makeStage(QWidget *canvas, const QColor &key = Qt::magenta)
{
    auto stage = std::make_unique<QWidget>();
    fillWithKey(stage.get(), key);
    canvas->setParent(stage.get());
    canvas->move(stageMargin, stageMargin);
    return stage;
}

// Room in the key colour right of and below what a stage holds. weston now and then places a
// window a little past the output's edge (a dozen pixels, where seen); with this room the
// canvas still lies on the output, where the compositor's picture shows it.
constexpr int stageRoom = 40;

// Gives the canvas that size, and its stage the room for all it holds and the border.
inline void resizeOnStage(QWidget *canvas, const QSize &size)
{
    canvas->resize(size);
    QWidget *stage = canvas->parentWidget();
    const QRect held = stage->childrenRect();
    stage->resize(QSize(held.right(), held.bottom()) + QSize(stageMargin + 1, stageMargin + 1)
                  + QSize(stageRoom, stageRoom));
}

inline void TestPanel::drawFrame()
{
    QSignalSpy swapped(this, &GLWidget::frameSwapped);
    static_cast<QWidget *>(this)->update();
    if (!swapped.wait(10000))
        DISPLAY_STOPPED("No frame reached the screen");
}

inline QImage TestPanel::grabFrame()
{
    drawFrame();
    return shownPicture(this);
}

// Lets the frames already asked for come, then forgets them, so that the spy counts only
// what follows.
inline void settle(QSignalSpy &frames)
{
    while (frames.wait(100)) {
    }
    frames.clear();
}

inline ViewWindow viewWindowOf(const GLPanel &panel)
{
    ViewWindow w {};
    panel.viewWindow(w.left, w.right, w.bottom, w.top);
    return w;
}

inline QString toString(const ViewWindow &w)
{
    return QStringLiteral("x %1 to %2, y %3 to %4")
            .arg(w.left, 0, 'g', 10).arg(w.right, 0, 'g', 10)
            .arg(w.bottom, 0, 'g', 10).arg(w.top, 0, 'g', 10);
}

// Compares to three decimals, as expected windows are written down.
inline bool sameWindow(const ViewWindow &a, const ViewWindow &b)
{
    const double tolerance = 0.0005;
    return std::abs(a.left - b.left) <= tolerance && std::abs(a.right - b.right) <= tolerance
            && std::abs(a.bottom - b.bottom) <= tolerance && std::abs(a.top - b.top) <= tolerance;
}

#define COMPARE_WINDOW(actual, expected)                                                     \
    QVERIFY2(sameWindow((actual), (expected)),                                              \
             qPrintable(QStringLiteral("actual %1, expected %2")                            \
                                .arg(toString(actual), toString(expected))))

// Names of the GL errors raised on the panel's context since the last call.
inline QStringList glErrors(GLPanel &panel)
{
    panel.makeCurrent();
    QStringList errors;
    for (GLenum e = glGetError(); e != GL_NO_ERROR && errors.size() < 16; e = glGetError())
        errors << QStringLiteral("0x%1").arg(e, 4, 16, QLatin1Char('0'));
    panel.doneCurrent();
    return errors;
}

inline bool isWhite(QRgb c)
{
    return qRed(c) > 245 && qGreen(c) > 245 && qBlue(c) > 245;
}

// Where anything but the white background was drawn.
inline QRect drawnArea(const QImage &image)
{
    QRect extent;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (!isWhite(line[x]))
                extent |= QRect(x, y, 1, 1);
        }
    }
    return extent;
}

// Where a point of the plane lands in a picture of the canvas.
inline QPointF toPixel(const GLPanel &canvas, const QImage &image, double x, double y)
{
    const ViewWindow w = viewWindowOf(canvas);
    return QPointF((x - w.left) / (w.right - w.left) * image.width(),
                   (w.top - y) / (w.top - w.bottom) * image.height());
}

// Whether the picture shows the default object where the canvas's view window puts it, within
// a pixel and a half at each edge, as far as it lies on the canvas. Says what is wrong, or
// nothing.
inline QString misplacement(const GLPanel &canvas, const QImage &image)
{
    const QRect actual = drawnArea(image);
    QPolygonF object;
    for (const Corner &corner : defaultObject)
        object << toPixel(canvas, image, corner.x, corner.y);
    const QRectF expected =
            object.intersected(QRectF(QPointF(), image.size())).boundingRect();
    const double tolerance = 1.5 * canvas.devicePixelRatioF();
    if (!image.isNull() && std::abs(actual.left() - expected.left()) <= tolerance
        && std::abs(actual.right() + 1 - expected.right()) <= tolerance
        && std::abs(actual.top() - expected.top()) <= tolerance
        && std::abs(actual.bottom() + 1 - expected.bottom()) <= tolerance) {
        return QString();
    }
    QString wrong;
    QDebug(&wrong) << "on" << image.size() << "drawn over" << QRectF(actual) << "expected"
                   << expected << "picture in" << savedForALook(image);
    return wrong;
}

// Looks at the screen until a look finds nothing wrong, for five seconds by the clock, and
// returns what the last look found wrong. QTRY_VERIFY counts its steps instead, each as long as
// its pause, but a look takes a screenshot, which on a loaded machine takes longer than the
// pause: the wait then stretched to minutes.
inline QString lookUntilRight(const std::function<QString()> &look)
{
    QElapsedTimer clock;
    clock.start();
    QString wrong = look();
    while (!wrong.isEmpty() && clock.elapsed() < 5000) {
        QTest::qWait(50);
        wrong = look();
    }
    return wrong;
}

// Until the screen shows the canvas's object where its view window puts it.
#define VERIFY_SHOWN(canvas)                                                                 \
    do {                                                                                    \
        const QString wrong = lookUntilRight(                                               \
                [&] { return misplacement(*(canvas), shownPicture(canvas)); });             \
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));                                       \
    } while (false)

// A shown canvas always has a context under the test command; a missing one is a failure.
inline bool showWithContext(GLPanel &panel)
{
    panel.show();
    return QTest::qWaitForWindowExposed(&panel)
            && QTest::qWaitFor([&] { return panel.isValid(); });
}

// Input as Qt delivers it to the canvas, at positions in the canvas's own coordinates.
inline void sendWheel(QWidget *canvas, const QPointF &at, const QPoint &angle,
                      const QPoint &pixels = {}, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                      bool inverted = false)
{
    const QPointF global = canvas->mapToGlobal(at.toPoint());
    QWheelEvent wheel(at, global, pixels, angle, Qt::NoButton, modifiers, Qt::NoScrollPhase,
                      inverted);
    QCoreApplication::sendEvent(canvas, &wheel);
}

inline void sendMouse(QWidget *canvas, QEvent::Type type, const QPointF &at,
                      Qt::MouseButton button, Qt::MouseButtons buttons)
{
    const QPointF global = canvas->mapToGlobal(at.toPoint());
    QMouseEvent mouse(type, at, global, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &mouse);
}

inline void sendPinch(QWidget *canvas, Qt::NativeGestureType type, const QPointF &at,
                      double value)
{
    const QPointF global = canvas->mapToGlobal(at.toPoint());
#if QT_VERSION >= QT_VERSION_CHECK(6, 2, 0)
    QNativeGestureEvent gesture(type, QPointingDevice::primaryPointingDevice(), 2, at, at,
                                global, value, QPointF());
#else
    QNativeGestureEvent gesture(type, nullptr, at, at, global, value, 0, 0);
#endif
    QCoreApplication::sendEvent(canvas, &gesture);
}

#endif // CANVASTEST_H
