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
