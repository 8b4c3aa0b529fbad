#ifndef OBJECTMODEL_H
#define OBJECTMODEL_H

#include "model/color3d.h"
#include "model/point2d.h"

#include <vector>

// The drawn object: vertices 3k, 3k+1 and 3k+2 make triangle k, and colors[i] is the colour
// of vertices[i]. The content is fixed at construction.
class ObjectModel
{
public:
    // The default object: one triangle with a red, a green and a blue corner.
    ObjectModel();
    // Throws std::invalid_argument unless there is exactly one colour per vertex.
    ObjectModel(std::vector<Point2d> vertices, std::vector<Color3d> colors);

    bool isEmpty() const;
    // An empty model reports the box from 0 to 10 on both axes.
    void boundingBox(double &xMin, double &xMax, double &yMin, double &yMax) const;
    std::vector<Point2d> vertexList() const;
    std::vector<Color3d> colorList() const;

private:
    std::vector<Point2d> vertices;
    std::vector<Color3d> colors;
};

#endif // OBJECTMODEL_H
