#include "app/torvane.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>

namespace {

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
// QGLWidget renders into a native child window, which a Wayland compositor never shows, so
// on Wayland the canvas would stay blank. Where X11 is reachable as well, use it, unless the
// user chose a platform; a -platform argument still overrides this, as Qt gives it precedence.
void preferX11OnWayland()
{
    const bool waylandSession = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
            || qgetenv("XDG_SESSION_TYPE") == "wayland";
    if (waylandSession && !qEnvironmentVariableIsEmpty("DISPLAY")
        && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
}
#endif

int fail(const char *message)
{
    std::fprintf(stderr, "zentrile: %s\n", message);
    return EXIT_FAILURE;
}

} // namespace

int main(int argc, char *argv[])
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    preferX11OnWayland();
#endif
    QApplication app(argc, argv);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        return fail("this Qt 5 build cannot draw on native Wayland; run it through X11 "
                    "(XWayland, QT_QPA_PLATFORM=xcb) or use the Qt 6 build");
    }
#endif
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zentrile.Zentrile"));
    // The compiled-in icon, not a search through the icon theme at every start: desktops take
    // the themed one from the desktop entry that the desktop file name points to.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/org.zentrile.Zentrile.png")));

    Torvane window;
    window.show();
    // The canvas has made its context by now, or found that it cannot.
    if (!window.findChild<GLWidget *>()->isValid())
        return fail("OpenGL is unavailable: no OpenGL context can be created on this display");
    return app.exec();
}
