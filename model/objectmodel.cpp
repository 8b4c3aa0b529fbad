#include "model/objectmodel.h"

#include <stdexcept>
#include <string>
#include <utility>

ObjectModel::ObjectModel()
{
    vertices.emplace_back(100.0, 100.0);
    vertices.emplace_back(200.0, 100.0);
    vertices.emplace_back(150.0, 175.0);
    colors.emplace_back(1.0, 0.0, 0.0);
    colors.emplace_back(0.0, 1.0, 0.0);
    colors.emplace_back(0.0, 0.0, 1.0);
}

ObjectModel::ObjectModel(std::vector<Point2d> vertices, std::vector<Color3d> colors)
    : vertices(std::move(vertices)), colors(std::move(colors))
{
    // The canvas reads colour i for vertex i, so a short colour list would be read past its end.
    if (this->colors.size() != this->vertices.size()) {
        throw std::invalid_argument("ObjectModel needs one colour per vertex: "
                                    + std::to_string(this->vertices.size()) + " vertices, "
                                    + std::to_string(this->colors.size()) + " colours");
    }
}

bool ObjectModel::isEmpty() const
{
    return vertices.empty();
}

void ObjectModel::boundingBox(double &xMin, double &xMax, double &yMin, double &yMax) const
{
    if (vertices.empty()) {
        xMin = 0.0;
        xMax = 10.0;
        yMin = 0.0;
        yMax = 10.0;
        return;
    }
    xMin = xMax = vertices.front().x();
    yMin = yMax = vertices.front().y();
    for (const Point2d &p : vertices) {
        if (p.x() < xMin)
            xMin = p.x();
        if (p.x() > xMax)
            xMax = p.x();
        if (p.y() < yMin)
            yMin = p.y();
        if (p.y() > yMax)
            yMax = p.y();
    }
}

std::vector<Point2d> ObjectModel::vertexList() const
{
    return vertices;
}

std::vector<Color3d> ObjectModel::colorList() const
{
    return colors;
}
