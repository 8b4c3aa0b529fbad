#include "app/torvane.h"
#include "canvastest.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

Q_DECLARE_METATYPE(ViewWindow)

class tst_Torvane : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void window();
    void toolbar_data();
    void toolbar();
    void buttons_data();
    void buttons();
    void rightClickOffersNoBlankEntry_data();
    void rightClickOffersNoBlankEntry();

private:
    std::unique_ptr<Torvane> torvane;
    GLPanel *canvas = nullptr;
};

void tst_Torvane::init()
{
    torvane = std::make_unique<Torvane>();
    torvane->show();
    QVERIFY(QTest::qWaitForWindowExposed(torvane.get()));
    canvas = torvane->findChild<GLPanel *>("glcanvas");
    QVERIFY(canvas);
    // The key colour by which the canvas is found on the screen.
    fillWithKey(canvas->parentWidget());
    QVERIFY2(QTest::qWaitFor([this] { return canvas->isValid(); }),
             "no OpenGL context for the canvas");
}

void tst_Torvane::cleanup()
{
    torvane.reset();
}

void tst_Torvane::window()
{
    QCOMPARE(torvane->objectName(), QString("TorvaneClass"));
    QCOMPARE(torvane->windowTitle(), QString("Zentrile"));
    QCOMPARE(torvane->size(), QSize(600, 400));
    QCOMPARE(torvane->menuBar()->actions().size(), 0);
    QVERIFY(torvane->statusBar()->currentMessage().isEmpty());

    const QList<QPair<QString, QString>> children {
        { "centralWidget", "QWidget" }, { "horizontalLayout", "QHBoxLayout" },
        { "glcanvas", "GLPanel" },      { "menuBar", "QMenuBar" },
        { "mainToolBar", "QToolBar" },  { "statusBar", "QStatusBar" },
    };
    for (const auto &child : children) {
        const QList<QObject *> found = torvane->findChildren<QObject *>(child.first);
        QCOMPARE(found.size(), 1);
        QCOMPARE(QString(found.first()->metaObject()->className()), child.second);
    }

    // The canvas alone fills the central widget inside an 11-pixel margin.
    const auto *layout = qobject_cast<QHBoxLayout *>(torvane->centralWidget()->layout());
    QVERIFY(layout);
    QCOMPARE(layout->spacing(), 6);
    QCOMPARE(layout->count(), 1);
    QCOMPARE(canvas->geometry(), torvane->centralWidget()->rect().adjusted(11, 11, -11, -11));
}

void tst_Torvane::toolbar_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");

    QTest::newRow("actionFit") << 0 << "Fit" << "Adjust object image to fit on canvas";
    QTest::newRow("actionZoomIn") << 1 << "ZoomIn" << "Zoom in object image on canvas";
    QTest::newRow("actionZoomOut") << 2 << "ZoomOut" << "Zoom out object image on canvas";
    QTest::newRow("actionPanLeft") << 3 << "PanLeft" << "Translate left object image on canvas";
    QTest::newRow("actionPanRight")
            << 4 << "PanRight" << "Translate right object image on canvas";
    QTest::newRow("actionPanDown") << 5 << "PanDown" << "Translate down object image on canvas";
    QTest::newRow("actionPanUp") << 6 << "PanUp" << "Translate up object image on canvas";
}

void tst_Torvane::toolbar()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);

    auto *toolBar = torvane->findChild<QToolBar *>("mainToolBar");
    QVERIFY(toolBar);
    QCOMPARE(torvane->toolBarArea(toolBar), Qt::TopToolBarArea);
    QCOMPARE(toolBar->actions().size(), 7);
    QAction *action = toolBar->actions().at(index);
    QCOMPARE(action->objectName(), QString(QTest::currentDataTag()));
    QCOMPARE(action->parent(), torvane.get());
    QCOMPARE(action->text(), text);
    QCOMPARE(action->toolTip(), toolTip);

    auto *button = qobject_cast<QToolButton *>(toolBar->widgetForAction(action));
    QVERIFY(button);
    QCOMPARE(button->text(), text);
}

