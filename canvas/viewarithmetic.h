#ifndef VIEWARITHMETIC_H
#define VIEWARITHMETIC_H

// The arithmetic of the canvas's view window, free of GL and widgets.

#include "model/point2d.h"

// A rectangle of the plane in model units, bounded as glOrtho takes it.
struct ViewWindow
{
    double left;
    double right;
    double bottom;
    double top;
};

// Whether GL can project the range: it builds the projection matrix in single precision, where
// it rejects equal bounds and turns bounds that overflow, or an extent too small to divide by,
// into a matrix of infinities.
bool isUsableRange(double low, double high);

// The window scaled about its centre by factor, then widened along one axis until its
// proportions are height / width = aspect, so that one model unit covers as many pixels across
// as up.
ViewWindow scaledToAspect(const ViewWindow &window, double factor, double aspect);

// The view Fit gives of a bounding box: the box, centred, with a margin of 5% of its extent on
// each side along the tighter axis, in the proportions height / width = aspect.
ViewWindow fittedView(const ViewWindow &box, double aspect);

// Where the canvas is pointed at, as shares of its width and height from its top-left corner:
// pointer positions come that way up, while the plane's y grows upwards.
struct CanvasShare
{
    double x;
    double y;
};

// The point of the plane that the window shows at that place of the canvas.
Point2d pointAt(const ViewWindow &window, const CanvasShare &at);

// The window of the same extent that shows point at that place of the canvas: a drag keeps the
// point grabbed under the pointer this way, however many steps it takes.
ViewWindow placedAt(const ViewWindow &window, const Point2d &point, const CanvasShare &at);

// The window scaled by factor about the point it shows at that place of the canvas, which stays
// there, as a wheel or a pinch zooms about the pointer or the fingers. Its proportions stay.
ViewWindow zoomedAbout(const ViewWindow &window, double factor, const CanvasShare &at);

// The window moved by dx of its width and dy of its height.
ViewWindow shifted(const ViewWindow &window, double dx, double dy);

// Whether a zoom by factor is one: a pinch can report a scale of zero, a negative one or none
// that is a number.
bool isUsableFactor(double factor);

#endif // VIEWARITHMETIC_H
