#include "model/objectmodel.h"

#include <QtTest>

#include <stdexcept>

Q_DECLARE_METATYPE(std::vector<double>)
Q_DECLARE_METATYPE(std::vector<Point2d>)

class tst_ObjectModel : public QObject
{
    Q_OBJECT

private slots:
    void defaultContent();
    void boundingBox_data();
    void boundingBox();
    void listsAreCopies();
    void arrayRoundTrip_data();
    void arrayRoundTrip();
    void shortArrayIsRejected_data();
    void shortArrayIsRejected();
    void mismatchedListsAreRejected();
};

void tst_ObjectModel::defaultContent()
{
    const ObjectModel model;
    QVERIFY(!model.isEmpty());

    const std::vector<Point2d> verts = model.vertexList();
    const std::vector<Color3d> cols = model.colorList();
    const std::vector<std::vector<double>> expectedVerts = { { 100, 100 }, { 200, 100 },
                                                             { 150, 175 } };
    const std::vector<std::vector<double>> expectedCols = { { 1, 0, 0 }, { 0, 1, 0 },
                                                            { 0, 0, 1 } };
    QCOMPARE(verts.size(), std::size_t{3});
    QCOMPARE(cols.size(), std::size_t{3});
    for (std::size_t i = 0; i < verts.size(); ++i) {
        QCOMPARE(verts[i].toVector(), expectedVerts[i]);
        QCOMPARE(cols[i].toVector(), expectedCols[i]);
    }
}

void tst_ObjectModel::boundingBox_data()
{
    QTest::addColumn<std::vector<Point2d>>("vertices");
    QTest::addColumn<QRectF>("box");

    QTest::newRow("default") << ObjectModel().vertexList() << QRectF(100, 100, 100, 75);
    QTest::newRow("empty") << std::vector<Point2d>() << QRectF(0, 0, 10, 10);
    QTest::newRow("single point") << std::vector<Point2d> { { -3, 4 } } << QRectF(-3, 4, 0, 0);
    // Each extreme is reached by a different vertex, none of them the first.
    QTest::newRow("extremes spread")
            << std::vector<Point2d> { { 0, 0 }, { -5, 1 }, { 2, -7 }, { 9, 3 }, { 1, 8 } }
            << QRectF(-5, -7, 14, 15);
}

void tst_ObjectModel::boundingBox()
{
    QFETCH(std::vector<Point2d>, vertices);
    QFETCH(QRectF, box);

    const ObjectModel model(vertices, std::vector<Color3d>(vertices.size()));
    QCOMPARE(model.isEmpty(), vertices.empty());
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    model.boundingBox(xMin, xMax, yMin, yMax);
    QCOMPARE(xMin, box.left());
    QCOMPARE(xMax, box.right());
    QCOMPARE(yMin, box.top());
    QCOMPARE(yMax, box.bottom());
}

void tst_ObjectModel::listsAreCopies()
{
    const ObjectModel model;
    std::vector<Point2d> verts = model.vertexList();
    std::vector<Color3d> cols = model.colorList();
    verts[0] = Point2d(-1, -1);
    verts.clear();
    cols[0] = Color3d(0.5, 0.5, 0.5);
    cols.clear();

    QCOMPARE(model.vertexList().size(), std::size_t{3});
    QCOMPARE(model.vertexList()[0].x(), 100.0);
    QCOMPARE(model.colorList().size(), std::size_t{3});
    QCOMPARE(model.colorList()[0].r(), 1.0);
}

void tst_ObjectModel::arrayRoundTrip_data()
{
    QTest::addColumn<std::vector<double>>("values");

    QTest::newRow("point") << std::vector<double> { 3, 4 };
    QTest::newRow("colour") << std::vector<double> { 0.5, 0.25, 1 };
    // Extra entries are ignored rather than refused.
    QTest::newRow("point from longer array") << std::vector<double> { -2.5, 7, 99 };
}

void tst_ObjectModel::arrayRoundTrip()
{
    QFETCH(std::vector<double>, values);

    if (values.size() == 3) {
        const Color3d c(values);
        QCOMPARE(c.r(), values[0]);
        QCOMPARE(c.g(), values[1]);
        QCOMPARE(c.b(), values[2]);
        QCOMPARE(c.toVector(), values);
    } else {
        const Point2d p(values);
        QCOMPARE(p.x(), values[0]);
        QCOMPARE(p.y(), values[1]);
        QCOMPARE(p.toVector(), std::vector<double>(values.begin(), values.begin() + 2));
    }
}

void tst_ObjectModel::shortArrayIsRejected_data()
{
    QTest::addColumn<bool>("isPoint");
    QTest::addColumn<std::vector<double>>("values");

    QTest::newRow("point, empty") << true << std::vector<double>();
    QTest::newRow("point, one") << true << std::vector<double> { 1 };
    QTest::newRow("colour, empty") << false << std::vector<double>();
    QTest::newRow("colour, two") << false << std::vector<double> { 1, 0 };
}

void tst_ObjectModel::shortArrayIsRejected()
{
    QFETCH(bool, isPoint);
    QFETCH(std::vector<double>, values);

    try {
        if (isPoint)
            Point2d p(values);
        else
            Color3d c(values);
        QFAIL("a short array was accepted");
    } catch (const std::invalid_argument &e) {
        const QByteArray count = QByteArray::number(static_cast<qulonglong>(values.size()));
        QVERIFY2(QByteArray(e.what()).contains("got " + count), e.what());
    }
}

void tst_ObjectModel::mismatchedListsAreRejected()
{
    const std::vector<Point2d> verts(3);
    QVERIFY_EXCEPTION_THROWN(ObjectModel(verts, std::vector<Color3d>(2)), std::invalid_argument);
    QVERIFY_EXCEPTION_THROWN(ObjectModel(verts, std::vector<Color3d>(4)), std::invalid_argument);
    QVERIFY(ObjectModel(std::vector<Point2d>(), std::vector<Color3d>()).isEmpty());
}

QTEST_APPLESS_MAIN(tst_ObjectModel)
#include "tst_objectmodel.moc"
