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
    void panMovesObject_data();
    void panMovesObject();
    void pictureOutlivesContextChanges_data();
    void pictureOutlivesContextChanges();
    void mainWindowShowsObject();
    void paintsCompileListOnce();
    void newModelIsRecompiled();

private:
    void open(const QSize &size);
    QRect objectExtent(const QImage &image) const;

    TestPanel *panel = nullptr;
    std::unique_ptr<QWidget> host;
};

namespace {

bool isWhite(QRgb c)
{
    return qRed(c) > 245 && qGreen(c) > 245 && qBlue(c) > 245;
}

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

// Where a point of the plane lands in a picture of the canvas.
QPointF toPixel(const GLPanel &canvas, const QImage &image, double x, double y)
{
    const ViewWindow w = viewWindowOf(canvas);
    return QPointF((x - w.left) / (w.right - w.left) * image.width(),
                   (w.top - y) / (w.top - w.bottom) * image.height());
}

} // namespace

void tst_Rendering::init()
{
    panel = new TestPanel;
    panel->setModel(new ObjectModel);
}

void tst_Rendering::cleanup()
{
    QCOMPARE(glErrors(*panel), QStringList());
    delete panel;
    panel = nullptr;
    host.reset();
}

void tst_Rendering::open(const QSize &size)
{
    panel->resize(size);
    QVERIFY2(showWithContext(*panel), "no OpenGL context for the canvas");
}

QRect tst_Rendering::objectExtent(const QImage &image) const
{
    QRect extent;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (!isWhite(line[x]))
                extent |= QRect(x, y, 1, 1);
        }
    }
    return extent;
}

void tst_Rendering::background()
{
    panel->setModel(new ObjectModel({}, {}));
    open(QSize(200, 150));
    QCOMPARE(objectExtent(panel->grabFrame()), QRect());
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

    // Where the object's corners land, within a pixel and a half at each edge.
    const auto misplacement = [this](const QImage &image) {
        const QRect actual = objectExtent(image);
        const QRectF expected(toPixel(*panel, image, 100, 175),
                              toPixel(*panel, image, 200, 100));
        const double tolerance = 1.5 * panel->devicePixelRatioF();
        if (std::abs(actual.left() - expected.left()) <= tolerance
            && std::abs(actual.right() + 1 - expected.right()) <= tolerance
            && std::abs(actual.top() - expected.top()) <= tolerance
            && std::abs(actual.bottom() + 1 - expected.bottom()) <= tolerance) {
            return QString();
        }
        return QStringLiteral("drawn over %1,%2 to %3,%4; expected %5,%6 to %7,%8")
                .arg(actual.left()).arg(actual.top()).arg(actual.right() + 1)
                .arg(actual.bottom() + 1).arg(expected.left()).arg(expected.top())
                .arg(expected.right()).arg(expected.bottom());
    };

    if (!first.isValid()) {
        open(size);
        const QImage image = panel->grabFrame();
        QVERIFY2(misplacement(image).isEmpty(), qPrintable(misplacement(image)));
        return;
    }
    open(first);
    QVERIFY(!objectExtent(panel->grabFrame()).isEmpty());
    panel->resize(size);
    QImage image;
    QTRY_VERIFY2(misplacement(image = shownPicture(panel)).isEmpty(),
                 qPrintable(misplacement(image)));
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
    const QRectF before = objectExtent(panel->grabFrame());
    (panel->*operations().value(pan))();
    const QImage image = panel->grabFrame();
    const QRectF after = objectExtent(image);
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
}

// The fitted picture must stay as it was: another canvas without a context must not load its
// view into ours, and a context that Qt replaces must get the list and the view again.
void tst_Rendering::pictureOutlivesContextChanges()
{
    QFETCH(QString, change);

    open(QSize(400, 300));
    const QRect fitted = objectExtent(panel->grabFrame());
    QVERIFY(!fitted.isEmpty());

    if (change == "hidden canvas") {
        TestPanel hidden;
        hidden.setModel(new ObjectModel);
        panel->makeCurrent();
        for (int i = 0; i < 30; ++i) {
            hidden.zoomOut();
            hidden.panLeft();
        }
    } else {
        // Same size, so that no resize follows the new context.
        host = std::make_unique<QWidget>();
        host->resize(panel->size());
        panel->setParent(host.get());
        panel->move(0, 0);
        panel->show();
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.get()));
        QVERIFY(QTest::qWaitFor([this] { return panel->isValid(); }));
    }
    QCOMPARE(objectExtent(panel->grabFrame()), fitted);
}

// What the display server shows of the real main window, not only what the canvas rendered:
// a canvas that is never exposed shows nothing there.
void tst_Rendering::mainWindowShowsObject()
{
    Torvane window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *canvas = window.findChild<GLPanel *>("glcanvas");
    QVERIFY(canvas);

    const auto picture = [canvas] { return shownPicture(canvas); };
    QImage image;
    QTRY_VERIFY2(!objectExtent(image = picture()).isEmpty(), "the window shows no object");
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
    QVERIFY(!objectExtent(panel->grabFrame()).isEmpty());

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

    QCOMPARE(objectExtent(panel->grabFrame()), QRect());
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