void tst_Torvane::buttons_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("before");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPointF>("shift");

    // Effect of one click on the fitted view: extent scaled about the centre, then shifted by
    // a fraction of the extent. A second call would show as a second step.
    QTest::newRow("actionFit") << "actionFit" << "zoomIn" << 1.0 << QPointF();
    QTest::newRow("actionZoomIn") << "actionZoomIn" << QString() << 0.9 << QPointF();
    QTest::newRow("actionZoomOut") << "actionZoomOut" << QString() << 1.1 << QPointF();
    QTest::newRow("actionPanLeft") << "actionPanLeft" << QString() << 1.0 << QPointF(0.1, 0);
    QTest::newRow("actionPanRight") << "actionPanRight" << QString() << 1.0 << QPointF(-0.1, 0);
    QTest::newRow("actionPanDown") << "actionPanDown" << QString() << 1.0 << QPointF(0, 0.1);
    QTest::newRow("actionPanUp") << "actionPanUp" << QString() << 1.0 << QPointF(0, -0.1);
}

void tst_Torvane::buttons()
{
    QFETCH(QString, action);
    QFETCH(QString, before);
    QFETCH(double, scale);
    QFETCH(QPointF, shift);

    const ViewWindow fitted = viewWindowOf(*canvas);
    const double w = (fitted.right - fitted.left) * scale;
    const double h = (fitted.top - fitted.bottom) * scale;
    const double cx = (fitted.left + fitted.right) / 2 + w * shift.x();
    const double cy = (fitted.bottom + fitted.top) / 2 + h * shift.y();
    const ViewWindow expected { cx - w / 2, cx + w / 2, cy - h / 2, cy + h / 2 };

    if (!before.isEmpty())
        (canvas->*operations().value(before))();
    auto *toolBar = torvane->findChild<QToolBar *>("mainToolBar");
    QAction *toolBarAction = torvane->findChild<QAction *>(action);
    QWidget *button = toolBar->widgetForAction(toolBarAction);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    COMPARE_WINDOW(viewWindowOf(*canvas), expected);

    // One frame a command: not none, and not a second one after it. The command is triggered
    // on its own here, as a click also repaints the button, which a composed canvas's window
    // presents in frames of its own.
    QSignalSpy frames(canvas, &GLWidget::frameSwapped);
    settle(frames);
    toolBarAction->trigger();
    QVERIFY2(frames.wait(), "the command drew no frame");
    QVERIFY2(!frames.wait(100) && frames.count() == 1, "the command drew more than one frame");
    QCOMPARE(glErrors(*canvas), QStringList());
    VERIFY_SHOWN(canvas);
}

void tst_Torvane::rightClickOffersNoBlankEntry_data()
{
    QTest::addColumn<QString>("widget");

    QTest::newRow("toolbar") << "mainToolBar";
    QTest::newRow("menu bar") << "menuBar";
}

// The window's own context menu offered only the toolbar's hide toggle, which has no text;
// once unchecked, nothing would bring the toolbar back.
void tst_Torvane::rightClickOffersNoBlankEntry()
{
    QFETCH(QString, widget);

    auto *target = torvane->findChild<QWidget *>(widget);
    QVERIFY(target);
    QStringList offered;
    bool opened = false;
    // A menu runs its own event loop; look at it and pick its first entry, as a user might.
    QTimer::singleShot(0, this, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        opened = true;
        for (QAction *action : menu->actions())
            offered << action->text();
        if (!menu->actions().isEmpty())
            menu->actions().first()->trigger();
        menu->close();
    });
    const QPoint at = target->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &event);
    QCoreApplication::processEvents();

    QVERIFY2(!opened || !offered.contains(QString()),
             qPrintable("offered: \"" + offered.join("\", \"") + '"'));
    QVERIFY(torvane->findChild<QToolBar *>("mainToolBar")->isVisible());
}

QTEST_MAIN(tst_Torvane)
#include "tst_torvane.moc"
