#include "app/torvane.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString appId = QStringLiteral("org.zentrile.Zentrile");
    QGuiApplication::setDesktopFileName(appId);
    QApplication::setWindowIcon(
            QIcon::fromTheme(appId, QIcon(QStringLiteral(":/icons/org.zentrile.Zentrile.png"))));
    if (!GLCompat::isOpenGLAvailable()) {
        std::fputs("zentrile: OpenGL is unavailable: no OpenGL context can be created on this "
                   "display\n", stderr);
        return EXIT_FAILURE;
    }
    Torvane window;
    window.show();
    return app.exec();
}
