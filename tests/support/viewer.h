#ifndef VIEWER_H
#define VIEWER_H

#include "canvas/glpanel.h"

#include <QString>

#include <array>

// The viewer as its user knows it, for the tests and the benchmarks: the toolbar's commands
// in toolbar order, each with the canvas operation it runs, and the object shown at start.
struct Command
{
    const char *text;
    void (GLPanel::*operation)();

    // The form's action, which its slot is connected to by name.
    QString actionName() const { return QStringLiteral("action") + QLatin1String(text); }
};

inline const std::array<Command, 7> &commands()
{
    static const std::array<Command, 7> all { {
            { "Fit", &GLPanel::fitView },
            { "ZoomIn", &GLPanel::zoomIn },
            { "ZoomOut", &GLPanel::zoomOut },
            { "PanLeft", &GLPanel::panLeft },
            { "PanRight", &GLPanel::panRight },
            { "PanDown", &GLPanel::panDown },
            { "PanUp", &GLPanel::panUp },
    } };
    return all;
}

// Runs the command of that text, as data rows name them, on the canvas.
inline void run(GLPanel &canvas, const QString &text)
{
    for (const Command &command : commands()) {
        if (text == QLatin1String(command.text)) {
            (canvas.*command.operation)();
            return;
        }
    }
    qFatal("No command %s", qPrintable(text));
}

// The default object: a triangle with a red, a green and a blue corner.
struct Corner
{
    double x;
    double y;
    double red;
    double green;
    double blue;
};

constexpr Corner defaultObject[] = {
    { 100, 100, 1, 0, 0 },
    { 200, 100, 0, 1, 0 },
    { 150, 175, 0, 0, 1 },
};

#endif // VIEWER_H
