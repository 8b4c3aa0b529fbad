#ifndef CANVASACCESSIBLE_H
#define CANVASACCESSIBLE_H

#include "canvas/viewarithmetic.h"

#include <QAccessibleWidget>
#include <QSize>
#include <QString>

#include <optional>

// What a screen reader says of the canvas showing the view window on a canvas of canvasSize
// device pixels: whether the object with that bounding box is in view, how far the view is
// zoomed against the fitted one, and where the object's centre sits on the canvas. Without an
// object, says that there is none.
QString canvasDescription(const ViewWindow &view, const std::optional<ViewWindow> &object,
                          const QSize &canvasSize);

// Screen readers meet the canvas as a picture, named, with the description of what it shows
// now, even in the middle of a drag, whose change they hear of once it ends. The surface that
// draws it is no part of what they should read. Qt makes one for every GLPanel.
class CanvasAccessible : public QAccessibleWidget
{
public:
    explicit CanvasAccessible(QWidget *canvas);

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
};

#endif // CANVASACCESSIBLE_H
