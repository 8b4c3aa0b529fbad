#include "canvastest.h"

#include "model/objectmodel.h"

#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(ViewWindow)
Q_DECLARE_METATYPE(QList<QSize>)

namespace {

const ViewWindow fitted400x300 { 95, 205, 96.25, 178.75 };

} // namespace

// The view window, driven through the GL callbacks and the navigation operations.
class tst_GLPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void resizeFitsView_data();
    void resizeFitsView();
    void navigation_data();
    void navigation();
    void withoutModelNothingChanges();
    void repaintsDrawOneFrame_data();
    void repaintsDrawOneFrame();
    void settingSameModelKeepsIt();
    void viewCannotBeWedged();

private:
    void resize(int width, int height);

    std::unique_ptr<TestPanel> panel;
};

void tst_GLPanel::init()
{
    panel = std::make_unique<TestPanel>();
    panel->resize(400, 300);
    QVERIFY2(showWithContext(*panel), "no OpenGL context for the canvas");
}

void tst_GLPanel::cleanup()
{
    panel.reset();
}

void tst_GLPanel::resize(int width, int height)
{
    panel->makeCurrent();
    panel->resizeGL(width, height);
}

void tst_GLPanel::resizeFitsView_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::addColumn<ViewWindow>("expected");

    using Sizes = QList<QSize>;
    QTest::newRow("400x300") << "default" << Sizes { { 400, 300 } } << fitted400x300;
    // Which way the view widens, tst_viewarithmetic checks; here the canvas's own proportions.
    QTest::newRow("odd 333x217") << "default" << Sizes { { 333, 217 } }
                                 << ViewWindow { 86.699, 213.301, 96.25, 178.75 };
    QTest::newRow("refits after other sizes")
            << "default" << Sizes { { 800, 200 }, { 100, 400 }, { 400, 300 } } << fitted400x300;
    QTest::newRow("no model") << "none" << Sizes { { 400, 300 } }
                              << ViewWindow { -3, 13, -1, 11 };
    QTest::newRow("empty model") << "empty" << Sizes { { 400, 300 } }
                                 << ViewWindow { -3, 13, -1, 11 };
    const Sizes turns { { 400, 300 }, { 300, 400 }, { 400, 300 } };
    const ViewWindow grown { -9.222, 19.222, -5.667, 15.667 };
    QTest::newRow("no model only grows") << "none" << turns << grown;
    QTest::newRow("empty model only grows") << "empty" << turns << grown;
    // A collapsed side counts as one pixel, so the view stays finite.
    QTest::newRow("width 0") << "default" << Sizes { { 0, 300 } }
                             << ViewWindow { 95, 205, -16362.5, 16637.5 };
    QTest::newRow("height 0") << "default" << Sizes { { 400, 0 } }
                              << ViewWindow { -16350, 16650, 96.25, 178.75 };
    QTest::newRow("height 0, no model") << "none" << Sizes { { 400, 0 } }
                                        << ViewWindow { -2395, 2405, -1, 11 };
}

void tst_GLPanel::resizeFitsView()
{
    QFETCH(QString, model);
    QFETCH(QList<QSize>, sizes);
    QFETCH(ViewWindow, expected);

    // A fresh canvas, so that the view starts from its initial window. Its own first resize,
    // when it is shown, is then the first step of each row.
    panel = std::make_unique<TestPanel>();
    panel->resize(400, 300);
    if (model != "none")
        panel->setModel(model == "empty" ? new ObjectModel({}, {}) : new ObjectModel);
    QVERIFY(showWithContext(*panel));

    for (const QSize &size : sizes)
        resize(size.width(), size.height());
    COMPARE_WINDOW(viewWindowOf(*panel), expected);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    QCOMPARE(QSize(viewport[2], viewport[3]), sizes.last().expandedTo(QSize(1, 1)));
    QCOMPARE(glErrors(*panel), QStringList());
}

void tst_GLPanel::navigation_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<ViewWindow>("expected");

    // From the default object fitted to 400 x 300.
    QTest::newRow("PanLeft") << QStringList { "PanLeft" }
                             << ViewWindow { 106, 216, 96.25, 178.75 };
    QTest::newRow("PanRight") << QStringList { "PanRight" }
                              << ViewWindow { 84, 194, 96.25, 178.75 };
    QTest::newRow("PanDown") << QStringList { "PanDown" } << ViewWindow { 95, 205, 104.5, 187 };
    QTest::newRow("PanUp") << QStringList { "PanUp" } << ViewWindow { 95, 205, 88, 170.5 };
    QTest::newRow("ZoomIn") << QStringList { "ZoomIn" }
                            << ViewWindow { 100.5, 199.5, 100.375, 174.625 };
    QTest::newRow("ZoomOut") << QStringList { "ZoomOut" }
                             << ViewWindow { 89.5, 210.5, 92.125, 182.875 };
    QTest::newRow("zoomIn, zoomOut") << QStringList { "ZoomIn", "ZoomOut" }
                                     << ViewWindow { 95.55, 204.45, 96.6625, 178.3375 };
    QTest::newRow("ten panLefts")
            << QString("PanLeft,").repeated(10).split(",", Qt::SkipEmptyParts)
            << ViewWindow { 205, 315, 96.25, 178.75 };
    QTest::newRow("panLeft, panRight") << QStringList { "PanLeft", "PanRight" }
                                       << fitted400x300;
    QTest::newRow("fitView restores")
            << QStringList { "ZoomIn", "PanUp", "ZoomIn", "PanLeft", "ZoomOut", "Fit" }
            << fitted400x300;
    QTest::newRow("resize restores")
            << QStringList { "ZoomOut", "PanDown", "PanRight", "resize" } << fitted400x300;
    QTest::newRow("fitView, empty model") << QStringList { "emptyModel", "Fit" }
                                          << ViewWindow { -2.333, 12.333, -0.5, 10.5 };
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
        else if (step == "emptyModel")
            panel->setModel(new ObjectModel({}, {}));
        else
            run(*panel, step);
    }
    COMPARE_WINDOW(viewWindowOf(*panel), expected);
    QCOMPARE(glErrors(*panel), QStringList());
}

