#include "methods.h"

#include "mog2model.h"

#include <QCoreApplication>
#include <QSettings>

#include <opencv2/bgsegm.hpp>
#include <opencv2/tracking.hpp>
#include <opencv2/tracking/tracking_legacy.hpp>

namespace {

struct Method
{
    const char *name;
    const char *displayName;
};

const Method detectors[] = {{"mog2", "MOG2"}, {"knn", "KNN"}, {"mog", "MOG"},  {"gmg", "GMG"},
                            {"cnt", "CNT"},   {"gsoc", "GSOC"}, {"lsbp", "LSBP"}};
const Method trackers[] = {{"csrt", "CSRT"},   {"kcf", "KCF"},           {"mil", "MIL"},    {"mosse", "MOSSE"},
                           {"medianflow", "MedianFlow"}, {"boosting", "Boosting"}, {"tld", "TLD"}};

template <size_t count>
QStringList namesOf(const Method (&methods)[count])
{
    QStringList names;
    for (const Method &method : methods)
        names << method.name;
    return names;
}

} // namespace

QStringList detectorNames()
{
    return namesOf(detectors);
}

QStringList trackerNames()
{
    return namesOf(trackers);
}

QString displayName(const QString &method)
{
    for (const Method &known : detectors)
        if (method == known.name)
            return known.displayName;
    for (const Method &known : trackers)
        if (method == known.name)
            return known.displayName;
    return method;
}

cv::Ptr<cv::BackgroundSubtractorMOG2> createMovingObjectModel()
{
    // OpenCV's MOG2, with the same masks, several pixels at a time.
    return cv::makePtr<Mog2Model>(500, 16.0, false);
}

cv::Ptr<cv::BackgroundSubtractor> createDetector(const QString &name)
{
    namespace bg = cv::bgsegm;
    if (name == "mog2")
        return createMovingObjectModel();
    if (name == "knn") {
        cv::Ptr<cv::BackgroundSubtractorKNN> knn = cv::createBackgroundSubtractorKNN();
        knn->setDetectShadows(false);
        return knn;
    }
    // The contrib module's methods have no shadow detection to turn off.
    if (name == "mog")
        return bg::createBackgroundSubtractorMOG();
    if (name == "gmg")
        return bg::createBackgroundSubtractorGMG();
    if (name == "cnt")
        return bg::createBackgroundSubtractorCNT();
    if (name == "gsoc")
        return bg::createBackgroundSubtractorGSOC();
    if (name == "lsbp")
        return bg::createBackgroundSubtractorLSBP();
    return nullptr;
}

cv::Ptr<cv::Tracker> createTracker(const QString &name)
{
    namespace legacy = cv::legacy;
    if (name == "csrt")
        return cv::TrackerCSRT::create(cv::TrackerCSRT::Params());
    if (name == "kcf")
        return cv::TrackerKCF::create();
    if (name == "mil")
        return cv::TrackerMIL::create();
    if (name == "mosse")
        return legacy::upgradeTrackingAPI(legacy::TrackerMOSSE::create());
    if (name == "medianflow")
        return legacy::upgradeTrackingAPI(legacy::TrackerMedianFlow::create());
    if (name == "boosting")
        return legacy::upgradeTrackingAPI(legacy::TrackerBoosting::create());
    if (name == "tld")
        return legacy::upgradeTrackingAPI(legacy::TrackerTLD::create());
    return nullptr;
}

MethodChoice MethodChoice::stored()
{
    // What cannot be used (an edited file, a method from another version) falls back
    // to the default.
    QSettings settings;
    MethodChoice choice;
    const QString detector = settings.value("methods/detector").toString();
    if (detectorNames().contains(detector))
        choice.detector = detector;
    const QString tracker = settings.value("methods/tracker").toString();
    if (trackerNames().contains(tracker))
        choice.tracker = tracker;
    SizeBand band;
    band.lower = settings.value("methods/minArea", band.lower).toInt();
    band.upper = settings.value("methods/maxArea", band.upper).toInt();
    if (band.admitsSomething())
        choice.band = band;
    choice.maskView = settings.value("methods/maskView", false).toBool();
    choice.identities = settings.value("methods/identities", false).toBool();
    choice.severalTargets = settings.value("methods/severalTargets", false).toBool();
    TrackParameters tracks;
    tracks.framesToConfirm = settings.value("tracks/framesToConfirm", tracks.framesToConfirm).toInt();
    tracks.framesKeptUnmatched = settings.value("tracks/framesKeptUnmatched", tracks.framesKeptUnmatched).toInt();
    tracks.minimumOverlap = settings.value("tracks/minimumOverlap", tracks.minimumOverlap).toDouble();
    if (tracks.isValid())
        choice.tracks = tracks;
    return choice;
}

void MethodChoice::store() const
{
    QSettings settings;
    settings.setValue("methods/detector", detector);
    settings.setValue("methods/tracker", tracker);
    settings.setValue("methods/minArea", band.lower);
    settings.setValue("methods/maxArea", band.upper);
    settings.setValue("methods/maskView", maskView);
    settings.setValue("methods/identities", identities);
    settings.setValue("methods/severalTargets", severalTargets);
    settings.setValue("tracks/framesToConfirm", tracks.framesToConfirm);
    settings.setValue("tracks/framesKeptUnmatched", tracks.framesKeptUnmatched);
    settings.setValue("tracks/minimumOverlap", tracks.minimumOverlap);
}

QString MethodChoice::summary() const
{
    return QCoreApplication::translate("MethodChoice", "%1, area %2–%3%4%5 · %6%7")
        .arg(displayName(detector))
        .arg(band.lower)
        .arg(band.upper)
        .arg(maskView ? QCoreApplication::translate("MethodChoice", ", mask") : QString())
        .arg(identities ? QCoreApplication::translate("MethodChoice", ", identities") : QString())
        .arg(displayName(tracker))
        .arg(severalTargets ? QCoreApplication::translate("MethodChoice", ", several targets") : QString());
}
