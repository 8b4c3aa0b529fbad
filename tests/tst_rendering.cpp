#include "app/torvane.h"
#include "canvastest.h"

#include "model/objectmodel.h"

#include <QtTest>

#include <memory>

// Checks what reaches the screen. Positions are worked out in fractions of the picture, so the
// same cases hold at any device pixel ratio.
class tst_Rendering : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void background();
    void objectExtent_data();
    void objectExtent();
    void pictureSurvivesChanges_data();
    void pictureSurvivesChanges();
    void paintsCompileListOnce();
    void newModelIsRecompiled();

private:
    void open(const QSize &size);
    void makeChange(const QString &change);

    std::unique_ptr<QWidget> stage;
    TestPanel *panel = nullptr;
    std::unique_ptr<QWidget> host;
};

namespace {

// Samples one pixel with a small tolerance; on a mismatch says what it saw and keeps the
// image for a look.
bool colourMatches(const QImage &image, const QPoint &at, const QColor &expected,
                   QString *message)
{
    const QColor actual = image.pixelColor(at);
    const int tolerance = 12;
    if (std::abs(actual.red() - expected.red()) <= tolerance
        && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance) {
        return true;
    }
    *message = QStringLiteral("pixel (%1, %2): expected %3, got %4; image saved to %5")
                       .arg(at.x()).arg(at.y())
                       .arg(expected.name(), actual.name(), savedForALook(image));
    return false;
}

#define COMPARE_COLOUR(image, at, expected)                                                 \
    do {                                                                                    \
        QString message;                                                                    \
        QVERIFY2(colourMatches((image), (at), (expected), &message), qPrintable(message));  \
    } while (false)

} // namespace

void tst_Rendering::init()
{
    panel = new TestPanel;
    panel->setModel(new ObjectModel);
    stage = makeStage(panel);
}

void tst_Rendering::cleanup()
{
    if (panel->isValid())
        QCOMPARE(glErrors(*panel), QStringList());
    stage.reset();
    host.reset();
}

void tst_Rendering::open(const QSize &size)
{
    resizeOnStage(panel, size);
    stage->show();
    QVERIFY(QTest::qWaitForWindowExposed(stage.get()));
    QVERIFY2(QTest::qWaitFor([this] { return panel->isValid(); }),
             "no OpenGL context for the canvas");
}

void tst_Rendering::background()
{
    panel->setModel(new ObjectModel({}, {}));
    open(QSize(200, 150));
    QCOMPARE(drawnArea(panel->grabFrame()), QRect());
}

void tst_Rendering::objectExtent_data()
{
    QTest::addColumn<QSize>("first");
    QTest::addColumn<QSize>("size");

    QTest::newRow("400x300") << QSize() << QSize(400, 300);
    QTest::newRow("800x200") << QSize() << QSize(800, 200);
    QTest::newRow("odd 333x217") << QSize() << QSize(333, 217);
    // Nobody asks for these frames: the canvas must redraw after a resize by itself, also when
    // it shrinks, which X11 does not follow with an expose.
    QTest::newRow("shrunk to 200x150") << QSize(400, 300) << QSize(200, 150);
    QTest::newRow("grown to 400x300") << QSize(200, 150) << QSize(400, 300);
}

void tst_Rendering::objectExtent()
{
    QFETCH(QSize, first);
    QFETCH(QSize, size);

    // Nobody asks for the first frame either: a window's first expose must bring it.
    if (!first.isValid()) {
        open(size);
        VERIFY_SHOWN(panel);
        return;
    }
    // weston places a window where its first size fits on the output, so the window starts
    // at the larger size.
    open(size.expandedTo(first));
    resizeOnStage(panel, first);
    VERIFY_SHOWN(panel);
    resizeOnStage(panel, size);
    VERIFY_SHOWN(panel);
}

void tst_Rendering::pictureSurvivesChanges_data()
{
    QTest::addColumn<QString>("change");

    QTest::newRow("commands on a canvas never shown") << "hidden canvas";
    QTest::newRow("moved into another window") << "moved";
    QTest::newRow("window hidden and shown again") << "hidden window";
    QTest::newRow("shrunk after another canvas was dropped") << "dropped canvas";
    QTest::newRow("shrunk with a second canvas beside it") << "second canvas";
    QTest::newRow("zoomOut right after a resize") << "command after resize";
}

