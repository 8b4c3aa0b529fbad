#ifndef CANVASTEST_H
#define CANVASTEST_H

#include "canvas/glpanel.h"

#include <QMap>
#include <QScreen>
#include <QStringList>
#include <QtTest>

// Opens the GL callbacks to the tests, which drive them with sizes a window could not take.
class TestPanel : public GLPanel
{
public:
    using GLPanel::GLPanel;
    using GLPanel::paintGL;
    using GLPanel::resizeGL;

    // Draws a frame and returns the canvas as the user then sees it.
    QImage grabFrame();
};

// The widget as it is on screen. X11 hands out the pixels it shows, native child windows
// included; Wayland keeps them to the compositor, and there the widget renders itself.
inline QImage shownPicture(QWidget *widget)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QWidget *window = widget->window();
    const QImage whole = window->screen()->grabWindow(window->winId()).toImage();
    // Rounded the way Qt places native windows at fractional scales.
    const qreal ratio = window->devicePixelRatioF();
    const QRect area((QPointF(widget->mapTo(window, QPoint())) * ratio).toPoint(),
                     (QSizeF(widget->size()) * ratio).toSize());
    return whole.copy(area).convertToFormat(QImage::Format_RGB32);
}

inline QImage TestPanel::grabFrame()
{
    QSignalSpy swapped(this, &GLWidget::frameSwapped);
    update();
    if (!swapped.wait(10000)) {
        qWarning("No frame reached the screen");
        return QImage();
    }
    return shownPicture(this);
}

// The view window as left, right, bottom, top.
struct ViewWindow
{
    double left;
    double right;
    double bottom;
    double top;
};

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

using Operation = void (GLPanel::*)();

// The navigation operations by name, so that data rows can list sequences of them.
inline const QMap<QString, Operation> &operations()
{
    static const QMap<QString, Operation> ops {
        { "fitView", &GLPanel::fitView },   { "zoomIn", &GLPanel::zoomIn },
        { "zoomOut", &GLPanel::zoomOut },   { "panLeft", &GLPanel::panLeft },
        { "panRight", &GLPanel::panRight }, { "panDown", &GLPanel::panDown },
        { "panUp", &GLPanel::panUp },
    };
    return ops;
}

// A shown canvas always has a context under the test command; a missing one is a failure.
inline bool showWithContext(GLPanel &panel)
{
    panel.show();
    return QTest::qWaitForWindowExposed(&panel)
            && QTest::qWaitFor([&] { return panel.isValid(); });
}

#endif // CANVASTEST_H
