#include "app/torvane.h"
#include "canvastest.h"
#include "model/objectmodel.h"

#include <QAccessible>
#include <QToolBar>
#include <QtTest>

// What a screen reader is told of the canvas, through Qt's own accessibility interfaces, the
// ones its platform bridges hand on. The keyboard's way through the window, as AT-SPI reports
// it, is screen_reader.py's to walk.
class tst_Accessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void focusedCanvasIsHeard();
    void moveIsToldOnce_data();
    void moveIsToldOnce();
    void canvasDescribesTheView_data();
    void canvasDescribesTheView();
    void canvasWithoutObject();

private:
    QWidget *button(int index) const;
    QStringList announced(const QString &description) const;
    void moveStep(const QString &move, int i);
    void endMove(const QString &move);

    std::unique_ptr<Torvane> torvane;
    GLPanel *canvas = nullptr;
};

namespace {

const QString fittedDescription = "Whole object in view. Zoom: 100% of the fitted view. "
                                  "Object centre: at the canvas centre.";

// What the canvas told screen readers since the last clear: its descriptions as they were
// when each change was sent, and the announcements it asked for.
struct Heard
{
    QObject *canvas = nullptr;
    QStringList descriptions;
    QStringList announcements;
} heard;

void listen(QAccessibleEvent *event)
{
    if (event->object() != heard.canvas)
        return;
    if (event->type() == QAccessible::DescriptionChanged)
        heard.descriptions << static_cast<QWidget *>(event->object())->accessibleDescription();
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    if (event->type() == QAccessible::Announcement)
        heard.announcements << static_cast<QAccessibleAnnouncementEvent *>(event)->message();
#endif
}

} // namespace

// What the canvas asks screen readers to announce of a change to that description: nothing
// while it has the focus, whose description they speak anyway, nor where Qt cannot announce.
QStringList tst_Accessibility::announced(const QString &description) const
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    if (!canvas->hasFocus())
        return { description };
#endif
    Q_UNUSED(description);
    return {};
}

// Qt tells screen readers nothing until one asks for its accessibility bridge.
void tst_Accessibility::initTestCase()
{
    QVERIFY2(QTest::qWaitFor(&QAccessible::isActive),
             "no screen reader session: run under tests/screen-reader-session");
}

void tst_Accessibility::init()
{
    torvane = std::make_unique<Torvane>();
    torvane->show();
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // Without a window manager nothing else gives it the keyboard. Activation focuses the
        // canvas, first in the window's order, as a viewer's picture takes the keys at once;
        // the cases start from the first command.
        torvane->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(torvane.get()));
        QTRY_COMPARE(torvane->focusWidget(), torvane->findChild<QWidget *>("glcanvas"));
        button(0)->setFocus(Qt::OtherFocusReason);
        QCOMPARE(torvane->focusWidget(), button(0));
    } else {
        // A headless compositor has no keyboard to give: the keys go straight to the window's
        // focus widget, which moves as it would in an active window.
        QVERIFY(QTest::qWaitForWindowExposed(torvane.get()));
        button(0)->setFocus(Qt::ActiveWindowFocusReason);
        QCOMPARE(torvane->focusWidget(), button(0));
    }
    canvas = torvane->findChild<GLPanel *>("glcanvas");
    QVERIFY(canvas);
    QVERIFY2(QTest::qWaitFor([this] { return canvas->isValid(); }),
             "no OpenGL context for the canvas");
    // The first resize has fitted the view.
    QTRY_COMPARE(canvas->accessibleDescription(), fittedDescription);
    heard = Heard { canvas, {}, {} };
    QAccessible::installUpdateHandler(listen);
}

void tst_Accessibility::cleanup()
{
    QAccessible::installUpdateHandler(nullptr);
    torvane.reset();
}

QWidget *tst_Accessibility::button(int index) const
{
    auto *toolBar = torvane->findChild<QToolBar *>("mainToolBar");
    return toolBar->widgetForAction(
            torvane->findChild<QAction *>(commands().at(index).actionName()));
}

// The focused canvas's own keys change its description, which screen readers speak for the
// focused object; an announcement on top would say it twice.
void tst_Accessibility::focusedCanvasIsHeard()
{
    canvas->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(torvane->focusWidget() == canvas);
    heard.descriptions.clear();
    QTest::keyClick(canvas, Qt::Key_Right);
    QCOMPARE(heard.descriptions, QStringList { canvas->accessibleDescription() });
    QCOMPARE(heard.announcements, announced(canvas->accessibleDescription()));
}

