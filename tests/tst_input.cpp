#include "canvastest.h"

#include "model/objectmodel.h"

#include <QPushButton>
#include <QTouchEvent>
#include <QtTest>

#include <limits>

Q_DECLARE_METATYPE(ViewWindow)

namespace {

// The default object fitted to a canvas of 400 x 300: 0.275 model units a pixel both ways.
const ViewWindow fitted { 95, 205, 96.25, 178.75 };
const QPointF centre(200, 150);

} // namespace

// The hand's ways of moving the view, sent to the canvas as Qt delivers them: the wheel, drags,
// pinches, touch and keys, each against the view it must leave.
class tst_Input : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void wheel_data();
    void wheel();
    void drag_data();
    void drag();
    void dragOutlivesResize();
    void collapsedCanvas();
    void pinch_data();
    void pinch();
    void touch_data();
    void touch();
    void focus();

private:
    TestPanel *canvas = nullptr;
    std::unique_ptr<QWidget> stage;
};

void tst_Input::init()
{
    canvas = new TestPanel;
    canvas->setModel(new ObjectModel);
    stage = makeStage(canvas);
    resizeOnStage(canvas, QSize(400, 300));
    stage->show();
    QVERIFY(QTest::qWaitForWindowExposed(stage.get()));
    QVERIFY2(QTest::qWaitFor([this] { return canvas->isValid(); }),
             "no OpenGL context for the canvas");
    QTRY_VERIFY(sameWindow(viewWindowOf(*canvas), fitted));
}

void tst_Input::cleanup()
{
    stage.reset();
}

void tst_Input::wheel_data()
{
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<QPoint>("pixels");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<ViewWindow>("expected");

    using Steps = QList<int>;
    const int none = Qt::NoModifier;
    const ViewWindow zoomedIn { 100.5, 199.5, 100.375, 174.625 };
    QTest::newRow("step away, at the centre: ZoomIn's view")
            << centre << Steps { 120 } << QPoint() << none << false << zoomedIn;
    QTest::newRow("step away, inverted") << centre << Steps { -120 } << QPoint() << none << true
                                         << zoomedIn;
    QTest::newRow("step towards: the inverse of a step away")
            << centre << Steps { -120 } << QPoint() << none << false
            << ViewWindow { 88.889, 211.111, 91.667, 183.333 };
    QTest::newRow("half steps, in and out, at a corner")
            << QPointF(400, 300) << Steps { 60, 60, -60, -60 } << QPoint() << none << false
            << fitted;
    QTest::newRow("no delta") << centre << Steps { 0 } << QPoint() << none << false << fitted;
    // A touchpad's scroll moves the picture with the fingers: 40 pixels right, 30 up.
    QTest::newRow("touchpad scroll pans")
            << centre << Steps { 0 } << QPoint(40, -30) << none << false
            << ViewWindow { 84, 194, 88, 170.5 };
    QTest::newRow("touchpad scroll with Ctrl zooms")
            << centre << Steps { 120 } << QPoint(0, 30) << int(Qt::ControlModifier) << false
            << zoomedIn;
}

void tst_Input::wheel()
{
    QFETCH(QPointF, at);
    QFETCH(QList<int>, steps);
    QFETCH(QPoint, pixels);
    QFETCH(int, modifiers);
    QFETCH(bool, inverted);
    QFETCH(ViewWindow, expected);

    for (int step : steps) {
        sendWheel(canvas, at, QPoint(0, step), pixels, Qt::KeyboardModifiers(modifiers),
                  inverted);
    }
    COMPARE_WINDOW(viewWindowOf(*canvas), expected);
    VERIFY_SHOWN(canvas);
}

void tst_Input::drag_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QList<QPointF>>("path");
    QTest::addColumn<ViewWindow>("expected");

    using Path = QList<QPointF>;
    // 40 pixels right and 30 down: the picture follows, as PanRight and PanDown move it.
    const ViewWindow followed { 84, 194, 104.5, 187 };
    QTest::newRow("left button") << int(Qt::LeftButton)
                                 << Path { { 100, 100 }, { 140, 130 } } << followed;
    QTest::newRow("middle button") << int(Qt::MiddleButton)
                                   << Path { { 100, 100 }, { 140, 130 } } << followed;
    QTest::newRow("right button drags nothing")
            << int(Qt::RightButton) << Path { { 100, 100 }, { 140, 130 } } << fitted;
    QTest::newRow("a click") << int(Qt::LeftButton) << Path { { 100, 100 } } << fitted;
    Path zigzag { { 100, 100 } };
    for (int i = 1; i <= 300; ++i)
        zigzag << QPointF(100 + (i % 7) * 3.3 - i * 0.1, 100 + (i % 5) * 1.7);
    zigzag << QPointF(140, 130);
    QTest::newRow("hundreds of steps") << int(Qt::LeftButton) << zigzag << followed;
}

