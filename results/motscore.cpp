#include "motscore.h"

#include "assignment.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <map>
#include <set>

namespace {

constexpr double matchingOverlap = 0.5;
constexpr double unmatchable = 1e9;

double overlap(const cv::Rect2d &a, const cv::Rect2d &b)
{
    const double shared = (a & b).area();
    return shared > 0 ? shared / (a.area() + b.area() - shared) : 0;
}

// The cost of matching two boxes, 1 − their overlap; unmatchable below 0.5.
double distance(const cv::Rect2d &a, const cv::Rect2d &b)
{
    const double shared = overlap(a, b);
    return shared >= matchingOverlap ? 1 - shared : unmatchable;
}

// The cheapest matching of `rows` to `columns` on `distance`, as pairs of indices.
std::vector<std::pair<size_t, size_t>> matchBoxes(const std::vector<const MotBox *> &rows,
                                                  const std::vector<const MotBox *> &columns)
{
    std::vector<std::vector<double>> cost(rows.size(), std::vector<double>(columns.size()));
    for (size_t i = 0; i < rows.size(); ++i)
        for (size_t j = 0; j < columns.size(); ++j)
            cost[i][j] = distance(rows[i]->box, columns[j]->box);
    const std::vector<int> assigned = cheapestAssignment(cost);
    std::vector<std::pair<size_t, size_t>> pairs;
    for (size_t i = 0; i < rows.size(); ++i)
        if (assigned[i] >= 0 && cost[i][assigned[i]] < unmatchable)
            pairs.emplace_back(i, static_cast<size_t>(assigned[i]));
    return pairs;
}

struct Frame
{
    std::vector<const MotBox *> truth;
    std::vector<const MotBox *> boxes;
};

} // namespace

QString MotScore::line() const
{
    return QString("MOTA %1 IDF1 %2 IDSW %3 FP %4 FN %5")
        .arg(mota, 0, 'f', 3)
        .arg(idf1, 0, 'f', 3)
        .arg(idSwitches)
        .arg(falsePositives)
        .arg(misses);
}

bool readGroundTruth(const QString &path, std::vector<MotBox> *truth, QString *error)
{
    auto tr = [](const char *text) { return QCoreApplication::translate("MotScore", text); };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("Cannot read the ground truth %1: %2.").arg(path, file.errorString());
        return false;
    }
    truth->clear();
    int lineNumber = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        ++lineNumber;
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split(',');
        bool ok = fields.size() >= 7 && fields.size() <= 10;
        double number[7] = {};
        for (int i = 0; ok && i < 7; ++i)
            number[i] = fields[i].trimmed().toDouble(&ok);
        ok = ok && number[0] >= 1 && number[0] == int(number[0]) && number[1] == int(number[1]) && number[4] > 0
            && number[5] > 0;
        if (!ok) {
            *error = tr("Cannot read the ground truth %1: line %2 is not a row of the MOT Challenge "
                        "(frame,id,left,top,width,height,conf,class,visibility).")
                         .arg(path)
                         .arg(lineNumber);
            return false;
        }
        truth->push_back({int(number[0]), int(number[1]), cv::Rect2d(number[2], number[3], number[4], number[5]),
                          number[6] == 0});
    }
    return true;
}

