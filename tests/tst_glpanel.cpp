#include "canvastest.h"

#include "model/objectmodel.h"

#include <QtTest>

#include <functional>
#include <random>

Q_DECLARE_METATYPE(ViewWindow)
Q_DECLARE_METATYPE(QList<QSize>)

namespace {

const ViewWindow fitted400x300 { 95, 205, 96.25, 178.75 };

ObjectModel *emptyModel()
{
    return new ObjectModel({}, {});
}

class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class tst_GLPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void resizeFitsView_data();
    void resizeFitsView();
    void collapsedCanvasKeepsFiniteView_data();
    void collapsedCanvasKeepsFiniteView();
    void navigation_data();
    void navigation();
    void fitViewOnEmptyModel();
    void withoutModelNothingChanges();
    void settingSameModelKeepsIt();
    void viewCannotBeWedged();
    void releaseManyCanvases();

private:
    void resize(int width, int height);

    TestPanel *panel = nullptr;
};

void tst_GLPanel::init()
{
    panel = new TestPanel;
    panel->resize(400, 300);
    QVERIFY2(showWithContext(*panel), "no OpenGL context for the canvas");
}

void tst_GLPanel::cleanup()
{
    delete panel;
    panel = nullptr;
}

void tst_GLPanel::resize(int width, int height)
{
    panel->makeCurrent();
    panel->resizeGL(width, height);
    panel->doneCurrent();
}

void tst_GLPanel::resizeFitsView_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::addColumn<ViewWindow>("expected");
    QTest::addColumn<int>("decimals");

    using Sizes = QList<QSize>;
    QTest::newRow("400x300") << "default" << Sizes { { 400, 300 } } << fitted400x300 << 9;
    QTest::newRow("200x200") << "default" << Sizes { { 200, 200 } }
                             << ViewWindow { 95, 205, 82.5, 192.5 } << 9;
    QTest::newRow("800x200 widens") << "default" << Sizes { { 800, 200 } }
                                    << ViewWindow { -15, 315, 96.25, 178.75 } << 9;
    QTest::newRow("100x400 heightens") << "default" << Sizes { { 100, 400 } }
                                       << ViewWindow { 95, 205, -82.5, 357.5 } << 9;
    QTest::newRow("odd 333x217") << "default" << Sizes { { 333, 217 } }
                                 << ViewWindow { 86.699, 213.301, 96.25, 178.75 } << 3;
    QTest::newRow("refits after other sizes")
            << "default" << Sizes { { 800, 200 }, { 100, 400 }, { 400, 300 } } << fitted400x300
            << 9;
    QTest::newRow("no model") << "none" << Sizes { { 400, 300 } }
                              << ViewWindow { -3, 13, -1, 11 } << 9;
    QTest::newRow("empty model") << "empty" << Sizes { { 400, 300 } }
                                 << ViewWindow { -3, 13, -1, 11 } << 9;
    const Sizes turns { { 400, 300 }, { 300, 400 }, { 400, 300 } };
    const ViewWindow grown { -9.222, 19.222, -5.667, 15.667 };
    QTest::newRow("no model only grows") << "none" << turns << grown << 3;
    QTest::newRow("empty model only grows") << "empty" << turns << grown << 3;
}

void tst_GLPanel::resizeFitsView()
{
    QFETCH(QString, model);
    QFETCH(QList<QSize>, sizes);
    QFETCH(ViewWindow, expected);
    QFETCH(int, decimals);

    // A fresh canvas, so that the view starts from its initial window.
    cleanup();
    panel = new TestPanel;
    if (model == "default")
        panel->setModel(new ObjectModel);
    else if (model == "empty")
        panel->setModel(emptyModel());
    QVERIFY(showWithContext(*panel));

    for (const QSize &size : sizes)
        resize(size.width(), size.height());
    COMPARE_WINDOW(viewWindowOf(*panel), expected, decimals);
    QCOMPARE(glErrors(*panel), QStringList());
}