void tst_Input::drag()
{
    QFETCH(int, button);
    QFETCH(QList<QPointF>, path);
    QFETCH(ViewWindow, expected);

    const auto pressed = Qt::MouseButton(button);
    const bool moved = !sameWindow(expected, fitted);
    QSignalSpy frames(canvas, &GLWidget::frameSwapped);
    settle(frames);
    sendMouse(canvas, QEvent::MouseButtonPress, path.first(), pressed, pressed);
    if (moved)
        QCOMPARE(canvas->cursor().shape(), Qt::ClosedHandCursor);
    for (const QPointF &at : path.mid(1))
        sendMouse(canvas, QEvent::MouseMove, at, Qt::NoButton, pressed);
    sendMouse(canvas, QEvent::MouseButtonRelease, path.last(), pressed, Qt::NoButton);
    QCOMPARE(canvas->cursor().shape(), Qt::ArrowCursor);
    COMPARE_WINDOW(viewWindowOf(*canvas), expected);
    // However many moves, one frame shows the last; a click draws none.
    QVERIFY(moved == frames.wait(1000));
    QVERIFY2(!frames.wait(200) && frames.count() == (moved ? 1 : 0), "more frames than moves");
}

// A second button leaves the drag to the first; a resize refits, and the drag goes on from
// the new view, holding what is now under the pointer.
void tst_Input::dragOutlivesResize()
{
    sendMouse(canvas, QEvent::MouseButtonPress, { 100, 100 }, Qt::LeftButton, Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseMove, { 140, 130 }, Qt::NoButton, Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseButtonPress, { 140, 130 }, Qt::RightButton,
              Qt::LeftButton | Qt::RightButton);
    sendMouse(canvas, QEvent::MouseButtonRelease, { 140, 130 }, Qt::RightButton,
              Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseMove, { 140, 130 }, Qt::NoButton, Qt::LeftButton);
    COMPARE_WINDOW(viewWindowOf(*canvas), (ViewWindow { 84, 194, 104.5, 187 }));

    canvas->makeCurrent();
    canvas->resizeGL(400, 300);
    COMPARE_WINDOW(viewWindowOf(*canvas), fitted);
    sendMouse(canvas, QEvent::MouseMove, { 180, 160 }, Qt::NoButton, Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseButtonRelease, { 180, 160 }, Qt::LeftButton, Qt::NoButton);
    COMPARE_WINDOW(viewWindowOf(*canvas), (ViewWindow { 84, 194, 104.5, 187 }));
}

// A collapsed side counts as one pixel: the hand still leaves a view GL can project.
void tst_Input::collapsedCanvas()
{
    canvas->resize(0, 0);
    sendWheel(canvas, { 0, 0 }, QPoint(0, 120));
    sendWheel(canvas, { 0, 0 }, QPoint(), QPoint(40, 30));
    sendMouse(canvas, QEvent::MouseButtonPress, { 0, 0 }, Qt::LeftButton, Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseMove, { 3, 4 }, Qt::NoButton, Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseButtonRelease, { 3, 4 }, Qt::LeftButton, Qt::NoButton);
    const ViewWindow view = viewWindowOf(*canvas);
    QVERIFY2(isUsableRange(view.left, view.right) && isUsableRange(view.bottom, view.top),
             qPrintable(toString(view)));
}

void tst_Input::pinch_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<ViewWindow>("expected");

    using Values = QList<double>;
    // A quarter larger about the centre shows 0.8 of the view.
    QTest::newRow("a quarter larger") << Values { 0.25 } << ViewWindow { 106, 194, 104.5, 170.5 };
    QTest::newRow("larger, then back") << Values { 0.25, -0.2 } << fitted;
    QTest::newRow("no change") << Values { 0.0 } << fitted;
    QTest::newRow("scale 0") << Values { -1.0 } << fitted;
    QTest::newRow("negative scale") << Values { -2.5 } << fitted;
    QTest::newRow("not a number") << Values { std::numeric_limits<double>::quiet_NaN() }
                                  << fitted;
    QTest::newRow("infinite") << Values { std::numeric_limits<double>::infinity() } << fitted;
}

