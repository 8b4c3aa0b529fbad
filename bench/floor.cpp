// The start-up floor: zentrile's window built by hand, with the bare window as its canvas. It
// answers how soon and how small zentrile could start if its own classes cost nothing.

#include "barewindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include <functional>

namespace {

// With Qt's Wayland plugin (6.4, under weston) a native child window made before its
// top-level window is exposed is never exposed itself; made afterwards, it is shown.
class AfterExposure : public QObject
{
public:
    AfterExposure(QWindow *window, std::function<void()> action)
        : QObject(window), action(std::move(action))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            QMetaObject::invokeMethod(this, action, Qt::QueuedConnection);
            watched->removeEventFilter(this);
        }
        return false;
    }

private:
    std::function<void()> action;
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
    window.setCentralWidget(central);
    const auto addCanvas = [layout, central] {
        layout->addWidget(QWidget::createWindowContainer(new BareWindow, central));
    };

    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        addCanvas();
    window.show();
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        new AfterExposure(window.windowHandle(), addCanvas);
    return app.exec();
}
