#include "identitytracker.h"

#include "assignment.h"

#include <algorithm>
#include <cmath>

namespace {

// Cheaper than any match on overlap, dearer than none.
constexpr double forbidden = 1e9;

double overlap(const cv::Rect &a, const cv::Rect &b)
{
    const double shared = (a & b).area();
    return shared > 0 ? shared / (a.area() + b.area() - shared) : 0;
}

// How much of `inner` lies inside `outer`.
double coverage(const cv::Rect &outer, const cv::Rect &inner)
{
    return inner.area() > 0 ? double((outer & inner).area()) / inner.area() : 0;
}

cv::Point centreOf(const cv::Rect &box)
{
    return {box.x + box.width / 2, box.y + box.height / 2};
}

} // namespace

IdentityTracker::IdentityTracker(const TrackParameters &parameters, double fps)
    : parameters(parameters)
    , trailFrames(std::max(1, static_cast<int>(std::lround(2 * (fps > 0 && fps <= 240 ? fps : 25)))))
{
}

IdentityTracker::Track IdentityTracker::startTrack(const cv::Rect &box) const
{
    // The state is the centre, the size and the centre's velocity; a measurement is a box.
    Track track;
    cv::KalmanFilter &filter = track.filter;
    filter.init(6, 4, 0, CV_32F);
    cv::setIdentity(filter.transitionMatrix);
    filter.transitionMatrix.at<float>(0, 4) = 1;
    filter.transitionMatrix.at<float>(1, 5) = 1;
    filter.measurementMatrix = cv::Mat::eye(4, 6, CV_32F);
    // People keep their pace; the blobs that stand for them wobble by a few pixels.
    filter.processNoiseCov = cv::Mat::diag(cv::Mat(cv::Vec<float, 6>(1, 1, 1, 1, 0.05f, 0.05f)));
    filter.measurementNoiseCov = cv::Mat::diag(cv::Mat(cv::Vec<float, 4>(4, 4, 9, 9)));
    filter.errorCovPost = cv::Mat::diag(cv::Mat(cv::Vec<float, 6>(4, 4, 9, 9, 100, 100)));
    const cv::Point centre = centreOf(box);
    filter.statePost = (cv::Mat_<float>(6, 1) << centre.x, centre.y, box.width, box.height, 0, 0);
    track.predicted = box;
    return track;
}

cv::Rect IdentityTracker::predictedBox(const cv::Mat &state)
{
    const float width = std::max(1.0f, state.at<float>(2));
    const float height = std::max(1.0f, state.at<float>(3));
    return cv::Rect(static_cast<int>(std::lround(state.at<float>(0) - width / 2)),
                    static_cast<int>(std::lround(state.at<float>(1) - height / 2)), static_cast<int>(std::lround(width)),
                    static_cast<int>(std::lround(height)));
}

double IdentityTracker::matchCost(const Track &track, const cv::Rect &box) const
{
    const double shared = overlap(track.predicted, box);
    if (shared >= parameters.minimumOverlap)
        return 1 - shared;
    // A track that has been missing may come back beside its prediction: within its own size.
    if (track.framesUnmatched > 0) {
        const cv::Point offset = centreOf(track.predicted) - centreOf(box);
        const double reach = (track.predicted.width + track.predicted.height) / 2.0;
        const double distance = std::hypot(offset.x, offset.y);
        if (distance <= reach)
            return 2 + distance / reach;
    }
    return forbidden;
}

std::vector<IdentifiedObject> IdentityTracker::update(const std::vector<cv::Rect> &boxes)
{
    ++frame;
    for (Track &track : tracks)
        track.predicted = predictedBox(track.filter.predict());

    // A box that covers the predictions of several confirmed tracks is those objects
    // seen as one: each goes on along its prediction, and the box matches none of them.
    std::vector<bool> boxTaken(boxes.size(), false);
    std::vector<bool> merged(tracks.size(), false);
    for (size_t b = 0; b < boxes.size(); ++b) {
        std::vector<size_t> covered;
        for (size_t t = 0; t < tracks.size(); ++t)
            if (tracks[t].id > 0 && coverage(boxes[b], tracks[t].predicted) >= 0.5)
                covered.push_back(t);
        if (covered.size() < 2)
            continue;
        boxTaken[b] = true;
        for (size_t t : covered)
            merged[t] = true;
    }

    // The cheapest assignment of the other boxes to the other tracks.
    std::vector<size_t> freeTracks, freeBoxes;
    for (size_t t = 0; t < tracks.size(); ++t)
        if (!merged[t])
            freeTracks.push_back(t);
    for (size_t b = 0; b < boxes.size(); ++b)
        if (!boxTaken[b])
            freeBoxes.push_back(b);
    std::vector<std::vector<double>> cost(freeTracks.size(), std::vector<double>(freeBoxes.size()));
    for (size_t i = 0; i < freeTracks.size(); ++i)
        for (size_t j = 0; j < freeBoxes.size(); ++j)
            cost[i][j] = matchCost(tracks[freeTracks[i]], boxes[freeBoxes[j]]);
    const std::vector<int> assigned = cheapestAssignment(cost);

    std::vector<int> boxOfTrack(tracks.size(), -1);
    for (size_t i = 0; i < freeTracks.size(); ++i) {
        if (assigned[i] < 0 || cost[i][assigned[i]] >= forbidden)
            continue;
        boxOfTrack[freeTracks[i]] = static_cast<int>(freeBoxes[assigned[i]]);
        boxTaken[freeBoxes[assigned[i]]] = true;
    }

    std::vector<IdentifiedObject> shown;
    std::vector<Track> kept;
    for (size_t t = 0; t < tracks.size(); ++t) {
        Track &track = tracks[t];
        cv::Rect box = track.predicted;
        const bool matched = boxOfTrack[t] >= 0;
        if (matched) {
            box = boxes[boxOfTrack[t]];
            const cv::Point centre = centreOf(box);
            track.filter.correct((cv::Mat_<float>(4, 1) << centre.x, centre.y, box.width, box.height));
            ++track.matchesInARow;
            track.framesUnmatched = 0;
            if (track.id == 0 && track.matchesInARow >= parameters.framesToConfirm)
                track.id = ++lastId;
        } else {
            track.matchesInARow = 0;
            // A track not yet confirmed ends at its first miss; one inside a merge waits for it to part.
            if (track.id == 0 || (!merged[t] && ++track.framesUnmatched > parameters.framesKeptUnmatched))
                continue;
        }
        if (track.id > 0 && (matched || merged[t])) {
            track.trail.emplace_back(frame, centreOf(box));
            while (track.trail.front().first <= frame - trailFrames)
                track.trail.pop_front();
            IdentifiedObject object{track.id, box, {}};
            for (const auto &point : track.trail)
                object.trail.push_back(point.second);
            shown.push_back(object);
        }
        kept.push_back(std::move(track));
    }

    for (size_t b = 0; b < boxes.size(); ++b) {
        if (boxTaken[b])
            continue;
        kept.push_back(startTrack(boxes[b]));
        Track &track = kept.back();
        track.matchesInARow = 1;
        if (parameters.framesToConfirm <= 1) {
            track.id = ++lastId;
            track.trail.emplace_back(frame, centreOf(boxes[b]));
            shown.push_back({track.id, boxes[b], {centreOf(boxes[b])}});
        }
    }
    tracks = std::move(kept);
    std::sort(shown.begin(), shown.end(), [](const IdentifiedObject &a, const IdentifiedObject &b) { return a.id < b.id; });
    return shown;
}