void tst_GLPanel::withoutModelNothingChanges()
{
    resize(400, 300);
    // The compositor may still be configuring the new window (activating it, say), and the
    // frames it asks for are none of the commands' doing.
    QSignalSpy frames(panel.get(), &GLWidget::frameSwapped);
    settle(frames);
    const ViewWindow before = viewWindowOf(*panel);

    for (const Command &command : commands()) {
        (panel.get()->*command.operation)();
        QCoreApplication::processEvents();
        COMPARE_WINDOW(viewWindowOf(*panel), before);
        QVERIFY2(frames.isEmpty(), qPrintable(QLatin1String(command.text) + " repainted"));
    }

    // The same route does repaint once there is a model.
    panel->setModel(new ObjectModel);
    panel->zoomIn();
    QVERIFY(frames.wait());
}

void tst_GLPanel::repaintsDrawOneFrame_data()
{
    QTest::addColumn<QStringList>("requests");

    QTest::newRow("QWidget::update") << QStringList { "update" };
    QTest::newRow("QWidget::repaint") << QStringList { "repaint" };
    QTest::newRow("two updates") << QStringList { "update", "update" };
    QTest::newRow("two commands") << QStringList { "ZoomIn", "PanLeft" };
}

// Qt and any caller reach a widget's repaints through QWidget, whatever the canvas is made of.
void tst_GLPanel::repaintsDrawOneFrame()
{
    QFETCH(QStringList, requests);

    panel->setModel(new ObjectModel);
    QSignalSpy frames(panel.get(), &GLWidget::frameSwapped);
    settle(frames);
    QWidget *widget = panel.get();
    for (const QString &request : requests) {
        if (request == "update")
            widget->update();
        else if (request == "repaint")
            widget->repaint();
        else
            run(*panel, request);
    }
    // QGLWidget draws a repaint's frame before repaint() returns.
    QTRY_VERIFY2(!frames.isEmpty(), "no frame was drawn");
    QVERIFY2(!frames.wait(100) && frames.count() == 1, "more than one frame was drawn");
}

// Under the sanitizers, deleting the model in use shows up here.
void tst_GLPanel::settingSameModelKeepsIt()
{
    auto *model = new ObjectModel;
    panel->setModel(model);
    panel->setModel(model);
    resize(400, 300);
    COMPARE_WINDOW(viewWindowOf(*panel), fitted400x300);
}

void tst_GLPanel::viewCannotBeWedged()
{
    panel->setModel(new ObjectModel);
    resize(400, 300);

    for (int i = 0; i < 10000; ++i)
        panel->zoomIn();
    const ViewWindow narrowest = viewWindowOf(*panel);
    QVERIFY2(isUsableRange(narrowest.left, narrowest.right)
                     && isUsableRange(narrowest.bottom, narrowest.top),
             qPrintable(toString(narrowest)));
    panel->zoomOut();
    QVERIFY(viewWindowOf(*panel).right - viewWindowOf(*panel).left
            > narrowest.right - narrowest.left);
    for (int i = 0; i < 10000; ++i)
        panel->zoomOut();
    QCOMPARE(glErrors(*panel), QStringList());
    panel->fitView();
    COMPARE_WINDOW(viewWindowOf(*panel), fitted400x300);

    // Growing and drifting until the bounds would overflow, then painting there.
    for (int i = 0; i < 10000; ++i) {
        panel->zoomOut();
        panel->panLeft();
        panel->panUp();
    }
    const ViewWindow widest = viewWindowOf(*panel);
    QVERIFY2(isUsableRange(widest.left, widest.right)
                     && isUsableRange(widest.bottom, widest.top),
             qPrintable(toString(widest)));
    panel->drawFrame();
    QCOMPARE(glErrors(*panel), QStringList());
    panel->fitView();
    COMPARE_WINDOW(viewWindowOf(*panel), fitted400x300);
}

QTEST_MAIN(tst_GLPanel)
#include "tst_glpanel.moc"
