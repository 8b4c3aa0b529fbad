#ifndef GLFORMAT_H
#define GLFORMAT_H

#include <QSurfaceFormat>

// The context the canvas draws with: desktop OpenGL with the compatibility profile, for the
// fixed-function calls and display lists that OpenGL ES and the core profile lack.
QSurfaceFormat legacyFormat();

#endif // GLFORMAT_H
