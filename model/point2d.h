#ifndef POINT2D_H
#define POINT2D_H

#include <vector>

// A point of the plane, in model units.
class Point2d
{
public:
    Point2d() = default;
    Point2d(double x, double y);
    // Takes x and y from the first two entries; throws std::invalid_argument when v is shorter.
    explicit Point2d(const std::vector<double> &v);

    std::vector<double> toVector() const;

    double x() const { return xCoord; }
    double y() const { return yCoord; }

private:
    double xCoord = 0.0;
    double yCoord = 0.0;
};

#endif // POINT2D_H
