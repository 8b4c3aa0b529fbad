#include "canvas/canvasaccessible.h"

#include "canvas/glpanel.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QLocale>
#include <QStringList>
#include <QWidget>

#include <cmath>

namespace {

// The canvas's texts are looked up under the form's context, as every text of the window is.
QString text(const char *source)
{
    return QCoreApplication::translate("TorvaneClass", source);
}

// A share as a whole percentage in the user's locale; shares too large for whole numbers to
// mean much are given in three figures.
QString percent(double share)
{
    const double value = std::abs(share) * 100.0;
    return value < 1e15 ? QLocale().toString(value, 'f', 0) : QLocale().toString(value, 'g', 3);
}

const char *inViewText(const ViewWindow &view, const ViewWindow &object)
{
    if (object.left >= view.left && object.right <= view.right && object.bottom >= view.bottom
        && object.top <= view.top) {
        return QT_TRANSLATE_NOOP("TorvaneClass", "Whole object in view.");
    }
    if (object.left <= view.right && object.right >= view.left && object.bottom <= view.top
        && object.top >= view.bottom) {
        return QT_TRANSLATE_NOOP("TorvaneClass", "Object partly in view.");
    }
    return QT_TRANSLATE_NOOP("TorvaneClass", "Object out of view.");
}

// How far the object's centre lies from the canvas's, as shares of its width and height; a
// shift that would read as 0% is none.
QString whereText(double dx, double dy)
{
    QStringList shifts;
    if (std::abs(dx) >= 0.005) {
        const char *shift = dx < 0 ? QT_TRANSLATE_NOOP("TorvaneClass", "%1% of the width left")
                                   : QT_TRANSLATE_NOOP("TorvaneClass", "%1% of the width right");
        shifts << text(shift).arg(percent(dx));
    }
    if (std::abs(dy) >= 0.005) {
        const char *shift = dy < 0 ? QT_TRANSLATE_NOOP("TorvaneClass", "%1% of the height down")
                                   : QT_TRANSLATE_NOOP("TorvaneClass", "%1% of the height up");
        shifts << text(shift).arg(percent(dy));
    }
    if (shifts.size() == 1)
        return text(QT_TRANSLATE_NOOP("TorvaneClass", "Object centre: %1.")).arg(shifts.at(0));
    if (shifts.size() == 2) {
        return text(QT_TRANSLATE_NOOP("TorvaneClass", "Object centre: %1, %2."))
                .arg(shifts.at(0), shifts.at(1));
    }
    return text(QT_TRANSLATE_NOOP("TorvaneClass", "Object centre: at the canvas centre."));
}

QAccessibleInterface *canvasAccessible(const QString &key, QObject *object)
{
    if (key == QLatin1String("GLPanel") && object->isWidgetType())
        return new CanvasAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

// Once for the application, wherever its canvases are made: Qt asks each factory in turn for
// each object it is asked about.
void installCanvasAccessible()
{
    QAccessible::installFactory(canvasAccessible);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installCanvasAccessible)

QString canvasDescription(const ViewWindow &view, const std::optional<ViewWindow> &object,
                          const QSize &canvasSize)
{
    if (!object)
        return text(QT_TRANSLATE_NOOP("TorvaneClass", "No object to show."));

    const double width = view.right - view.left;
    const double height = view.top - view.bottom;
    const double dx = ((object->left + object->right) / 2.0 - (view.left + view.right) / 2.0)
            / width;
    const double dy = ((object->bottom + object->top) / 2.0 - (view.bottom + view.top) / 2.0)
            / height;
    // Against the view Fit would give on the canvas as it is now.
    const double aspect = static_cast<double>(canvasSize.height()) / canvasSize.width();
    const ViewWindow fitted = fittedView(*object, aspect);
    const QString zoom = text(QT_TRANSLATE_NOOP("TorvaneClass", "Zoom: %1% of the fitted view."))
                                 .arg(percent((fitted.right - fitted.left) / width));
    return text(QT_TRANSLATE_NOOP("TorvaneClass", "%1 %2 %3"))
            .arg(text(inViewText(view, *object)), zoom, whereText(dx, dy));
}

CanvasAccessible::CanvasAccessible(QWidget *canvas)
    : QAccessibleWidget(canvas, QAccessible::Graphic)
{
}

QString CanvasAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Description)
        return static_cast<const GLPanel *>(widget())->viewDescription();
    return QAccessibleWidget::text(t);
}

int CanvasAccessible::childCount() const
{
    return 0;
}

QAccessibleInterface *CanvasAccessible::child(int) const
{
    return nullptr;
}

int CanvasAccessible::indexOfChild(const QAccessibleInterface *) const
{
    return -1;
}

QAccessibleInterface *CanvasAccessible::childAt(int, int) const
{
    return nullptr;
}
