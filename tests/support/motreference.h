#ifndef MOTREFERENCE_H
#define MOTREFERENCE_H

// References written for the tests alone, to hold the program's identities and its
// score against: the MOT Challenge devkits' metrics, counted by exhaustive search, and
// SORT (Bewley et al., 2016) with its published defaults.

#include <QStringList>

#include <opencv2/core.hpp>

#include <map>
#include <vector>

namespace motreference {

struct Row
{
    int frame;
    int id;
    cv::Rect2d box;
    bool ignored;  // conf 0
};

// MOT Challenge rows, "frame,id,left,top,width,height,conf,…".
std::vector<Row> parseRows(const QStringList &lines);

struct Score
{
    double mota = 0;
    double idf1 = 0;
    int idSwitches = 0;
    int falsePositives = 0;
    int misses = 0;
};
Score score(const std::vector<Row> &truth, const std::vector<Row> &hypotheses);

// SORT's tracks (max_age 1, min_hits 3, IoU 0.3) over the boxes found in each frame,
// as rows with SORT's ids.
std::vector<Row> sort(const std::map<int, std::vector<cv::Rect>> &detections, int frameCount);

} // namespace motreference

#endif // MOTREFERENCE_H
