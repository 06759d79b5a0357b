#include "motreference.h"

#include <opencv2/video/tracking.hpp>

#include <functional>
#include <set>

namespace motreference {

namespace {

double iou(const cv::Rect2d &a, const cv::Rect2d &b)
{
    const double shared = (a & b).area();
    return shared > 0 ? shared / (a.area() + b.area() - shared) : 0;
}

// The injective map of rows to columns (or to none) that gains the most, tried in full.
std::vector<int> bestMap(int rows, int columns, const std::function<double(int, int)> &gain)
{
    std::vector<int> current(rows, -1), best(rows, -1);
    std::vector<bool> used(columns, false);
    double bestGain = -1;
    std::function<void(int, double)> tryRow = [&](int row, double sum) {
        if (row == rows) {
            if (sum > bestGain) {
                bestGain = sum;
                best = current;
            }
            return;
        }
        current[row] = -1;
        tryRow(row + 1, sum);
        for (int column = 0; column < columns; ++column) {
            const double g = used[column] ? 0 : gain(row, column);
            if (g <= 0)
                continue;
            used[column] = true;
            current[row] = column;
            tryRow(row + 1, sum + g);
            used[column] = false;
            current[row] = -1;
        }
    };
    tryRow(0, 0);
    return best;
}

} // namespace

std::vector<Row> parseRows(const QStringList &lines)
{
    std::vector<Row> rows;
    for (const QString &line : lines) {
        const QStringList field = line.split(',');
        if (field.size() < 7)
            continue;
        rows.push_back({field[0].toInt(), field[1].toInt(),
                        cv::Rect2d(field[2].toDouble(), field[3].toDouble(), field[4].toDouble(), field[5].toDouble()),
                        field[6].toDouble() == 0});
    }
    return rows;
}

Score score(const std::vector<Row> &truth, const std::vector<Row> &hypotheses)
{
    std::map<int, std::vector<Row>> truthIn, ignoredIn, hypothesesIn;
    for (const Row &row : truth)
        (row.ignored ? ignoredIn : truthIn)[row.frame].push_back(row);
    for (const Row &row : hypotheses)
        hypothesesIn[row.frame].push_back(row);
    std::set<int> frames;
    for (const auto &entry : truthIn)
        frames.insert(entry.first);
    for (const auto &entry : hypothesesIn)
        frames.insert(entry.first);

    // A pair matches at IoU 0.5; a map gains most by matching the most pairs, then the
    // closest.
    auto matchGain = [](const cv::Rect2d &a, const cv::Rect2d &b) {
        const double overlap = iou(a, b);
        return overlap >= 0.5 ? 1000 + overlap : 0;
    };
    Score result;
    int objects = 0;
    std::map<int, int> last;  // truth id → hypothesis id it was last matched to
    std::map<int, int> truthCount, hypothesisCount;
    std::map<std::pair<int, int>, int> together;
    for (int frame : frames) {
        // Hypotheses on ignored truth leave, matched with all the frame's truth at once.
        std::vector<Row> all = truthIn[frame];
        all.insert(all.end(), ignoredIn[frame].begin(), ignoredIn[frame].end());
        const std::vector<Row> &candidates = hypothesesIn[frame];
        const std::vector<int> onIgnored = bestMap(int(all.size()), int(candidates.size()),
                                                   [&](int t, int h) { return matchGain(all[t].box, candidates[h].box); });
        std::vector<Row> kept;
        std::set<int> dropped;
        for (size_t t = 0; t < all.size(); ++t)
            if (all[t].ignored && onIgnored[t] >= 0)
                dropped.insert(onIgnored[t]);
        for (size_t h = 0; h < candidates.size(); ++h)
            if (!dropped.count(int(h)))
                kept.push_back(candidates[h]);

        const std::vector<Row> &objectsHere = truthIn[frame];
        objects += int(objectsHere.size());
        for (const Row &object : objectsHere) {
            ++truthCount[object.id];
            for (const Row &hypothesis : kept)
                if (iou(object.box, hypothesis.box) >= 0.5)
                    ++together[{object.id, hypothesis.id}];
        }
        for (const Row &hypothesis : kept)
            ++hypothesisCount[hypothesis.id];

        // Earlier matches that still hold are kept; the rest are matched afresh.
        std::vector<bool> objectDone(objectsHere.size(), false), hypothesisDone(kept.size(), false);
        int matched = 0;
        for (size_t t = 0; t < objectsHere.size(); ++t) {
            if (!last.count(objectsHere[t].id))
                continue;
            for (size_t h = 0; h < kept.size(); ++h)
                if (!hypothesisDone[h] && kept[h].id == last[objectsHere[t].id]
                    && iou(objectsHere[t].box, kept[h].box) >= 0.5) {
                    objectDone[t] = hypothesisDone[h] = true;
                    ++matched;
                    break;
                }
        }
        const std::vector<int> map = bestMap(int(objectsHere.size()), int(kept.size()), [&](int t, int h) {
            return objectDone[t] || hypothesisDone[h] ? 0 : matchGain(objectsHere[t].box, kept[h].box);
        });
        for (size_t t = 0; t < objectsHere.size(); ++t) {
            if (map[t] < 0)
                continue;
            const int id = objectsHere[t].id;
            if (last.count(id) && last[id] != kept[map[t]].id)
                ++result.idSwitches;
            last[id] = kept[map[t]].id;
            ++matched;
        }
        result.misses += int(objectsHere.size()) - matched;
        result.falsePositives += int(kept.size()) - matched;
    }
    result.mota = 1 - double(result.misses + result.falsePositives + result.idSwitches) / objects;

    std::vector<int> truthIds, hypothesisIds;
    int hypothesisBoxes = 0;
    for (const auto &entry : truthCount)
        truthIds.push_back(entry.first);
    for (const auto &entry : hypothesisCount) {
        hypothesisIds.push_back(entry.first);
        hypothesisBoxes += entry.second;
    }
    const std::vector<int> identity = bestMap(int(truthIds.size()), int(hypothesisIds.size()), [&](int t, int h) {
        const auto found = together.find({truthIds[t], hypothesisIds[h]});
        return found == together.end() ? 0.0 : double(found->second);
    });
    int identified = 0;
    for (size_t t = 0; t < truthIds.size(); ++t)
        if (identity[t] >= 0)
            identified += together[{truthIds[t], hypothesisIds[identity[t]]}];
    result.idf1 = 2.0 * identified / (objects + hypothesisBoxes);
    return result;
}

std::vector<Row> sort(const std::map<int, std::vector<cv::Rect>> &detections, int frameCount)
{
    const int maxAge = 1, minHits = 3;
    const double iouThreshold = 0.3;
    struct Tracker
    {
        cv::KalmanFilter filter;
        int id;
        int timeSinceUpdate = 0;
        int hitStreak = 0;
    };
    // SORT's state: the centre, the area and the aspect ratio, and the velocities of the first three.
    auto measurement = [](const cv::Rect2d &box) {
        return cv::Mat(cv::Vec4f(float(box.x + box.width / 2), float(box.y + box.height / 2), float(box.area()),
                                 float(box.width / box.height)));
    };
    auto boxOf = [](const cv::Mat &state) {
        const double area = std::max(0.f, state.at<float>(2)), ratio = state.at<float>(3);
        const double width = std::sqrt(area * ratio), height = ratio > 0 ? area / width : 0;
        return cv::Rect2d(state.at<float>(0) - width / 2, state.at<float>(1) - height / 2, width, height);
    };
    std::vector<Tracker> trackers;
    std::vector<Row> rows;
    int created = 0;
    for (int frame = 1; frame <= frameCount; ++frame) {
        const auto found = detections.find(frame);
        const std::vector<cv::Rect> dets = found == detections.end() ? std::vector<cv::Rect>() : found->second;
        std::vector<cv::Rect2d> predicted;
        for (Tracker &tracker : trackers) {
            cv::Mat &state = tracker.filter.statePost;
            if (state.at<float>(6) + state.at<float>(2) <= 0)
                state.at<float>(6) = 0;
            predicted.push_back(boxOf(tracker.filter.predict()));
            if (tracker.timeSinceUpdate > 0)
                tracker.hitStreak = 0;
            ++tracker.timeSinceUpdate;
        }
        const std::vector<int> assigned = bestMap(int(dets.size()), int(trackers.size()),
                                                  [&](int d, int t) { return iou(dets[d], predicted[t]); });
        std::vector<bool> detectionMatched(dets.size(), false);
        for (size_t d = 0; d < dets.size(); ++d) {
            if (assigned[d] < 0 || iou(dets[d], predicted[assigned[d]]) < iouThreshold)
                continue;
            Tracker &tracker = trackers[assigned[d]];
            tracker.timeSinceUpdate = 0;
            ++tracker.hitStreak;
            tracker.filter.correct(measurement(dets[d]));
            detectionMatched[d] = true;
        }
        for (size_t d = 0; d < dets.size(); ++d) {
            if (detectionMatched[d])
                continue;
            Tracker tracker{cv::KalmanFilter(7, 4, 0, CV_32F), ++created};
            cv::KalmanFilter &filter = tracker.filter;
            cv::setIdentity(filter.transitionMatrix);
            for (int i = 0; i < 3; ++i)
                filter.transitionMatrix.at<float>(i, i + 4) = 1;
            filter.measurementMatrix = cv::Mat::eye(4, 7, CV_32F);
            filter.measurementNoiseCov = cv::Mat::diag(cv::Mat(cv::Vec4f(1, 1, 10, 10)));
            filter.errorCovPost = cv::Mat::diag(cv::Mat(cv::Vec<float, 7>(10, 10, 10, 10, 1e4f, 1e4f, 1e4f)));
            filter.processNoiseCov = cv::Mat::diag(cv::Mat(cv::Vec<float, 7>(1, 1, 1, 1, 0.01f, 0.01f, 1e-4f)));
            cv::Mat(cv::Vec<float, 7>(0, 0, 0, 0, 0, 0, 0)).copyTo(filter.statePost);
            measurement(dets[d]).copyTo(filter.statePost.rowRange(0, 4));
            trackers.push_back(tracker);
        }
        std::vector<Tracker> kept;
        for (Tracker &tracker : trackers) {
            if (tracker.timeSinceUpdate < 1 && (tracker.hitStreak >= minHits || frame <= minHits))
                rows.push_back({frame, tracker.id, boxOf(tracker.filter.statePost), false});
            if (tracker.timeSinceUpdate <= maxAge)
                kept.push_back(tracker);
        }
        trackers = std::move(kept);
    }
    return rows;
}

} // namespace motreference
