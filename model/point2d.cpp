#include "model/point2d.h"

#include <stdexcept>
#include <string>

Point2d::Point2d(double x, double y)
    : xCoord(x), yCoord(y)
{
}

Point2d::Point2d(const std::vector<double> &v)
{
    if (v.size() < 2) {
        throw std::invalid_argument("Point2d needs 2 coordinates, got "
                                    + std::to_string(v.size()));
    }
    xCoord = v[0];
    yCoord = v[1];
}

std::vector<double> Point2d::toVector() const
{
    return { xCoord, yCoord };
}
