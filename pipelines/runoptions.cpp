#include "runoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <tuple>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RunOptions", text);
}

} // namespace

RunOptionReader::RunOptionReader(QCommandLineParser &parser)
    : detector("detector", tr("The automatic recognition's method: %1.").arg(detectorNames().join(", ")), "NAME")
    , tracker("tracker", tr("The manual recognition's method: %1.").arg(trackerNames().join(", ")), "NAME")
    , minArea("min-area", tr("Box moving objects larger than this many pixels."), "PX")
    , maxArea("max-area", tr("Box moving objects smaller than this many pixels."), "PX")
    , identities("identities", tr("Number the moving objects and follow them, each keeping its number."))
    , line("line", tr("Count the objects that cross the line from X1,Y1 to X2,Y2, in video pixels (repeatable)."),
           "X1,Y1,X2,Y2")
    , ignore("ignore", tr("Detect nothing inside this polygon, in video pixels (repeatable)."), "X1,Y1,X2,Y2,X3,Y3[,…]")
    , watch("watch", tr("Detect only inside this polygon, and the others given (repeatable)."), "X1,Y1,X2,Y2,X3,Y3[,…]")
    , from("from", tr("Begin every run at frame N (the first is 1)."), "N")
    , to("to", tr("End every run after frame N."), "N")
    , score("score", tr("Score the boxes of every run against FILE, a MOT Challenge ground truth."), "FILE")
{
    parser.addOptions({detector, tracker, minArea, maxArea, identities, line, ignore, watch, from, to, score});
}

QString RunOptionReader::read(const QCommandLineParser &parser, RunOptions *options) const
{
    MethodChoice &methods = options->methods;
    for (const auto &[option, names, field] : {std::make_tuple(detector, detectorNames(), &MethodChoice::detector),
                                               std::make_tuple(tracker, trackerNames(), &MethodChoice::tracker)}) {
        if (!parser.isSet(option))
            continue;
        const QString name = parser.value(option);
        if (!names.contains(name))
            return tr("--%1 wants one of %2, not \"%3\".").arg(option.names().first(), names.join(", "), name);
        methods.*field = name;
        options->methodsGiven = true;
    }
    for (const auto &[option, bound] : {std::make_pair(minArea, &SizeBand::lower),
                                        std::make_pair(maxArea, &SizeBand::upper)}) {
        if (!parser.isSet(option))
            continue;
        bool ok = false;
        methods.band.*bound = parser.value(option).toInt(&ok);
        if (!ok || methods.band.*bound < 0)
            return tr("--%1 wants an area in pixels (0, 1, …), not \"%2\".")
                .arg(option.names().first(), parser.value(option));
        options->methodsGiven = true;
    }
    if (!methods.band.admitsSomething())
        return tr("no object is larger than %1 and smaller than %2 pixels; give a --min-area below --max-area.")
            .arg(methods.band.lower)
            .arg(methods.band.upper);
    if (parser.isSet(identities)) {
        methods.identities = true;
        options->methodsGiven = true;
    }

    QString problem;
    for (const QString &text : parser.values(line)) {
        CountingLine counting;
        if (!SceneAnalysis::parseLine(text, &counting, &problem))
            return tr("--line: %1.").arg(problem);
        options->analysis.addLine(counting);
    }
    for (const auto &[option, kind] : {std::make_pair(ignore, SceneRegion::Ignore), std::make_pair(watch, SceneRegion::Watch)})
        for (const QString &text : parser.values(option)) {
            SceneRegion region;
            if (!SceneAnalysis::parseRegion(text, kind, &region, &problem))
                return tr("--%1: %2.").arg(option.names().first(), problem);
            options->analysis.addRegion(region);
        }

    for (const auto &[option, frame] : {std::make_pair(from, &RunOptions::firstFrame),
                                        std::make_pair(to, &RunOptions::lastFrame)}) {
        if (!parser.isSet(option))
            continue;
        bool ok = false;
        options->*frame = parser.value(option).toInt(&ok);
        if (!ok || options->*frame < 1)
            return tr("--%1 wants a frame's number (1, 2, …), not \"%2\".").arg(option.names().first(), parser.value(option));
    }
    if (options->lastFrame > 0 && options->lastFrame < options->firstFrame)
        return tr("--to %1 comes before --from %2.").arg(options->lastFrame).arg(options->firstFrame);
    options->groundTruth = parser.value(score);
    return QString();
}
