#ifndef SEENINPUT_H
#define SEENINPUT_H

#include "canvas/glpanel.h"
#include "canvas/viewarithmetic.h"

#include <QKeyEvent>
#include <QList>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

// What the real-input tests share: what reaches the canvas, as an event filter on it sees it,
// and how far the point of the plane under the pointer drifted.

// Installed on a widget, records the types of the pointer's, the wheel's and the keys' events
// that reach it, and where the pointer's and the wheel's were, in its own coordinates.
class SeenInput : public QObject
{
public:
    QList<QEvent::Type> types;
    QList<QPointF> positions;

    void clear()
    {
        types.clear();
        positions.clear();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
            positions << static_cast<QMouseEvent *>(event)->position();
#else
            positions << static_cast<QMouseEvent *>(event)->localPos();
#endif
            break;
        case QEvent::Wheel:
            positions << static_cast<QWheelEvent *>(event)->position();
            break;
        case QEvent::KeyPress:
            break;
        default:
            return false;
        }
        types << event->type();
        return false;
    }
};

// How far apart, in device pixels, the point of the plane under from in the view before and
// the one under to in the view after lie.
inline double drift(const GLPanel &canvas, const ViewWindow &before, const QPointF &from,
                    const ViewWindow &after, const QPointF &to)
{
    const auto share = [&canvas](const QPointF &p) {
        return CanvasShare { p.x() / canvas.width(), p.y() / canvas.height() };
    };
    const Point2d was = pointAt(before, share(from));
    const Point2d is = pointAt(after, share(to));
    const double devicePixelsPerUnit =
            canvas.width() * canvas.devicePixelRatioF() / (after.right - after.left);
    return std::hypot(was.x() - is.x(), was.y() - is.y()) * devicePixelsPerUnit;
}

#endif // SEENINPUT_H
