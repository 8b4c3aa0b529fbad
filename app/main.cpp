#include "app/torvane.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Torvane window;
    window.show();
    return app.exec();
}