// The canvas shows its object where its view window puts it after each change: another canvas
// must not disturb its context or the frames it presents, a context that Qt replaces must get
// the list and the view again, and a window shown again must show its canvas again.
void tst_Rendering::pictureSurvivesChanges()
{
    QFETCH(QString, change);

    // In the same window, where neither can cover the other.
    TestPanel *second = nullptr;
    if (change == "second canvas") {
        second = new TestPanel(stage.get());
        second->setModel(new ObjectModel);
        second->setGeometry(2 * stageMargin + 560, stageMargin, 300, 200);
    }
    open(QSize(560, 380));
    if (second)
        VERIFY_SHOWN(second);
    QVERIFY(!drawnArea(panel->grabFrame()).isEmpty());

    makeChange(change);
    if (QTest::currentTestFailed())
        return;
    if (second) {
        second->resize(200, 150);
        VERIFY_SHOWN(second);
    }
    VERIFY_SHOWN(panel);
}

void tst_Rendering::makeChange(const QString &change)
{
    if (change == "hidden canvas") {
        TestPanel hidden;
        hidden.setModel(new ObjectModel);
        panel->makeCurrent();
        for (int i = 0; i < 30; ++i) {
            hidden.zoomOut();
            hidden.panLeft();
        }
    } else if (change == "moved") {
        host = makeStage(panel, Qt::cyan);
        resizeOnStage(panel, QSize(560, 380));
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.get()));
        QVERIFY(QTest::qWaitFor([this] { return panel->isValid(); }));
    } else if (change == "hidden window") {
        stage->hide();
        stage->show();
        QVERIFY(QTest::qWaitForWindowExposed(stage.get()));
    } else if (change == "dropped canvas") {
        std::unique_ptr<Torvane> dropped(new Torvane);
        dropped.reset();
        panel->resize(420, 280);
    } else if (change == "second canvas") {
        panel->resize(420, 280);
    } else {
        // Once the canvas knows its new size, but before the frame for it; the size is whole
        // device pixels at every scale the suite runs at.
        panel->resize(500, 352);
        panel->zoomOut();
        panel->drawFrame();
        COMPARE_WINDOW(viewWindowOf(*panel),
                       (ViewWindow { 85.546875, 214.453125, 92.125, 182.875 }));
    }
}

// The list is replayed, not rebuilt: a paint after the list's content is swapped out shows the
// swapped-in content.
void tst_Rendering::paintsCompileListOnce()
{
    open(QSize(200, 150));
    QVERIFY(!drawnArea(panel->grabFrame()).isEmpty());

    panel->makeCurrent();
    GLuint list = 0;
    for (GLuint name = 1; name < 64 && list == 0; ++name) {
        if (glIsList(name))
            list = name;
    }
    QVERIFY(list != 0);
    glNewList(list, GL_COMPILE);
    glEndList();
    panel->doneCurrent();

    QCOMPARE(drawnArea(panel->grabFrame()), QRect());
}

void tst_Rendering::newModelIsRecompiled()
{
    open(QSize(400, 300));
    const QImage first = panel->grabFrame();
    const QPointF centroid = toPixel(*panel, first, 150, 125);
    COMPARE_COLOUR(first, centroid.toPoint(), QColor(85, 85, 85));

    // Same place, one colour: only a fresh list can show it.
    const std::vector<Color3d> yellow(3, Color3d(1, 1, 0));
    panel->setModel(new ObjectModel(ObjectModel().vertexList(), yellow));
    const QImage second = panel->grabFrame();
    COMPARE_COLOUR(second, centroid.toPoint(), QColor(255, 255, 0));

    // The first list was released: only one remains.
    panel->makeCurrent();
    int lists = 0;
    for (GLuint name = 1; name < 64; ++name)
        lists += glIsList(name) ? 1 : 0;
    panel->doneCurrent();
    QCOMPARE(lists, 1);
}

QTEST_MAIN(tst_Rendering)
#include "tst_rendering.moc"
