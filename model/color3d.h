#ifndef COLOR3D_H
#define COLOR3D_H

#include <vector>

// An RGB colour; intensities run from 0 to 1 but are stored as given.
class Color3d
{
public:
    Color3d() = default;
    Color3d(double r, double g, double b);
    // Takes r, g and b from the first three entries; throws std::invalid_argument when v is
    // shorter.
    explicit Color3d(const std::vector<double> &v);

    std::vector<double> toVector() const;

    double r() const { return red; }
    double g() const { return green; }
    double b() const { return blue; }

private:
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
};

#endif // COLOR3D_H