void tst_Input::pinch()
{
    QFETCH(QList<double>, values);
    QFETCH(ViewWindow, expected);

    sendPinch(canvas, Qt::BeginNativeGesture, centre, 0);
    for (double value : values)
        sendPinch(canvas, Qt::ZoomNativeGesture, centre, value);
    sendPinch(canvas, Qt::EndNativeGesture, centre, 0);
    COMPARE_WINDOW(viewWindowOf(*canvas), expected);
}

void tst_Input::touch_data()
{
    QTest::addColumn<QList<QPointF>>("first");
    QTest::addColumn<QList<QPointF>>("second");
    QTest::addColumn<ViewWindow>("expected");

    using Path = QList<QPointF>;
    QTest::newRow("one finger drags")
            << Path { { 100, 100 }, { 120, 115 }, { 140, 130 } } << Path()
            << ViewWindow { 84, 194, 104.5, 187 };
    // Fingers twice as far apart about the centre show half the view.
    QTest::newRow("two fingers pinch")
            << Path { { 150, 150 }, { 100, 150 } } << Path { { 250, 150 }, { 300, 150 } }
            << ViewWindow { 122.5, 177.5, 116.875, 158.125 };
    // Their centre moves 40 pixels right: the picture moves with it.
    QTest::newRow("two fingers pinch and move")
            << Path { { 150, 150 }, { 140, 150 } } << Path { { 250, 150 }, { 340, 150 } }
            << ViewWindow { 117, 172, 116.875, 158.125 };
    QTest::newRow("two fingers start at one point")
            << Path { { 200, 150 }, { 150, 150 } } << Path { { 200, 150 }, { 250, 150 } }
            << fitted;
    QTest::newRow("two fingers meet")
            << Path { { 150, 150 }, { 200, 150 } } << Path { { 250, 150 }, { 200, 150 } }
            << fitted;
}

void tst_Input::touch()
{
    QFETCH(QList<QPointF>, first);
    QFETCH(QList<QPointF>, second);
    QFETCH(ViewWindow, expected);

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    static QPointingDevice *screen = QTest::createTouchDevice();
#else
    static QTouchDevice *screen = QTest::createTouchDevice();
#endif
    auto press = QTest::touchEvent(canvas, screen);
    press.press(0, first.at(0).toPoint(), canvas);
    if (!second.isEmpty())
        press.press(1, second.at(0).toPoint(), canvas);
    press.commit();
    for (int i = 1; i < first.size(); ++i) {
        auto move = QTest::touchEvent(canvas, screen);
        move.move(0, first.at(i).toPoint(), canvas);
        if (!second.isEmpty())
            move.move(1, second.at(i).toPoint(), canvas);
        move.commit();
    }
    auto release = QTest::touchEvent(canvas, screen);
    release.release(0, first.last().toPoint(), canvas);
    if (!second.isEmpty())
        release.release(1, second.last().toPoint(), canvas);
    release.commit();
    COMPARE_WINDOW(viewWindowOf(*canvas), expected);
}

// A click gives the canvas the keys without marking it; Tab gives them and shows it. Only
// X11 here gives a window the keyboard: on a headless compositor, Tab still reaches it.
void tst_Input::focus()
{
    // In the stage's room below the canvas, clear of the picture.
    auto *before = new QPushButton(QStringLiteral("before"), stage.get());
    before->move(canvas->geometry().bottomLeft() + QPoint(0, 2));
    before->show();
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        before->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(before, Qt::Key_Tab);
        QCOMPARE(stage->focusWidget(), canvas);
        return;
    }
    stage->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(stage.get()));
    before->setFocus(Qt::OtherFocusReason);
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    QTRY_VERIFY(canvas->hasFocus());
    const QString marked = misplacement(*canvas, canvas->grabFrame());
    QVERIFY2(marked.isEmpty(), qPrintable("a click marked the canvas: " + marked));

    before->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(before, Qt::Key_Tab);
    QTRY_VERIFY(canvas->hasFocus());
    const QImage framed = canvas->grabFrame();
    const QRgb highlight = canvas->palette().color(QPalette::Highlight).rgb();
    QCOMPARE(framed.pixel(0, framed.height() / 2) & 0xffffff, highlight & 0xffffff);
    QCOMPARE(framed.pixel(framed.width() / 2, framed.height() - 1) & 0xffffff,
             highlight & 0xffffff);
    QCOMPARE(glErrors(*canvas), QStringList());
}

QTEST_MAIN(tst_Input)
#include "tst_input.moc"
