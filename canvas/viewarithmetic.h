#ifndef VIEWARITHMETIC_H
#define VIEWARITHMETIC_H

// The arithmetic of the canvas's view window, free of GL and widgets.

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

#endif // VIEWARITHMETIC_H