void tst_GLPanel::collapsedCanvasKeepsFiniteView_data()
{
    QTest::addColumn<bool>("withModel");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<ViewWindow>("expected");

    QTest::newRow("width 0") << true << QSize(0, 300)
                             << ViewWindow { 95, 205, -16362.5, 16637.5 };
    QTest::newRow("height 0") << true << QSize(400, 0)
                              << ViewWindow { -16350, 16650, 96.25, 178.75 };
    QTest::newRow("both 0") << true << QSize(0, 0) << ViewWindow { 95, 205, 82.5, 192.5 };
    QTest::newRow("height 0, no model") << false << QSize(400, 0)
                                        << ViewWindow { -2395, 2405, -1, 11 };
}

void tst_GLPanel::collapsedCanvasKeepsFiniteView()
{
    QFETCH(bool, withModel);
    QFETCH(QSize, size);
    QFETCH(ViewWindow, expected);

    if (withModel)
        panel->setModel(new ObjectModel);
    resize(size.width(), size.height());
    COMPARE_WINDOW(viewWindowOf(*panel), expected, 9);

    // The collapsed side takes one pixel of viewport.
    panel->makeCurrent();
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    panel->doneCurrent();
    QCOMPARE(viewport[2], std::max(1, size.width()));
    QCOMPARE(viewport[3], std::max(1, size.height()));

    // Navigation from the collapsed canvas's view stays finite too.
    if (withModel) {
        panel->zoomOut();
        panel->panUp();
        const ViewWindow w = viewWindowOf(*panel);
        QVERIFY(std::isfinite(w.left) && std::isfinite(w.right));
        QVERIFY(std::isfinite(w.bottom) && std::isfinite(w.top));
    }
    QCOMPARE(glErrors(*panel), QStringList());
}

void tst_GLPanel::navigation_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<ViewWindow>("expected");

    QTest::newRow("panLeft") << QStringList { "panLeft" }
                             << ViewWindow { 106, 216, 96.25, 178.75 };
    QTest::newRow("panRight") << QStringList { "panRight" }
                              << ViewWindow { 84, 194, 96.25, 178.75 };
    QTest::newRow("panDown") << QStringList { "panDown" } << ViewWindow { 95, 205, 104.5, 187 };
    QTest::newRow("panUp") << QStringList { "panUp" } << ViewWindow { 95, 205, 88, 170.5 };
    QTest::newRow("zoomIn") << QStringList { "zoomIn" }
                            << ViewWindow { 100.5, 199.5, 100.375, 174.625 };
    QTest::newRow("zoomOut") << QStringList { "zoomOut" }
                             << ViewWindow { 89.5, 210.5, 92.125, 182.875 };
    QTest::newRow("zoomIn, zoomOut") << QStringList { "zoomIn", "zoomOut" }
                                     << ViewWindow { 95.55, 204.45, 96.6625, 178.3375 };
    QTest::newRow("ten panLefts")
            << QString("panLeft,").repeated(10).split(",", Qt::SkipEmptyParts)
            << ViewWindow { 205, 315, 96.25, 178.75 };
    QTest::newRow("panLeft, panRight") << QStringList { "panLeft", "panRight" }
                                       << fitted400x300;
    QTest::newRow("fitView restores")
            << QStringList { "zoomIn", "panUp", "zoomIn", "panLeft", "zoomOut", "fitView" }
            << fitted400x300;
    QTest::newRow("resize restores")
            << QStringList { "zoomOut", "panDown", "panRight", "resize" } << fitted400x300;
}

void tst_GLPanel::navigation()
{
    QFETCH(QStringList, steps);
    QFETCH(ViewWindow, expected);

    panel->setModel(new ObjectModel);
    resize(400, 300);
    for (const QString &step : steps) {
        if (step == "resize")
            resize(400, 300);
        else
            (panel->*operations().value(step))();
    }
    COMPARE_WINDOW(viewWindowOf(*panel), expected, 9);
    QCOMPARE(glErrors(*panel), QStringList());
}

void tst_GLPanel::fitViewOnEmptyModel()
{
    panel->setModel(emptyModel());
    resize(400, 300);
    panel->fitView();
    COMPARE_WINDOW(viewWindowOf(*panel), (ViewWindow { -2.333, 12.333, -0.5, 10.5 }), 3);
}

