// The start-up floor: zentrile's window built by hand, with the bare window as its canvas. It
// answers how soon and how small zentrile could start if its own classes cost nothing.

#include "barewindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QOpenGLWidget>
#include <QStatusBar>
#include <QToolBar>

namespace {

// Wayland compositors do not show a native child window, so there the floor draws through
// the widget that Qt composes into the window instead, as zentrile does.
class ComposedCanvas : public QOpenGLWidget
{
public:
    explicit ComposedCanvas(QWidget *parent)
        : QOpenGLWidget(parent)
    {
        setFormat(legacyFormat());
    }

protected:
    void paintGL() override
    {
        const QSize size = this->size() * devicePixelRatioF();
        drawTriangle(size.width(), size.height());
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Zentrile"));
    window.resize(600, 400);
    window.setMenuBar(new QMenuBar(&window));
    auto *toolBar = window.addToolBar(QString());
    for (const char *name : { "Fit", "ZoomIn", "ZoomOut", "PanLeft", "PanRight", "PanDown",
                              "PanUp" }) {
        toolBar->addAction(QString::fromLatin1(name));
    }
    window.setStatusBar(new QStatusBar(&window));

    auto *central = new QWidget(&window);
    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(11, 11, 11, 11);
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        layout->addWidget(QWidget::createWindowContainer(new BareWindow, central));
    else
        layout->addWidget(new ComposedCanvas(central));
    window.setCentralWidget(central);

    window.show();
    return app.exec();
}