MotScore scoreAgainst(const std::vector<MotBox> &truth, const std::vector<MotBox> &boxes)
{
    std::map<int, Frame> frames;
    std::map<int, std::vector<const MotBox *>> ignoredOf;
    for (const MotBox &object : truth)
        (object.ignored ? ignoredOf[object.frame] : frames[object.frame].truth).push_back(&object);
    for (const MotBox &box : boxes)
        frames[box.frame].boxes.push_back(&box);

    // A box matched to an ignored row, with all the rows of its frame matched at once,
    // is left out.
    for (auto &[number, frame] : frames) {
        const auto ignored = ignoredOf.find(number);
        if (ignored == ignoredOf.end())
            continue;
        std::vector<const MotBox *> rows = frame.truth;
        rows.insert(rows.end(), ignored->second.begin(), ignored->second.end());
        std::set<const MotBox *> left;
        for (const auto &[row, column] : matchBoxes(rows, frame.boxes))
            if (rows[row]->ignored)
                left.insert(frame.boxes[column]);
        frame.boxes.erase(std::remove_if(frame.boxes.begin(), frame.boxes.end(),
                                         [&left](const MotBox *box) { return left.count(box) > 0; }),
                          frame.boxes.end());
    }

    MotScore score;
    std::map<int, int> lastMatch;  // object id → the id it was last matched to
    std::map<int, int> truthFrames, boxFrames;
    std::map<std::pair<int, int>, int> framesMatched;  // (object id, box id) → frames they match in
    for (const auto &[number, frame] : frames) {
        score.objects += static_cast<int>(frame.truth.size());
        for (const MotBox *object : frame.truth)
            ++truthFrames[object->id];
        for (const MotBox *box : frame.boxes) {
            ++boxFrames[box->id];
            for (const MotBox *object : frame.truth)
                if (distance(object->box, box->box) < unmatchable)
                    ++framesMatched[{object->id, box->id}];
        }

        // Matches that still hold first, then the cheapest matching of the rest.
        std::vector<const MotBox *> objects, candidates;
        std::set<const MotBox *> matchedBoxes;
        int matched = 0;
        for (const MotBox *object : frame.truth) {
            const auto last = lastMatch.find(object->id);
            const MotBox *kept = nullptr;
            if (last != lastMatch.end())
                for (const MotBox *box : frame.boxes)
                    if (box->id == last->second && !matchedBoxes.count(box)
                        && distance(object->box, box->box) < unmatchable)
                        kept = box;
            if (kept) {
                matchedBoxes.insert(kept);
                ++matched;
            } else {
                objects.push_back(object);
            }
        }
        for (const MotBox *box : frame.boxes)
            if (!matchedBoxes.count(box))
                candidates.push_back(box);
        for (const auto &[row, column] : matchBoxes(objects, candidates)) {
            const int objectId = objects[row]->id;
            const int boxId = candidates[column]->id;
            const auto last = lastMatch.find(objectId);
            if (last != lastMatch.end() && last->second != boxId)
                ++score.idSwitches;
            lastMatch[objectId] = boxId;
            ++matched;
        }
        score.misses += static_cast<int>(frame.truth.size()) - matched;
        score.falsePositives += static_cast<int>(frame.boxes.size()) - matched;
    }
    if (score.objects > 0)
        score.mota = 1 - double(score.misses + score.falsePositives + score.idSwitches) / score.objects;

    // IDF1: the one-to-one map between the ids that matches the most boxes.
    std::vector<int> objectIds, boxIds;
    int boxCount = 0;
    for (const auto &entry : truthFrames)
        objectIds.push_back(entry.first);
    for (const auto &entry : boxFrames) {
        boxIds.push_back(entry.first);
        boxCount += entry.second;
    }
    std::vector<std::vector<double>> cost(objectIds.size(), std::vector<double>(boxIds.size(), 0));
    for (size_t i = 0; i < objectIds.size(); ++i)
        for (size_t j = 0; j < boxIds.size(); ++j) {
            const auto shared = framesMatched.find({objectIds[i], boxIds[j]});
            cost[i][j] = shared == framesMatched.end() ? 0 : -shared->second;
        }
    const std::vector<int> assigned = cheapestAssignment(cost);
    int identified = 0;
    for (size_t i = 0; i < objectIds.size(); ++i)
        if (assigned[i] >= 0)
            identified -= static_cast<int>(cost[i][assigned[i]]);
    if (score.objects + boxCount > 0)
        score.idf1 = 2.0 * identified / (score.objects + boxCount);
    return score;
}
