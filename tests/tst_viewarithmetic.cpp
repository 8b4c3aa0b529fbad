#include "canvas/viewarithmetic.h"

#include <QtTest>

#include <limits>

Q_DECLARE_METATYPE(ViewWindow)

// The view window's arithmetic, without a display: the ranges GL can project, and the fit of a
// window to the canvas's proportions.
class tst_ViewArithmetic : public QObject
{
    Q_OBJECT

private slots:
    void usableRange_data();
    void usableRange();
    void scaledToAspect_data();
    void scaledToAspect();
};

void tst_ViewArithmetic::usableRange_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<bool>("usable");

    QTest::newRow("fitted view") << 95.0 << 205.0 << true;
    QTest::newRow("unit apart near the float limit of whole numbers") << 1e7 << 1e7 + 1 << true;
    QTest::newRow("equal") << 1.0 << 1.0 << false;
    QTest::newRow("reversed") << 2.0 << 1.0 << false;
    QTest::newRow("equal in single precision") << 1.0 << 1.0 + 1e-9 << false;
    QTest::newRow("bound beyond float") << -1e39 << 1.0 << false;
    QTest::newRow("extent beyond float") << -3e38 << 3e38 << false;
    QTest::newRow("extent too small to divide by") << 0.0 << 1e-39 << false;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 1.0 << false;
}

void tst_ViewArithmetic::usableRange()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(bool, usable);
    QCOMPARE(isUsableRange(low, high), usable);
}

void tst_ViewArithmetic::scaledToAspect_data()
{
    QTest::addColumn<ViewWindow>("window");
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("aspect");
    QTest::addColumn<ViewWindow>("expected");

    // The default triangle's box, and what the canvas shows of it on 400 x 300 pixels. A factor
    // of 0 stands for the fit.
    const ViewWindow box { 100, 200, 100, 175 };
    const ViewWindow fitted { 95, 205, 96.25, 178.75 };
    QTest::newRow("fit, widened up and down") << box << 0.0 << 0.75 << fitted;
    QTest::newRow("fit on a wide canvas, widened across")
            << box << 0.0 << 0.5 << ViewWindow { 67.5, 232.5, 96.25, 178.75 };
    QTest::newRow("fit of the empty object's box")
            << ViewWindow { 0, 10, 0, 10 } << 0.0 << 0.75
            << ViewWindow { -7.0 / 3, 37.0 / 3, -0.5, 10.5 };
    QTest::newRow("zoom in") << fitted << 0.9 << 0.75
                             << ViewWindow { 100.5, 199.5, 100.375, 174.625 };
}

void tst_ViewArithmetic::scaledToAspect()
{
    QFETCH(ViewWindow, window);
    QFETCH(double, factor);
    QFETCH(double, aspect);
    QFETCH(ViewWindow, expected);

    const ViewWindow actual = factor == 0.0 ? fittedView(window, aspect)
                                            : ::scaledToAspect(window, factor, aspect);
    QCOMPARE(actual.left, expected.left);
    QCOMPARE(actual.right, expected.right);
    QCOMPARE(actual.bottom, expected.bottom);
    QCOMPARE(actual.top, expected.top);
}

QTEST_APPLESS_MAIN(tst_ViewArithmetic)
#include "tst_viewarithmetic.moc"
