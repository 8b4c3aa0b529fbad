#include "canvas/viewarithmetic.h"

#include <QtTest>

Q_DECLARE_METATYPE(ViewWindow)

// The view window's arithmetic, without a display: the ranges GL can project, and the fit of
// the object to the canvas's proportions.
class tst_ViewArithmetic : public QObject
{
    Q_OBJECT

private slots:
    void usableRange_data();
    void usableRange();
    void fittedView_data();
    void fittedView();
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

void tst_ViewArithmetic::fittedView_data()
{
    QTest::addColumn<double>("aspect");
    QTest::addColumn<ViewWindow>("expected");

    // The default triangle's box, x 100 to 200 and y 100 to 175, on 400 x 300 pixels, and on
    // a canvas twice as wide as high. The canvas's zooms and resizes tst_glpanel follows.
    QTest::newRow("widened up and down") << 0.75 << ViewWindow { 95, 205, 96.25, 178.75 };
    QTest::newRow("widened across") << 0.5 << ViewWindow { 67.5, 232.5, 96.25, 178.75 };
}

void tst_ViewArithmetic::fittedView()
{
    QFETCH(double, aspect);
    QFETCH(ViewWindow, expected);

    const ViewWindow actual = ::fittedView({ 100, 200, 100, 175 }, aspect);
    QCOMPARE(actual.left, expected.left);
    QCOMPARE(actual.right, expected.right);
    QCOMPARE(actual.bottom, expected.bottom);
    QCOMPARE(actual.top, expected.top);
}

QTEST_APPLESS_MAIN(tst_ViewArithmetic)
#include "tst_viewarithmetic.moc"
