#include "canvas/canvasaccessible.h"

#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(ViewWindow)

// What screen readers hear of the canvas, from the view window, the object's box and the
// canvas's size alone.
class tst_CanvasDescription : public QObject
{
    Q_OBJECT

private slots:
    void describes_data();
    void describes();
};

void tst_CanvasDescription::describes_data()
{
    QTest::addColumn<ViewWindow>("view");
    QTest::addColumn<QSize>("canvas");
    QTest::addColumn<QString>("expected");

    const QString whole = "Whole object in view. ";
    const QString partly = "Object partly in view. ";
    const QString fitted = "Zoom: 100% of the fitted view. ";
    const QString centred = "Object centre: at the canvas centre.";
    // The default triangle on 400 x 300 pixels, fitted and after commands.
    const QSize size(400, 300);
    QTest::newRow("fitted") << ViewWindow { 95, 205, 96.25, 178.75 } << size
                            << whole + fitted + centred;
    QTest::newRow("zoomed in") << ViewWindow { 100.5, 199.5, 100.375, 174.625 } << size
                               << partly + "Zoom: 111% of the fitted view. " + centred;
    QTest::newRow("zoomed out") << ViewWindow { 89.5, 210.5, 91.875, 183.125 } << size
                                << whole + "Zoom: 91% of the fitted view. " + centred;
    QTest::newRow("panned left") << ViewWindow { 106, 216, 96.25, 178.75 } << size
                                 << partly + fitted + "Object centre: 10% of the width left.";
    QTest::newRow("panned right and up")
            << ViewWindow { 84, 194, 88, 170.5 } << size
            << partly + fitted + "Object centre: 10% of the width right, 10% of the height up.";
    QTest::newRow("out of view") << ViewWindow { 205, 315, 96.25, 178.75 } << size
                                 << "Object out of view. " + fitted
                                         + "Object centre: 100% of the width left.";
    // Against the fit on the canvas as it is, not the view's own proportions.
    QTest::newRow("wider canvas") << ViewWindow { 95, 205, 96.25, 178.75 } << QSize(400, 100)
                                  << whole + "Zoom: 300% of the fitted view. " + centred;
    const double tiny = std::ldexp(1.0, -37);
    QTest::newRow("beyond whole percentages")
            << ViewWindow { 150, 150 + tiny, 137.5, 137.5 + tiny } << size
            << partly + "Zoom: 1.51e+15% of the fitted view. "
                    + "Object centre: 50% of the width left, 50% of the height down.";
}

void tst_CanvasDescription::describes()
{
    QFETCH(ViewWindow, view);
    QFETCH(QSize, canvas);
    QFETCH(QString, expected);
    QCOMPARE(canvasDescription(view, ViewWindow { 100, 200, 100, 175 }, canvas), expected);
}

QTEST_APPLESS_MAIN(tst_CanvasDescription)
#include "tst_canvasdescription.moc"
