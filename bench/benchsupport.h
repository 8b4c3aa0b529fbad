#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include "canvas/glwidget.h"

#include <QString>

#include <vector>

class Color3d;
class Point2d;

// The resident set size of this process now, in KiB.
long residentKiB();

// Hands back the memory that the allocator keeps but no longer uses, so that two readings of
// residentKiB() differ by what is really held between them.
void releaseFreeMemory();

// Delivers the repaint that update() posted and waits until GL has drawn it, so a measurement
// covers the whole frame and not only its submission to the driver.
void finishRepaint(GLWidget *canvas);

class QWidget;

// Shows the window and waits until it is on screen; says so on stderr when it never gets there.
bool showAndWait(QWidget *window);

// Takes Google Benchmark's own options out of the arguments; false when an unknown one is left.
bool takeBenchmarkArguments(int *argc, char **argv);

// Runs the registered Google Benchmark cases, naming the renderer and Qt version in the report.
int runBenchmarks(GLWidget *canvas);

// The renderer that draws the frames, for the report: the figures mean little without it.
QString rendererName(GLWidget *canvas);

// triangleCount small random triangles spread over a square, each with random corner colours;
// the same count always gives the same model.
void makeRandomTriangles(int triangleCount, std::vector<Point2d> &vertices,
                         std::vector<Color3d> &colors);

#endif // BENCHSUPPORT_H
