#include "canvas/viewarithmetic.h"

#include <QtTest>

Q_DECLARE_METATYPE(ViewWindow)

// The view window's arithmetic, without a display: the ranges GL can project, and zooms about
// a point of the canvas. How the canvas fits the object to its proportions, tst_glpanel checks.
class tst_ViewArithmetic : public QObject
{
    Q_OBJECT

private slots:
    void usableRange_data();
    void usableRange();
    void zoomedAbout_data();
    void zoomedAbout();
};

void tst_ViewArithmetic::usableRange_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<bool>("usable");

    QTest::newRow("fitted view") << 95.0 << 205.0 << true;
    QTest::newRow("equal") << 1.0 << 1.0 << false;
    QTest::newRow("reversed") << 2.0 << 1.0 << false;
    QTest::newRow("equal in single precision") << 1.0 << 1.0 + 1e-9 << false;
    QTest::newRow("bound beyond float") << -1e39 << 1.0 << false;
    QTest::newRow("extent beyond float") << -3e38 << 3e38 << false;
    QTest::newRow("extent too small to divide by") << 0.0 << 1e-39 << false;
}

void tst_ViewArithmetic::usableRange()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(bool, usable);
    QCOMPARE(isUsableRange(low, high), usable);
}

void tst_ViewArithmetic::zoomedAbout_data()
{
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<ViewWindow>("expected");

    // From the default triangle fitted to 400 x 300: x 95 to 205, y 96.25 to 178.75.
    QTest::newRow("about the centre") << 0.9 << 0.5 << 0.5
                                      << ViewWindow { 100.5, 199.5, 100.375, 174.625 };
    QTest::newRow("about the top-left corner") << 0.9 << 0.0 << 0.0
                                               << ViewWindow { 95, 194, 104.5, 178.75 };
    QTest::newRow("out about the bottom-right corner")
            << 2.0 << 1.0 << 1.0 << ViewWindow { -15, 205, 96.25, 261.25 };
}

void tst_ViewArithmetic::zoomedAbout()
{
    QFETCH(double, factor);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(ViewWindow, expected);

    const ViewWindow fitted { 95, 205, 96.25, 178.75 };
    const ViewWindow actual = ::zoomedAbout(fitted, factor, { x, y });
    QCOMPARE(actual.left, expected.left);
    QCOMPARE(actual.right, expected.right);
    QCOMPARE(actual.bottom, expected.bottom);
    QCOMPARE(actual.top, expected.top);

    // The point there stays, and the inverse zoom brings the view back.
    const Point2d before = pointAt(fitted, { x, y });
    const Point2d after = pointAt(actual, { x, y });
    QCOMPARE(after.x(), before.x());
    QCOMPARE(after.y(), before.y());
    const ViewWindow back = ::zoomedAbout(actual, 1.0 / factor, { x, y });
    QCOMPARE(back.left, fitted.left);
    QCOMPARE(back.top, fitted.top);
    QCOMPARE(back.right - back.left, fitted.right - fitted.left);
}

QTEST_APPLESS_MAIN(tst_ViewArithmetic)
#include "tst_viewarithmetic.moc"
