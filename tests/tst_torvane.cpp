#include "app/torvane.h"
#include "canvastest.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

class tst_Torvane : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void canvasFillsTheWindow();
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

// The window opens at 600 x 400, the canvas across its width inside an 11-pixel border and
// between the toolbar and the status bar, showing the object before any command: a canvas
// that is never exposed shows nothing on the screen.
void tst_Torvane::canvasFillsTheWindow()
{
    QCOMPARE(torvane->size(), QSize(600, 400));
    const QRect canvasArea(canvas->mapTo(torvane.get(), QPoint()), canvas->size());
    const QRect toolBar = torvane->findChild<QToolBar *>("mainToolBar")->geometry();
    QCOMPARE(canvasArea.left(), 11);
    QCOMPARE(canvasArea.right(), 600 - 11 - 1);
    QCOMPARE(canvasArea.top(), toolBar.bottom() + 1 + 11);
    QCOMPARE(canvasArea.bottom(), torvane->statusBar()->geometry().top() - 1 - 11);
    VERIFY_SHOWN(canvas);
}

void tst_Torvane::buttons_data()
{
    QTest::addColumn<int>("index");

    for (int i = 0; i < static_cast<int>(commands().size()); ++i)
        QTest::newRow(commands().at(i).text) << i;
}

// Each button runs its own command on the canvas, from a zoomed view so that Fit too changes
// it; the commands' results are tst_glpanel's to check.
void tst_Torvane::buttons()
{
    QFETCH(int, index);
    const Command &command = commands().at(index);

    canvas->zoomIn();
    const ViewWindow before = viewWindowOf(*canvas);
    auto *toolBar = torvane->findChild<QToolBar *>("mainToolBar");
    QAction *toolBarAction = torvane->findChild<QAction *>(command.actionName());
    QWidget *button = toolBar->widgetForAction(toolBarAction);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    const ViewWindow clicked = viewWindowOf(*canvas);
    QVERIFY2(!sameWindow(clicked, before), "the view did not change");
    canvas->fitView();
    canvas->zoomIn();
    (canvas->*command.operation)();
    COMPARE_WINDOW(clicked, viewWindowOf(*canvas));

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
