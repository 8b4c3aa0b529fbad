#include "app/torvane.h"
#include "canvastest.h"
#include "model/objectmodel.h"

#include <QAccessible>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

// What a keyboard alone and a screen reader get from the main window, through Qt's own
// accessibility interfaces, the ones its platform bridges hand on.
class tst_Accessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void keysReachEveryCommand_data();
    void keysReachEveryCommand();
    void canvasDescribesTheView_data();
    void canvasDescribesTheView();
    void canvasWithoutObject();

private:
    QWidget *button(int index) const;
    QString focusedCommand() const;

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
        // first command.
        torvane->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(torvane.get()));
        QTRY_COMPARE(torvane->focusWidget(), button(0));
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

QString tst_Accessibility::focusedCommand() const
{
    auto *focused = qobject_cast<QToolButton *>(torvane->focusWidget());
    return focused ? focused->text() : QStringLiteral("no command");
}

void tst_Accessibility::keysReachEveryCommand_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("step");

    // From Fit, seven presses visit every command in toolbar order and come back to Fit;
    // Space runs each on the way.
    QTest::newRow("Tab") << int(Qt::Key_Tab) << int(Qt::NoModifier) << 1;
    QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << -1;
    QTest::newRow("Right") << int(Qt::Key_Right) << int(Qt::NoModifier) << 1;
    QTest::newRow("Left") << int(Qt::Key_Left) << int(Qt::NoModifier) << -1;
}

void tst_Accessibility::keysReachEveryCommand()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, step);

    QStringList ran;
    QObject receiver;
    for (QAction *action : torvane->findChild<QToolBar *>("mainToolBar")->actions()) {
        connect(action, &QAction::triggered, &receiver,
                [&ran, action] { ran << action->text(); });
    }
    const int count = static_cast<int>(commands().size());
    for (int i = 1; i <= count; ++i) {
        QTest::keyClick(torvane->focusWidget(), Qt::Key(key),
                        Qt::KeyboardModifiers(modifiers));
        const QString expected = commands().at((count + i * step) % count).text;
        QCOMPARE(focusedCommand(), expected);
        // Space runs the focused command alone, and the focus stays for the next press.
        ran.clear();
        QTest::keyClick(torvane->focusWidget(), Qt::Key_Space);
        QCOMPARE(ran, QStringList { expected });
        QCOMPARE(focusedCommand(), expected);
    }
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
