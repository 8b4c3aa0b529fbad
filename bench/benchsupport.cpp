#include "benchsupport.h"

#include "model/color3d.h"
#include "model/point2d.h"

#include <QCoreApplication>
#include <QTest>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <fstream>
#include <random>

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long totalPages = 0;
    long residentPages = 0;
    statm >> totalPages >> residentPages;
    return residentPages * (sysconf(_SC_PAGESIZE) / 1024);
}

void releaseFreeMemory()
{
    malloc_trim(0);
}

void finishRepaint(GLWidget *canvas)
{
    QCoreApplication::sendPostedEvents();
    canvas->makeCurrent();
    glFinish();
}

QString rendererName(GLWidget *canvas)
{
    canvas->makeCurrent();
    return QString::fromLatin1(reinterpret_cast<const char *>(glGetString(GL_RENDERER)));
}

void makeRandomTriangles(int triangleCount, std::vector<Point2d> &vertices,
                         std::vector<Color3d> &colors)
{
    // Small triangles keep the pixel work per triangle about constant as the count grows, so
    // the curves show the cost of the model and not that of filling the canvas ever more.
    std::mt19937 generator(20261206u + static_cast<unsigned>(triangleCount));
    std::uniform_real_distribution<double> position(0.0, 1000.0);
    std::uniform_real_distribution<double> corner(-5.0, 5.0);
    std::uniform_real_distribution<double> intensity(0.0, 1.0);

    const std::size_t vertexCount = 3 * static_cast<std::size_t>(triangleCount);
    vertices.clear();
    colors.clear();
    vertices.reserve(vertexCount);
    colors.reserve(vertexCount);
    for (int t = 0; t < triangleCount; ++t) {
        const double cx = position(generator);
        const double cy = position(generator);
        for (int k = 0; k < 3; ++k) {
            vertices.emplace_back(cx + corner(generator), cy + corner(generator));
            colors.emplace_back(intensity(generator), intensity(generator),
                                intensity(generator));
        }
    }
}

bool showAndWait(QWidget *window)
{
    window->show();
    if (QTest::qWaitForWindowExposed(window))
        return true;
    qCritical("The benchmark's window was never exposed");
    return false;
}

bool takeBenchmarkArguments(int *argc, char **argv)
{
    benchmark::Initialize(argc, argv);
    return !benchmark::ReportUnrecognizedArguments(*argc, argv);
}

int runBenchmarks(GLWidget *canvas)
{
    benchmark::AddCustomContext("renderer", rendererName(canvas).toStdString());
    benchmark::AddCustomContext("qt", qVersion());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
