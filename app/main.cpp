#include "app/torvane.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    GLCompat::preferDrawablePlatform();
    QApplication app(argc, argv);
    if (!GLCompat::drawsOn(QGuiApplication::platformName())) {
        std::fputs("zentrile: this Qt 5 build cannot draw on native Wayland; run it through X11 "
                   "(XWayland, QT_QPA_PLATFORM=xcb) or use the Qt 6 build\n", stderr);
        return EXIT_FAILURE;
    }
    if (!GLCompat::isOpenGLAvailable()) {
        std::fputs("zentrile: OpenGL is unavailable: no OpenGL context can be created on this "
                   "display\n", stderr);
        return EXIT_FAILURE;
    }
    const QString appId = QStringLiteral("org.zentrile.Zentrile");
    QGuiApplication::setDesktopFileName(appId);
    QApplication::setWindowIcon(
            QIcon::fromTheme(appId, QIcon(QStringLiteral(":/icons/org.zentrile.Zentrile.png"))));
    Torvane window;
    window.show();
    return app.exec();
}
