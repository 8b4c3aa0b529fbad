#ifndef GLWIDGET_H
#define GLWIDGET_H

// A widget with an OpenGL context of its own and the three GL callbacks, whichever Qt it is
// built with and whichever display server it runs on. Both variants declare the same GLWidget;
// the build compiles the sources of the one that matches its Qt, and only this header may
// include either.

#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include "canvas/glwidgetqopengl.h"
#else
#include "canvas/glwidgetqglwidget.h"
#endif

#endif // GLWIDGET_H
