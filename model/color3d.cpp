#include "model/color3d.h"

#include <stdexcept>
#include <string>

Color3d::Color3d(double r, double g, double b)
    : red(r), green(g), blue(b)
{
}

Color3d::Color3d(const std::vector<double> &v)
{
    if (v.size() < 3) {
        throw std::invalid_argument("Color3d needs 3 intensities, got "
                                    + std::to_string(v.size()));
    }
    red = v[0];
    green = v[1];
    blue = v[2];
}

std::vector<double> Color3d::toVector() const
{
    return { red, green, blue };
}
