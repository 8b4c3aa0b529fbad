#include "app/torvane.h"
#include "bench/objectpicture.h"
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
    void panMovesObject_data();
    void panMovesObject();
    void pictureOutlivesContextChanges_data();
    void pictureOutlivesContextChanges();
    void otherCanvasesLeavePictureAlone_data();
    void otherCanvasesLeavePictureAlone();
    void commandRightAfterResizeHolds();
    void mainWindowShowsObject();
    void paintsCompileListOnce();
    void newModelIsRecompiled();

private:
    void open(const QSize &size);

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
    QString name = QStringLiteral("zentrile-%1-%2.png")
                           .arg(QTest::currentTestFunction(), QTest::currentDataTag());
    const QString file = QDir::temp().filePath(name.replace(' ', '_'));
    image.save(file);
    *message = QStringLiteral("pixel (%1, %2): expected %3, got %4; image saved to %5")
                       .arg(at.x()).arg(at.y()).arg(expected.name(), actual.name(), file);
    return false;
}

#define COMPARE_COLOUR(image, at, expected)                                                 \
    do {                                                                                    \
        QString message;                                                                    \
        QVERIFY2(colourMatches((image), (at), (expected), &message), qPrintable(message));  \
    } while (false)

// Points of the default object and the colours expected there: just inside each corner,
// weighted 0.9 towards it, the centroid, and the background outside.
const QList<QPair<QPointF, QColor>> &samples()
{
    static const QPointF red(100, 100), green(200, 100), blue(150, 175);
    static const QList<QPair<QPointF, QColor>> points {
        { QPointF(110, 170), QColor(255, 255, 255) },
        { red * 0.9 + (green + blue) * 0.05, QColor(230, 13, 13) },
        { green * 0.9 + (red + blue) * 0.05, QColor(13, 230, 13) },
        { blue * 0.9 + (red + green) * 0.05, QColor(13, 13, 230) },
        { (red + green + blue) / 3, QColor(85, 85, 85) },
    };
    return points;
}

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
    QTest::newRow("200x200") << QSize() << QSize(200, 200);
    QTest::newRow("800x200") << QSize() << QSize(800, 200);
    QTest::newRow("100x400") << QSize() << QSize(100, 400);
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

    if (!first.isValid()) {
        open(size);
        const QImage image = panel->grabFrame();
        QVERIFY2(misplacement(*panel, image).isEmpty(), qPrintable(misplacement(*panel, image)));
        return;
    }
    open(first);
    QVERIFY(!drawnArea(panel->grabFrame()).isEmpty());
    resizeOnStage(panel, size);
    VERIFY_SHOWN(panel);
}

void tst_Rendering::panMovesObject_data()
{
    QTest::addColumn<QString>("pan");
    QTest::addColumn<QPointF>("shift");

    // Shifts in fractions of the canvas; image y grows downwards.
    QTest::newRow("panLeft") << "panLeft" << QPointF(-0.1, 0);
    QTest::newRow("panRight") << "panRight" << QPointF(0.1, 0);
    QTest::newRow("panDown") << "panDown" << QPointF(0, 0.1);
    QTest::newRow("panUp") << "panUp" << QPointF(0, -0.1);
}

void tst_Rendering::panMovesObject()
{
    QFETCH(QString, pan);
    QFETCH(QPointF, shift);

    open(QSize(400, 300));
    // Shrink the object first so that a pan moves all of it within the canvas.
    for (int i = 0; i < 3; ++i)
        panel->zoomOut();
    const QRectF before = drawnArea(panel->grabFrame());
    (panel->*operations().value(pan))();
    const QImage image = panel->grabFrame();
    const QRectF after = drawnArea(image);
    // In fractions of the canvas, give or take a device pixel at each edge: a pan by a fraction
    // of a pixel moves where the edges round.
    const QSizeF canvas = image.size();
    const QPointF moved((after.center().x() - before.center().x()) / canvas.width(),
                        (after.center().y() - before.center().y()) / canvas.height());
    const QSizeF grown((after.width() - before.width()) / canvas.width(),
                       (after.height() - before.height()) / canvas.height());
    const double pixel = 2.5 / std::min(canvas.width(), canvas.height());
    QVERIFY2(std::abs(moved.x() - shift.x()) <= pixel && std::abs(moved.y() - shift.y()) <= pixel
                     && std::abs(grown.width()) <= pixel && std::abs(grown.height()) <= pixel,
             qPrintable(QStringLiteral("moved by (%1, %2) and grew by (%3, %4) of the canvas; "
                                       "expected (%5, %6) and no growth")
                                .arg(moved.x()).arg(moved.y()).arg(grown.width())
                                .arg(grown.height()).arg(shift.x()).arg(shift.y())));
}

