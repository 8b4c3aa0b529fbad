// The start-up floor: zentrile's window put together by hand, with a canvas that draws the
// default triangle directly. Whatever zentrile needs beyond this is the cost of its own code.

#include "floorcanvas.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Zentrile"));
    window.resize(600, 400);
    window.setMenuBar(new QMenuBar(&window));

    auto *toolBar = new QToolBar(&window);
    for (const char *name : { "Fit", "ZoomIn", "ZoomOut", "PanLeft", "PanRight", "PanDown",
                              "PanUp" }) {
        toolBar->addAction(QString::fromLatin1(name));
    }
    window.addToolBar(Qt::TopToolBarArea, toolBar);
    window.setStatusBar(new QStatusBar(&window));

    auto *central = new QWidget(&window);
    auto *layout = new QHBoxLayout(central);
    layout->setSpacing(6);
    layout->setContentsMargins(11, 11, 11, 11);
    layout->addWidget(new FloorCanvas(central));
    window.setCentralWidget(central);

    window.show();
    return app.exec();
}
