#ifndef MOTSCORE_H
#define MOTSCORE_H

#include <QString>

#include <opencv2/core.hpp>

#include <vector>

// A box of a MOT Challenge file: the ground truth's, or a run's.
struct MotBox
{
    int frame;  // from 1
    int id;
    cv::Rect2d box;
    bool ignored = false;  // a ground-truth row marked with confidence 0
};

// How well a run's boxes follow the ground truth, as the MOT Challenge devkits count
// it: boxes match at an intersection over union of 0.5 or more.
struct MotScore
{
    double mota = 0;  // 1 − (misses + false positives + identity switches) / objects
    double idf1 = 0;  // identified boxes over the mean of the boxes of both sides
    int idSwitches = 0;
    int falsePositives = 0;
    int misses = 0;
    int objects = 0;  // the ground truth's boxes, but the ignored ones

    // "MOTA 0.873 IDF1 0.912 IDSW 2 FP 40 FN 110"
    QString line() const;
};

// Reads a MOT Challenge ground-truth file (frame,id,left,top,width,height,conf,class,
// visibility; the last two may be left out). False, with `error` naming the file and
// the line, when it cannot be read.
bool readGroundTruth(const QString &path, std::vector<MotBox> *truth, QString *error);

// The score of `boxes` against `truth`. CLEAR MOT keeps an object's match from an
// earlier frame wherever it still holds, and matches the rest of each frame at the
// least cost; IDF1 comes from the best one-to-one map between the ids. A box on an
// ignored row of the truth counts neither way.
MotScore scoreAgainst(const std::vector<MotBox> &truth, const std::vector<MotBox> &boxes);

#endif // MOTSCORE_H