void tst_Rendering::pictureOutlivesContextChanges_data()
{
    QTest::addColumn<QString>("change");

    QTest::newRow("commands on a canvas never shown") << "hidden canvas";
    QTest::newRow("moved into another window") << "moved";
    QTest::newRow("window hidden and shown again") << "hidden window";
}

// The fitted picture must stay as it was: another canvas without a context must not load its
// view into ours, a context that Qt replaces must get the list and the view again, and a
// window shown again must show its canvas again.
void tst_Rendering::pictureOutlivesContextChanges()
{
    QFETCH(QString, change);

    open(QSize(400, 300));
    const QRect fitted = drawnArea(panel->grabFrame());
    QVERIFY(!fitted.isEmpty());

    if (change == "hidden canvas") {
        TestPanel hidden;
        hidden.setModel(new ObjectModel);
        panel->makeCurrent();
        for (int i = 0; i < 30; ++i) {
            hidden.zoomOut();
            hidden.panLeft();
        }
    } else if (change == "moved") {
        // Same size, so that no resize follows the new context.
        host = makeStage(panel, Qt::cyan);
        resizeOnStage(panel, QSize(400, 300));
        panel->show();
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.get()));
        QVERIFY(QTest::qWaitFor([this] { return panel->isValid(); }));
    } else {
        stage->hide();
        QTRY_VERIFY(!stage->isVisible());
        stage->show();
        QVERIFY(QTest::qWaitForWindowExposed(stage.get()));
    }
    QImage image;
    QTRY_COMPARE(drawnArea(image = shownPicture(panel)), fitted);
}

void tst_Rendering::otherCanvasesLeavePictureAlone_data()
{
    QTest::addColumn<QString>("other");

    QTest::newRow("dropped without being shown") << "dropped";
    QTest::newRow("shown beside it") << "shown";
}

// Each canvas keeps its own picture while others come and go: the shown one is shrunk, which
// needs a new frame at the new size, after another canvas was made. Two canvases shown at
// once share a window, where neither can cover the other.
void tst_Rendering::otherCanvasesLeavePictureAlone()
{
    QFETCH(QString, other);

    open(QSize(560, 380));
    QVERIFY(!drawnArea(panel->grabFrame()).isEmpty());
    TestPanel *second = nullptr;
    if (other == "dropped") {
        std::unique_ptr<Torvane> dropped(new Torvane);
    } else {
        second = new TestPanel(stage.get());
        second->setModel(new ObjectModel);
        second->setGeometry(QRect(QPoint(2 * stageMargin + 560, stageMargin), QSize(300, 200)));
        stage->resize(stage->size() + QSize(stageMargin + 300, 0));
        second->show();
        QVERIFY(QTest::qWaitFor([second] { return second->isValid(); }));
        VERIFY_SHOWN(second);
    }
    panel->resize(420, 280);
    VERIFY_SHOWN(panel);
    if (second) {
        second->resize(200, 150);
        VERIFY_SHOWN(second);
        VERIFY_SHOWN(panel);
    }
}

// A command that comes after the canvas learnt its new size, but before the frame for it, acts
// on the view fitted to that size; the frame must not refit it.
void tst_Rendering::commandRightAfterResizeHolds()
{
    open(QSize(560, 380));
    QVERIFY(!drawnArea(panel->grabFrame()).isEmpty());
    panel->resize(500, 350);
    panel->zoomOut();
    panel->grabFrame();
    const ViewWindow zoomedOut { 85.179, 214.821, 92.125, 182.875 };
    COMPARE_WINDOW(viewWindowOf(*panel), zoomedOut);
    VERIFY_SHOWN(panel);
}

// What the display server shows of the real main window, not only what the canvas rendered:
// a canvas that is never exposed shows nothing there. The same check as the start-up benchmark
// makes on the frames it reads back.
void tst_Rendering::mainWindowShowsObject()
{
    Torvane window;
    auto *canvas = window.findChild<GLPanel *>("glcanvas");
    QVERIFY(canvas);
    fillWithKey(canvas->parentWidget());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const auto showsObject = [](const QImage &image) {
        ObjectPicture picture;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb c = image.pixel(x, y);
                picture.add(x, y, qRed(c), qGreen(c), qBlue(c));
            }
        }
        return picture.showsObject();
    };
    QImage image;
    QTRY_VERIFY2(showsObject(image = shownPicture(canvas)), "the window shows no object");
    for (const auto &sample : samples()) {
        const QPointF at = toPixel(*canvas, image, sample.first.x(), sample.first.y());
        COMPARE_COLOUR(image, at.toPoint(), sample.second);
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
