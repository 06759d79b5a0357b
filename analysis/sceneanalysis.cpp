#include "sceneanalysis.h"

#include <QCoreApplication>

#include <opencv2/imgproc.hpp>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SceneAnalysis", text);
}

bool inside(const cv::Point &point, const cv::Size &size)
{
    return size.empty() || (point.x >= 0 && point.y >= 0 && point.x < size.width && point.y < size.height);
}

QString pointText(const cv::Point &point)
{
    return QString("%1,%2").arg(point.x).arg(point.y);
}

// Whole numbers separated by commas, in pairs.
bool parsePoints(const QString &text, std::vector<cv::Point> *points, QString *problem)
{
    const QStringList fields = text.split(',');
    std::vector<int> numbers;
    for (const QString &field : fields) {
        bool ok = false;
        numbers.push_back(field.trimmed().toInt(&ok));
        if (!ok) {
            *problem = tr("\"%1\" is not a whole number of pixels, in \"%2\"").arg(field.trimmed(), text);
            return false;
        }
    }
    if (numbers.size() % 2 != 0) {
        *problem = tr("\"%1\" has an x without its y").arg(text);
        return false;
    }
    points->clear();
    for (size_t i = 0; i < numbers.size(); i += 2)
        points->emplace_back(numbers[i], numbers[i + 1]);
    return true;
}

} // namespace

void SceneAnalysis::addLine(const CountingLine &line)
{
    countingLines.push_back(line);
    ++changes;
}

void SceneAnalysis::addRegion(const SceneRegion &region)
{
    sceneRegions.push_back(region);
    ++changes;
}

void SceneAnalysis::removeLines()
{
    countingLines.clear();
    ++changes;
}

void SceneAnalysis::removeRegions()
{
    sceneRegions.clear();
    ++changes;
}

QString SceneAnalysis::lineName(int index)
{
    return tr("Line %1").arg(index + 1);
}

QString SceneAnalysis::lineProblem(const CountingLine &line, const cv::Size &size)
{
    if (line.from == line.to)
        return tr("a counting line needs two different ends, not %1 twice").arg(pointText(line.from));
    if (!inside(line.from, size) || !inside(line.to, size))
        return tr("the line %1 lies outside the picture of %2×%3 pixels")
            .arg(lineText(line))
            .arg(size.width)
            .arg(size.height);
    return QString();
}

QString SceneAnalysis::regionProblem(const SceneRegion &region, const cv::Size &size)
{
    if (region.corners.size() < 3)
        return tr("a region needs at least 3 corners, not %1").arg(region.corners.size());
    for (const cv::Point &corner : region.corners)
        if (!inside(corner, size))
            return tr("the corner %1 lies outside the picture of %2×%3 pixels")
                .arg(pointText(corner))
                .arg(size.width)
                .arg(size.height);
    if (std::abs(cv::contourArea(region.corners)) < 1)
        return tr("the region %1 encloses nothing").arg(regionText(region));
    return QString();
}

QString SceneAnalysis::problemOn(const cv::Size &size) const
{
    for (const CountingLine &line : countingLines) {
        const QString problem = lineProblem(line, size);
        if (!problem.isEmpty())
            return problem;
    }
    for (const SceneRegion &region : sceneRegions) {
        const QString problem = regionProblem(region, size);
        if (!problem.isEmpty())
            return problem;
    }
    return QString();
}

bool SceneAnalysis::parseLine(const QString &text, CountingLine *line, QString *problem)
{
    std::vector<cv::Point> points;
    if (!parsePoints(text, &points, problem))
        return false;
    if (points.size() != 2) {
        *problem = tr("a line is X1,Y1,X2,Y2, not \"%1\"").arg(text);
        return false;
    }
    *line = CountingLine{points[0], points[1]};
    *problem = lineProblem(*line, cv::Size());
    return problem->isEmpty();
}

bool SceneAnalysis::parseRegion(const QString &text, SceneRegion::Kind kind, SceneRegion *region, QString *problem)
{
    SceneRegion parsed;
    parsed.kind = kind;
    if (!parsePoints(text, &parsed.corners, problem))
        return false;
    *problem = regionProblem(parsed, cv::Size());
    if (!problem->isEmpty())
        return false;
    *region = parsed;
    return true;
}

QString SceneAnalysis::lineText(const CountingLine &line)
{
    return pointText(line.from) + "," + pointText(line.to);
}

QString SceneAnalysis::regionText(const SceneRegion &region)
{
    QStringList corners;
    for (const cv::Point &corner : region.corners)
        corners << pointText(corner);
    return corners.join(',');
}

QVariantMap SceneAnalysis::toSetting() const
{
    QStringList lines, ignored, watched;
    for (const CountingLine &line : countingLines)
        lines << lineText(line);
    for (const SceneRegion &region : sceneRegions)
        (region.kind == SceneRegion::Ignore ? ignored : watched) << regionText(region);
    return {{"lines", lines}, {"ignore", ignored}, {"watch", watched}};
}

SceneAnalysis SceneAnalysis::fromSetting(const QVariantMap &setting)
{
    // What cannot be read (an edited file) is left out.
    SceneAnalysis analysis;
    QString problem;
    for (const QString &text : setting.value("lines").toStringList()) {
        CountingLine line;
        if (parseLine(text, &line, &problem))
            analysis.addLine(line);
    }
    for (const auto &[key, kind] : {std::pair("ignore", SceneRegion::Ignore), std::pair("watch", SceneRegion::Watch)})
        for (const QString &text : setting.value(key).toStringList()) {
            SceneRegion region;
            if (parseRegion(text, kind, &region, &problem))
                analysis.addRegion(region);
        }
    return analysis;
}

cv::Mat SceneAnalysis::detectionMask(const cv::Size &size) const
{
    if (sceneRegions.empty())
        return cv::Mat();
    bool watching = false;
    for (const SceneRegion &region : sceneRegions)
        watching = watching || region.kind == SceneRegion::Watch;
    cv::Mat mask(size, CV_8UC1, cv::Scalar(watching ? 0 : 255));
    for (const SceneRegion &region : sceneRegions)
        if (region.kind == SceneRegion::Watch)
            cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{region.corners}, cv::Scalar(255));
    for (const SceneRegion &region : sceneRegions)
        if (region.kind == SceneRegion::Ignore)
            cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{region.corners}, cv::Scalar(0));
    return mask;
}