void tst_GLPanel::withoutModelNothingChanges()
{
    PaintCounter counter(panel);
    resize(400, 300);
    QCoreApplication::processEvents();
    const int paintsBefore = counter.paints;
    const ViewWindow before = viewWindowOf(*panel);

    for (auto it = operations().cbegin(); it != operations().cend(); ++it) {
        (panel->*it.value())();
        QCoreApplication::processEvents();
        COMPARE_WINDOW(viewWindowOf(*panel), before, 15);
        QVERIFY2(counter.paints == paintsBefore, qPrintable(it.key() + " repainted"));
    }

    // The same route does repaint once there is a model.
    panel->setModel(new ObjectModel);
    panel->zoomIn();
    QTRY_VERIFY(counter.paints > paintsBefore);
}

void tst_GLPanel::settingSameModelKeepsIt()
{
    auto *model = new ObjectModel;
    panel->setModel(model);
    panel->setModel(model);
    // The model must still be alive: the canvas fits and draws from it.
    resize(400, 300);
    COMPARE_WINDOW(viewWindowOf(*panel), fitted400x300, 9);
    panel->update();
    QCoreApplication::processEvents();
    QCOMPARE(glErrors(*panel), QStringList());
}

void tst_GLPanel::viewCannotBeWedged()
{
    panel->setModel(new ObjectModel);
    resize(400, 300);

    const auto isUsable = [](const ViewWindow &w) {
        return std::isfinite(w.left) && std::isfinite(w.right) && std::isfinite(w.bottom)
                && std::isfinite(w.top) && static_cast<float>(w.left) < static_cast<float>(w.right)
                && static_cast<float>(w.bottom) < static_cast<float>(w.top);
    };

    for (int i = 0; i < 10000; ++i)
        panel->zoomIn();
    ViewWindow w = viewWindowOf(*panel);
    QVERIFY2(isUsable(w), qPrintable(toString(w)));
    QCOMPARE(glErrors(*panel), QStringList());
    // Still responds: zooming out grows the window again.
    panel->zoomOut();
    QVERIFY(viewWindowOf(*panel).right - viewWindowOf(*panel).left > w.right - w.left);
    for (int i = 0; i < 10000; ++i)
        panel->zoomOut();
    QCOMPARE(glErrors(*panel), QStringList());
    panel->fitView();
    COMPARE_WINDOW(viewWindowOf(*panel), fitted400x300, 9);

    // Growing and drifting until the bounds would overflow.
    for (int i = 0; i < 10000; ++i) {
        panel->zoomOut();
        panel->panLeft();
        panel->panUp();
    }
    w = viewWindowOf(*panel);
    QVERIFY2(isUsable(w), qPrintable(toString(w)));
    QCOMPARE(glErrors(*panel), QStringList());
    // Paint under the extreme projection as well.
    panel->update();
    QCoreApplication::processEvents();
    QCOMPARE(glErrors(*panel), QStringList());
    panel->fitView();
    COMPARE_WINDOW(viewWindowOf(*panel), fitted400x300, 9);
}

// Run under the leak checker, this catches a model or display list that is not released.
void tst_GLPanel::releaseManyCanvases()
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 25; ++round) {
        std::vector<Point2d> verts;
        std::vector<Color3d> cols;
        for (int i = 0; i < 300; ++i) {
            verts.emplace_back(unit(random) * 100, unit(random) * 100);
            cols.emplace_back(unit(random), unit(random), unit(random));
        }
        TestPanel canvas;
        canvas.resize(120, 90);
        canvas.setModel(new ObjectModel(verts, cols));
        QVERIFY(showWithContext(canvas));
        GLCompat::grabFramebuffer(&canvas);
        // Replacing the model after a paint recompiles, releasing the first list.
        canvas.setModel(new ObjectModel);
        GLCompat::grabFramebuffer(&canvas);
        QCOMPARE(glErrors(canvas), QStringList());
    }
}

QTEST_MAIN(tst_GLPanel)
#include "tst_glpanel.moc"
