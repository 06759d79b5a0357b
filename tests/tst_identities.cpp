// What identities rest on: the cheapest assignment, and the score of a run's rows as
// the MOT Challenge devkits count it, each against an exhaustive search; and how an
// object's number and trail are drawn at every size of picture.

#include "assignment.h"
#include "automaticrecognition.h"
#include "motreference.h"
#include "motscore.h"

#include <QtTest>

#include <algorithm>
#include <numeric>
#include <random>

Q_DECLARE_METATYPE(cv::Size)

namespace {

std::vector<MotBox> boxesOf(const QStringList &lines)
{
    std::vector<MotBox> boxes;
    for (const motreference::Row &row : motreference::parseRows(lines))
        boxes.push_back({row.frame, row.id, row.box, row.ignored});
    return boxes;
}

} // namespace

class IdentitiesTest : public QObject
{
    Q_OBJECT

private slots:
    void assignmentIsTheCheapest_data();
    void assignmentIsTheCheapest();
    void scoreIsTheDevkits_data();
    void scoreIsTheDevkits();
    void numbersAndTrailsGrowWithThePicture_data();
    void numbersAndTrailsGrowWithThePicture();
};

void IdentitiesTest::assignmentIsTheCheapest_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    for (const auto &[rows, columns] : {std::pair(1, 1), {1, 4}, {3, 3}, {5, 5}, {2, 6}, {6, 3}, {4, 7}, {7, 7}})
        QTest::addRow("%d x %d", rows, columns) << rows << columns;
}

void IdentitiesTest::assignmentIsTheCheapest()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    std::mt19937 random(rows * 31 + columns);
    std::uniform_int_distribution<int> value(0, 9);  // ties, as overlaps give
    for (int trial = 0; trial < 30; ++trial) {
        std::vector<std::vector<double>> cost(rows, std::vector<double>(columns));
        for (auto &row : cost)
            for (double &entry : row)
                entry = value(random) == 0 ? 1e9 : value(random) / 10.0;
        const std::vector<int> assigned = cheapestAssignment(cost);
        double total = 0;
        std::vector<int> taken;
        for (int row = 0; row < rows; ++row)
            if (assigned[row] >= 0) {
                total += cost[row][assigned[row]];
                taken.push_back(assigned[row]);
            }
        std::sort(taken.begin(), taken.end());
        QVERIFY(std::adjacent_find(taken.begin(), taken.end()) == taken.end());
        QCOMPARE(int(taken.size()), std::min(rows, columns));

        // Every way of pairing min(rows, columns) of them.
        std::vector<int> order(std::max(rows, columns));
        std::iota(order.begin(), order.end(), 0);
        double best = 1e300;
        do {
            double sum = 0;
            for (int i = 0; i < std::min(rows, columns); ++i)
                sum += rows <= columns ? cost[i][order[i]] : cost[order[i]][i];
            best = std::min(best, sum);
        } while (std::next_permutation(order.begin(), order.end()));
        QCOMPARE(total, best);
    }
}

void IdentitiesTest::scoreIsTheDevkits_data()
{
    QTest::addColumn<QStringList>("truth");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QList<double>>("expected");  // MOTA, IDF1, IDSW, FP, FN
    const QStringList one = {"1,1,10,10,20,40,1,1,1", "2,1,14,10,20,40,1,1,1", "3,1,18,10,20,40,1,1,1",
                             "4,1,22,10,20,40,1,1,1"};
    QTest::newRow("every box found") << one << one << QList<double>{1, 1, 0, 0, 0};
    QTest::newRow("an identity switch")
        << one << QStringList{"1,1,10,10,20,40", "2,1,14,10,20,40", "3,2,18,10,20,40", "4,2,22,10,20,40"}
        << QList<double>{0.75, 0.5, 1, 0, 0};
    QTest::newRow("a miss") << one << QStringList{"1,1,10,10,20,40", "2,1,14,10,20,40", "4,1,22,10,20,40"}
                            << QList<double>{0.75, 6.0 / 7, 0, 0, 1};
    QTest::newRow("a false positive")
        << one << (one + QStringList{"2,7,200,100,20,40,1"}) << QList<double>{0.75, 8.0 / 9, 0, 1, 0};
    QTest::newRow("a box on an ignored row counts neither way")
        << (one + QStringList{"2,9,200,100,20,40,0,1,0.1"}) << (one + QStringList{"2,7,201,100,20,40,1"})
        << QList<double>{1, 1, 0, 0, 0};
    // Box 2 fits the object better in frame 2, but box 1 still matches it: it is kept,
    // and box 2 is a false positive, not a switch.
    QTest::newRow("a match kept while it holds")
        << QStringList{"1,1,10,10,20,40,1", "2,1,10,10,20,40,1"}
        << QStringList{"1,1,10,10,20,40", "2,1,14,10,20,40", "2,2,11,10,20,40"} << QList<double>{0.5, 0.8, 0, 1, 0};
}

void IdentitiesTest::scoreIsTheDevkits()
{
    QFETCH(QStringList, truth);
    QFETCH(QStringList, boxes);
    QFETCH(QList<double>, expected);
    for (QString &row : boxes)
        row = row.section(',', 0, 5) + ",1,-1,-1,-1";
    const MotScore score = scoreAgainst(boxesOf(truth), boxesOf(boxes));
    QCOMPARE(QList<double>({score.mota, score.idf1, double(score.idSwitches), double(score.falsePositives),
                            double(score.misses)}),
             expected);
    const motreference::Score reference
        = motreference::score(motreference::parseRows(truth), motreference::parseRows(boxes));
    QCOMPARE(QList<double>({reference.mota, reference.idf1, double(reference.idSwitches),
                            double(reference.falsePositives), double(reference.misses)}),
             expected);
}

void IdentitiesTest::numbersAndTrailsGrowWithThePicture_data()
{
    QTest::addColumn<cv::Size>("size");
    for (const cv::Size &size : {cv::Size(320, 240), cv::Size(640, 360), cv::Size(1280, 720), cv::Size(1920, 1080)})
        QTest::addRow("%d x %d", size.width, size.height) << size;
}

void IdentitiesTest::numbersAndTrailsGrowWithThePicture()
{
    QFETCH(cv::Size, size);
    const double unit = size.height / 240.0;  // a person as tall on every picture
    const cv::Rect box(int(100 * unit), int(100 * unit), int(20 * unit), int(50 * unit));
    const cv::Point start(int(10 * unit), int(200 * unit)), end(int(60 * unit), int(200 * unit));
    cv::Mat picture(size, CV_8UC3, cv::Scalar(90, 60, 60));
    drawIdentifiedObjects(picture, {{7, box, {start, end}}});

    cv::Mat green;
    cv::inRange(picture, cv::Scalar(0, 200, 0), cv::Scalar(120, 255, 120), green);
    // The number, above the box: at least 8 pixels tall, and as tall beside a person at every size.
    const cv::Rect number = cv::boundingRect(green(cv::Rect(box.x, 0, box.width, box.y)));
    QVERIFY2(number.height >= 8 && number.height >= 0.1 * box.height && number.height <= 0.5 * box.height,
             qPrintable(QString::number(number.height)));
    // The trail, a line as thick beside a person at every size.
    const int thickness = cv::countNonZero(green(cv::Rect(start.x + 5, 0, 1, size.height)));
    QVERIFY2(thickness >= 1 && thickness >= unit / 2 && thickness <= unit + 1, qPrintable(QString::number(thickness)));
}

QTEST_GUILESS_MAIN(IdentitiesTest)
#include "tst_identities.moc"
