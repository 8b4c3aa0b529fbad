#include "model/objectmodel.h"

#include <QtTest>

#include <stdexcept>

Q_DECLARE_METATYPE(std::vector<double>)
Q_DECLARE_METATYPE(std::vector<Point2d>)

class tst_ObjectModel : public QObject
{
    Q_OBJECT

private slots:
    void boundingBox_data();
    void boundingBox();
    void fromArray_data();
    void fromArray();
    void mismatchedListsAreRejected();
};

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
    QCOMPARE(QRectF(QPointF(xMin, yMin), QPointF(xMax, yMax)), box);
}

void tst_ObjectModel::fromArray_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<std::vector<double>>("values");
    QTest::addColumn<std::vector<double>>("expected");

    // An empty expectation means the array is refused.
    using V = std::vector<double>;
    QTest::newRow("point, extra ignored") << 2 << V { -2.5, 7, 99 } << V { -2.5, 7 };
    QTest::newRow("point, empty") << 2 << V() << V();
    QTest::newRow("point, one") << 2 << V { 1 } << V();
    QTest::newRow("colour") << 3 << V { 0.5, 0.25, 1 } << V { 0.5, 0.25, 1 };
    QTest::newRow("colour, empty") << 3 << V() << V();
    QTest::newRow("colour, two") << 3 << V { 1, 0 } << V();
}

void tst_ObjectModel::fromArray()
{
    QFETCH(int, size);
    QFETCH(std::vector<double>, values);
    QFETCH(std::vector<double>, expected);

    try {
        QCOMPARE(size == 2 ? Point2d(values).toVector() : Color3d(values).toVector(), expected);
    } catch (const std::invalid_argument &e) {
        QVERIFY2(expected.empty(), e.what());
        const QByteArray count = QByteArray::number(static_cast<qulonglong>(values.size()));
        QVERIFY2(QByteArray(e.what()).contains("got " + count), e.what());
    }
}

void tst_ObjectModel::mismatchedListsAreRejected()
{
    const std::vector<Point2d> verts(3);
    QVERIFY_EXCEPTION_THROWN(ObjectModel(verts, std::vector<Color3d>(2)), std::invalid_argument);
    QVERIFY_EXCEPTION_THROWN(ObjectModel(verts, std::vector<Color3d>(4)), std::invalid_argument);
}

QTEST_APPLESS_MAIN(tst_ObjectModel)
#include "tst_objectmodel.moc"
