#include "linecounter.h"

namespace {

// Which side of the directed line `point` is on, as seen on the picture (y down):
// positive on its right, negative on its left, 0 on it.
double sideOf(const CountingLine &line, const cv::Point2d &point)
{
    const cv::Point2d direction = cv::Point2d(line.to - line.from);
    const cv::Point2d offset = point - cv::Point2d(line.from);
    return direction.x * offset.y - direction.y * offset.x;
}

// Whether the path from `a` to `b`, which are on both sides of the line, passes
// between its ends.
bool passesBetweenEnds(const CountingLine &line, const cv::Point2d &a, const cv::Point2d &b)
{
    const cv::Point2d path = b - a;
    auto sideOfPath = [&](const cv::Point &end) {
        const cv::Point2d offset = cv::Point2d(end) - a;
        return path.x * offset.y - path.y * offset.x;
    };
    return sideOfPath(line.from) * sideOfPath(line.to) <= 0;
}

} // namespace

std::vector<Crossing> LineCounter::update(const std::vector<CountingLine> &lines,
                                          const std::vector<IdentifiedObject> &objects)
{
    if (lines.size() < lineCounts.size()) {
        lineCounts.clear();
        lastSeen.clear();
    }
    lineCounts.resize(lines.size());

    std::vector<Crossing> crossings;
    for (const IdentifiedObject &object : objects) {
        const cv::Point2d centre(object.box.x + object.box.width / 2.0, object.box.y + object.box.height / 2.0);
        for (size_t i = 0; i < lines.size(); ++i) {
            const double side = sideOf(lines[i], centre);
            if (side == 0)
                continue;  // on the line: it is the side it goes on to that tells
            const auto key = std::make_pair(object.id, i);
            const auto last = lastSeen.find(key);
            if (last != lastSeen.end() && (sideOf(lines[i], last->second) > 0) != (side > 0)
                && passesBetweenEnds(lines[i], last->second, centre)) {
                const int direction = side > 0 ? 1 : -1;
                crossings.push_back({static_cast<int>(i), object.id, direction});
                ++(direction > 0 ? lineCounts[i].forward : lineCounts[i].backward);
            }
            lastSeen[key] = centre;
        }
    }
    return crossings;
}
