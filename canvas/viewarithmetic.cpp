#include "canvas/viewarithmetic.h"

#include <cmath>

bool isUsableRange(double low, double high)
{
    const float lo = static_cast<float>(low);
    const float hi = static_cast<float>(high);
    const float extent = hi - lo;
    return std::isfinite(lo) && std::isfinite(hi) && extent > 0.0f
            && std::isfinite(extent) && std::isfinite(2.0f / extent)
            && std::isfinite((hi + lo) / extent);
}

ViewWindow scaledToAspect(const ViewWindow &window, double factor, double aspect)
{
    const double cx = (window.left + window.right) / 2.0;
    const double cy = (window.bottom + window.top) / 2.0;
    double ew = (window.right - window.left) * factor;
    double eh = (window.top - window.bottom) * factor;
    if (aspect * ew < eh)
        ew = eh / aspect;
    else
        eh = ew * aspect;
    return { cx - ew * 0.5, cx + ew * 0.5, cy - eh * 0.5, cy + eh * 0.5 };
}

ViewWindow fittedView(const ViewWindow &box, double aspect)
{
    return scaledToAspect(box, 1.1, aspect);
}

Point2d pointAt(const ViewWindow &window, const CanvasShare &at)
{
    return { window.left + at.x * (window.right - window.left),
             window.top - at.y * (window.top - window.bottom) };
}

ViewWindow placedAt(const ViewWindow &window, const Point2d &point, const CanvasShare &at)
{
    const double width = window.right - window.left;
    const double height = window.top - window.bottom;
    const double left = point.x() - at.x * width;
    const double top = point.y() + at.y * height;
    return { left, left + width, top - height, top };
}

ViewWindow zoomedAbout(const ViewWindow &window, double factor, const CanvasShare &at)
{
    const Point2d point = pointAt(window, at);
    const ViewWindow scaled { 0.0, (window.right - window.left) * factor, 0.0,
                              (window.top - window.bottom) * factor };
    return placedAt(scaled, point, at);
}

ViewWindow shifted(const ViewWindow &window, double dx, double dy)
{
    const double x = (window.right - window.left) * dx;
    const double y = (window.top - window.bottom) * dy;
    return { window.left + x, window.right + x, window.bottom + y, window.top + y };
}

bool isUsableFactor(double factor)
{
    return std::isfinite(factor) && factor > 0.0;
}
