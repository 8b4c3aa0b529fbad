#include "app/torvane.h"
#include "canvastest.h"
#include "seeninput.h"

#include <QToolBar>
#include <QtTest>


// The real main window moved by a real pointer and keyboard: the X server's test extension
// (XTEST, through xdotool) presses, drags, turns the wheel and types over it, as a hand would.
// Whatever surface draws the canvas, it gets the input as a widget does, and an event filter on
// it sees every event.
class tst_RealInput : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void wheelZoomsAboutThePointer();
    void dragMovesThePicture();
    void keys_data();
    void keys();

private:
    void xdotool(const QStringList &arguments);
    QStringList pointerAt(const QPointF &local) const;

    std::unique_ptr<Torvane> torvane;
    GLPanel *canvas = nullptr;
    SeenInput seen;
};

void tst_RealInput::init()
{
    torvane = std::make_unique<Torvane>();
    torvane->show();
    // Without a window manager nothing else gives the window the keyboard.
    torvane->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(torvane.get()));
    canvas = torvane->findChild<GLPanel *>("glcanvas");
    QVERIFY(canvas);
    fillWithKey(canvas->parentWidget());
    QVERIFY2(QTest::qWaitFor([this] { return canvas->isValid(); }),
             "no OpenGL context for the canvas");
    VERIFY_SHOWN(canvas);
    seen.clear();
    canvas->installEventFilter(&seen);
}

void tst_RealInput::cleanup()
{
    // The pointer leaves the window, and no button stays down for the next case.
    xdotool({ "mouseup", "1" });
    xdotool({ "mousemove", "0", "0" });
    torvane.reset();
}

void tst_RealInput::xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    QVERIFY2(process.waitForFinished(10000) && process.exitCode() == 0,
             qPrintable(process.readAllStandardError()));
}

// The X server counts in device pixels from the screen's origin.
QStringList tst_RealInput::pointerAt(const QPointF &local) const
{
    const QPoint device =
            (QPointF(canvas->mapToGlobal(local.toPoint())) * canvas->devicePixelRatioF())
                    .toPoint();
    return { "mousemove", "--sync", QString::number(device.x()), QString::number(device.y()) };
}

void tst_RealInput::wheelZoomsAboutThePointer()
{
    const QPointF at(canvas->width() * 0.3, canvas->height() * 0.6);
    xdotool(pointerAt(at));
    const ViewWindow before = viewWindowOf(*canvas);
    xdotool({ "click", "4" });
    QTRY_VERIFY(seen.types.contains(QEvent::Wheel));
    const ViewWindow after = viewWindowOf(*canvas);
    QCOMPARE(after.right - after.left, 0.9 * (before.right - before.left));
    // Where the pointer is, the same point of the plane before and after, within the pixel
    // the server put the pointer on.
    QVERIFY(drift(*canvas, before, at, after, at) < canvas->devicePixelRatioF());
    VERIFY_SHOWN(canvas);
}

void tst_RealInput::dragMovesThePicture()
{
    const QPointF from(canvas->width() * 0.4, canvas->height() * 0.5);
    const QPointF to = from + QPointF(canvas->width() * 0.2, -canvas->height() * 0.1);
    const ViewWindow before = viewWindowOf(*canvas);
    xdotool(pointerAt(from));
    xdotool({ "mousedown", "1" });
    // In steps, as a hand moves, and out past the window's edge and back.
    for (int i = 1; i <= 4; ++i)
        xdotool(pointerAt(from + (to - from) * i / 4.0));
    xdotool(pointerAt(QPointF(canvas->width() + 60, canvas->height() + 60)));
    xdotool(pointerAt(to));
    xdotool({ "mouseup", "1" });
    QTRY_VERIFY(seen.types.contains(QEvent::MouseButtonRelease));
    QVERIFY(seen.types.contains(QEvent::MouseButtonPress)
            && seen.types.contains(QEvent::MouseMove));

    // The point pressed on is where the button came up.
    const ViewWindow after = viewWindowOf(*canvas);
    const double moved =
            drift(*canvas, before, seen.positions.first(), after, seen.positions.last());
    QVERIFY2(moved <= 0.5, qPrintable(QStringLiteral("%1 device pixels off").arg(moved)));
    QVERIFY(!sameWindow(before, after));
    VERIFY_SHOWN(canvas);
}

void tst_RealInput::keys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("onCanvas");

    // The window's shortcuts, wherever the focus is, and the focused canvas's own keys.
    QTest::newRow("Ctrl+Plus") << "ctrl+plus" << "ZoomIn" << false;
    QTest::newRow("Ctrl+=") << "ctrl+equal" << "ZoomIn" << false;
    QTest::newRow("Ctrl+Minus") << "ctrl+minus" << "ZoomOut" << false;
    QTest::newRow("Ctrl+0") << "ctrl+0" << "Fit" << false;
    QTest::newRow("Left") << "Left" << "PanLeft" << true;
    QTest::newRow("Right") << "Right" << "PanRight" << true;
    QTest::newRow("Down") << "Down" << "PanDown" << true;
    QTest::newRow("Up") << "Up" << "PanUp" << true;
    QTest::newRow("Plus") << "plus" << "ZoomIn" << true;
    QTest::newRow("Minus") << "minus" << "ZoomOut" << true;
    QTest::newRow("Home") << "Home" << "Fit" << true;
}

// From a zoomed view, so that Fit too changes it: the keys do what the command does.
void tst_RealInput::keys()
{
    QFETCH(QString, keys);
    QFETCH(QString, command);
    QFETCH(bool, onCanvas);

    if (onCanvas) {
        // A click gives the canvas the keyboard, and moves nothing.
        torvane->findChild<QToolBar *>("mainToolBar")->setFocus(Qt::OtherFocusReason);
        xdotool(pointerAt(QPointF(canvas->width() / 2.0, canvas->height() / 2.0)));
        xdotool({ "click", "1" });
        QTRY_VERIFY(canvas->hasFocus());
    } else {
        auto *toolBar = torvane->findChild<QToolBar *>("mainToolBar");
        toolBar->widgetForAction(toolBar->actions().constFirst())->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(!canvas->hasFocus());
    }
    canvas->fitView();
    canvas->zoomIn();
    run(*canvas, command);
    const ViewWindow expected = viewWindowOf(*canvas);
    canvas->fitView();
    canvas->zoomIn();
    xdotool({ "key", "--clearmodifiers", keys });
    QTRY_VERIFY(sameWindow(viewWindowOf(*canvas), expected));
    QCOMPARE(seen.types.contains(QEvent::KeyPress), onCanvas);
    VERIFY_SHOWN(canvas);
}

QTEST_MAIN(tst_RealInput)
#include "tst_realinput.moc"
