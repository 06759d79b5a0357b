#ifndef SCENEANALYSIS_H
#define SCENEANALYSIS_H

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <opencv2/core.hpp>

#include <vector>

// A directed line across which the moving objects are counted: +1 for a centre that
// passes from its left to its right, as seen on the picture, and −1 the other way.
struct CountingLine
{
    cv::Point from;
    cv::Point to;
};

// A polygon on the picture: what lies in an ignored one takes no part in detection;
// where watched ones exist, only what lies in them does.
struct SceneRegion
{
    enum Kind { Ignore, Watch };
    Kind kind = Ignore;
    std::vector<cv::Point> corners;
};

// The questions asked of a scene: the counting lines and the regions, in the video's
// pixels whatever the size of the window.
class SceneAnalysis
{
public:
    const std::vector<CountingLine> &lines() const { return countingLines; }
    const std::vector<SceneRegion> &regions() const { return sceneRegions; }
    bool isEmpty() const { return countingLines.empty() && sceneRegions.empty(); }
    // Changes with every change, so that a run can tell when to look again.
    int version() const { return changes; }

    void addLine(const CountingLine &line);
    void addRegion(const SceneRegion &region);
    void removeLines();
    void removeRegions();

    // "Line 1", …
    static QString lineName(int index);

    // Why a line or a region cannot be on a picture of `size` (empty if it can; a size
    // of 0 × 0 is not known yet, and only the shape is judged).
    static QString lineProblem(const CountingLine &line, const cv::Size &size);
    static QString regionProblem(const SceneRegion &region, const cv::Size &size);
    // What the lines and regions say when they cannot be on a picture of `size`.
    QString problemOn(const cv::Size &size) const;

    // "X1,Y1,X2,Y2" and "X1,Y1,X2,Y2,X3,Y3[,…]", as the command line and the settings
    // write them; false with `problem` saying why when the text is not one.
    static bool parseLine(const QString &text, CountingLine *line, QString *problem);
    static bool parseRegion(const QString &text, SceneRegion::Kind kind, SceneRegion *region, QString *problem);
    static QString lineText(const CountingLine &line);
    static QString regionText(const SceneRegion &region);

    // As the settings keep them for one source, and back.
    QVariantMap toSetting() const;
    static SceneAnalysis fromSetting(const QVariantMap &setting);

    // Where a picture of `size` is looked at: 255 where objects are detected, 0 where not.
    // Empty where everything is.
    cv::Mat detectionMask(const cv::Size &size) const;

private:
    std::vector<CountingLine> countingLines;
    std::vector<SceneRegion> sceneRegions;
    int changes = 0;
};

#endif // SCENEANALYSIS_H