// A drag, a pinch or a run of wheel steps is one change: screen readers hear of it once it
// ends, while the description they read follows every step.
void tst_Accessibility::moveIsToldOnce_data()
{
    QTest::addColumn<QString>("move");

    QTest::newRow("drag") << "drag";
    QTest::newRow("wheel") << "wheel";
    QTest::newRow("pinch") << "pinch";
}

void tst_Accessibility::moveIsToldOnce()
{
    QFETCH(QString, move);

    QAccessibleInterface *picture = QAccessible::queryAccessibleInterface(canvas);
    QStringList read;
    for (int i = 0; i < 5; ++i) {
        moveStep(move, i);
        read << picture->text(QAccessible::Description);
    }
    QCOMPARE(heard.descriptions, QStringList());
    QCOMPARE(heard.announcements, QStringList());
    QCOMPARE(read.removeDuplicates(), 0);

    endMove(move);
    QTRY_COMPARE(heard.descriptions, QStringList { read.last() });
    QCOMPARE(canvas->accessibleDescription(), read.last());
    QCOMPARE(heard.announcements, announced(read.last()));
    QTest::qWait(500);
    QCOMPARE(heard.descriptions.size(), 1);
}

// Step i of a drag, a wheel run or a pinch, each of which changes the view.
void tst_Accessibility::moveStep(const QString &move, int i)
{
    const QPointF at(canvas->width() / 3.0, canvas->height() / 3.0);
    if (move == "drag" && i == 0)
        sendMouse(canvas, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    else if (move == "drag")
        sendMouse(canvas, QEvent::MouseMove, at + QPointF(i * 20, 0), Qt::NoButton,
                  Qt::LeftButton);
    else if (move == "wheel")
        sendWheel(canvas, at, QPoint(0, 120));
    else
        sendPinch(canvas, Qt::ZoomNativeGesture, at, 0.1);
}

// How each move ends: a drag with its release, a pinch with its gesture's end, and a wheel
// run when the wheel rests.
void tst_Accessibility::endMove(const QString &move)
{
    if (move == "drag")
        sendMouse(canvas, QEvent::MouseButtonRelease, {}, Qt::LeftButton, Qt::NoButton);
    else if (move == "pinch")
        sendPinch(canvas, Qt::EndNativeGesture, {}, 0);
}

void tst_Accessibility::canvasDescribesTheView_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("expected");

    // The wording of every case is tst_canvasdescription's; these follow the real canvas.
    const QString partly = "Object partly in view. ";
    QTest::newRow("fitted") << QStringList { "ZoomIn", "Fit" } << fittedDescription;
    QTest::newRow("ZoomIn") << QStringList { "ZoomIn" }
                            << partly + "Zoom: 111% of the fitted view. "
                                    + "Object centre: at the canvas centre.";
    QTest::newRow("panRight, panUp")
            << QStringList { "PanRight", "PanUp" }
            << partly + "Zoom: 100% of the fitted view. "
                    + "Object centre: 10% of the width right, 10% of the height up.";
}

void tst_Accessibility::canvasDescribesTheView()
{
    QFETCH(QStringList, commands);
    QFETCH(QString, expected);

    for (const QString &command : commands) {
        const QString before = canvas->accessibleDescription();
        heard.descriptions.clear();
        heard.announcements.clear();
        run(*canvas, command);
        const QString now = canvas->accessibleDescription();
        // Told once when it changes, and never for nothing.
        QCOMPARE(heard.descriptions, now == before ? QStringList() : QStringList { now });
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
        QCOMPARE(heard.announcements, QStringList { now });
#endif
    }
    QCOMPARE(canvas->accessibleDescription(), expected);
    QAccessibleInterface *picture = QAccessible::queryAccessibleInterface(canvas);
    QCOMPARE(picture->text(QAccessible::Description), expected);

    // A resize refits the view, and says so.
    heard.descriptions.clear();
    torvane->resize(torvane->size() + QSize(40, 30));
    QTRY_COMPARE(canvas->accessibleDescription(), fittedDescription);
    QCOMPARE(heard.descriptions,
             expected == fittedDescription ? QStringList() : QStringList { fittedDescription });
}

void tst_Accessibility::canvasWithoutObject()
{
    canvas->setModel(new ObjectModel({}, {}));
    QCOMPARE(canvas->accessibleDescription(), QString("No object to show."));
    QCOMPARE(heard.descriptions, QStringList { "No object to show." });
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
