#include "commandline.h"

#include "parentconsole.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <tuple>
#include <utility>

namespace {

void print(FILE *stream, const QString &text)
{
    useParentConsole();
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

int mistake(const QString &message)
{
    print(stderr, QString("%1: %2\n%3\n")
                      .arg(QCoreApplication::applicationName(), message,
                           QCoreApplication::translate("CommandLine", "Try '%1 --help' for more information.")
                               .arg(QCoreApplication::applicationName())));
    return 2;
}

// The options QGuiApplication and QApplication take for themselves, listed so that
// they are not taken for mistakes; QApplication reads them from argv later.
void letQtOptionsThrough(QCommandLineParser &parser)
{
    for (const char *withValue : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                  "qwindowicon", "qwindowtitle", "qmljsdebugger", "session", "display", "geometry",
                                  "title", "icon", "name", "style", "stylesheet", "visual", "im", "inputstyle",
                                  "ncols"}) {
        QCommandLineOption option(withValue, QString(), "value");
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *flag : {"reverse", "sync", "nograb", "dograb", "widgetcount", "cmap"}) {
        QCommandLineOption option(flag);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

} // namespace

int readCommandLine(int argc, char *argv[], CommandLine *commandLine)
{
    // Only to read the arguments as the system passed them (UTF-16 on Windows); the
    // window system is touched by QApplication, after this.
    QCoreApplication arguments(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine",
        "Finds moving objects in a video (自动识别) or follows one you mark (手动识别).\n"
        "Without VIDEO or --camera it plays its bundled clips."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption camera(
        "camera", QCoreApplication::translate("CommandLine", "Play the camera with this number (0 is the first)."),
        "N");
    parser.addOption(camera);
    auto tr = [](const char *text) { return QCoreApplication::translate("CommandLine", text); };
    const QCommandLineOption detector(
        "detector", tr("The automatic recognition's method: %1.").arg(detectorNames().join(", ")), "NAME");
    const QCommandLineOption tracker(
        "tracker", tr("The manual recognition's method: %1.").arg(trackerNames().join(", ")), "NAME");
    const QCommandLineOption minArea("min-area", tr("Box moving objects larger than this many pixels."), "PX");
    const QCommandLineOption maxArea("max-area", tr("Box moving objects smaller than this many pixels."), "PX");
    const QCommandLineOption mask("mask", tr("Show the foreground mask instead of the frame."));
    const QCommandLineOption boxes("boxes", tr("Save the boxes of every run in FILE (MOT Challenge CSV)."), "FILE");
    const QCommandLineOption record(
        "record", tr("Record what every run shows in FILE (.avi: Motion-JPEG, .mp4: MPEG-4)."), "FILE");
    parser.addOptions({detector, tracker, minArea, maxArea, mask, boxes, record});
    parser.addPositionalArgument(
        "VIDEO", QCoreApplication::translate("CommandLine", "A video file, or a stream's URL (rtsp://, http://, …)."),
        "[VIDEO]");
    letQtOptionsThrough(parser);

    if (!parser.parse(arguments.arguments()))
        return mistake(parser.errorText());
    if (parser.isSet(help) || parser.isSet("help-all")) {
        print(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, QString("%1 %2\n").arg(QCoreApplication::applicationName(),
                                             QCoreApplication::applicationVersion()));
        return 0;
    }

    const QStringList videos = parser.positionalArguments();
    if (videos.size() > 1)
        return mistake(QCoreApplication::translate("CommandLine", "give one VIDEO, not %1.").arg(videos.size()));
    if (parser.isSet(camera)) {
        if (!videos.isEmpty())
            return mistake(QCoreApplication::translate("CommandLine", "give either VIDEO or --camera, not both."));
        bool ok = false;
        const int index = parser.value(camera).toInt(&ok);
        if (!ok || index < 0)
            return mistake(QCoreApplication::translate("CommandLine", "--camera wants a camera's number (0, 1, …), "
                                                                      "not \"%1\".")
                               .arg(parser.value(camera)));
        commandLine->sourceGiven = true;
        commandLine->source = VideoSource::camera(index);
    } else if (!videos.isEmpty()) {
        if (videos.first().isEmpty())
            return mistake(QCoreApplication::translate("CommandLine", "VIDEO is empty."));
        commandLine->sourceGiven = true;
        commandLine->source = VideoSource::fromArgument(videos.first());
    }

    MethodChoice &methods = commandLine->methods;
    for (const auto &[option, names, field] : {std::make_tuple(detector, detectorNames(), &MethodChoice::detector),
                                               std::make_tuple(tracker, trackerNames(), &MethodChoice::tracker)}) {
        if (!parser.isSet(option))
            continue;
        const QString name = parser.value(option);
        if (!names.contains(name))
            return mistake(tr("--%1 wants one of %2, not \"%3\".")
                               .arg(option.names().first(), names.join(", "), name));
        methods.*field = name;
        commandLine->methodsGiven = true;
    }
    for (const auto &[option, bound] : {std::make_pair(minArea, &SizeBand::lower),
                                        std::make_pair(maxArea, &SizeBand::upper)}) {
        if (!parser.isSet(option))
            continue;
        bool ok = false;
        methods.band.*bound = parser.value(option).toInt(&ok);
        if (!ok || methods.band.*bound < 0)
            return mistake(tr("--%1 wants an area in pixels (0, 1, …), not \"%2\".")
                               .arg(option.names().first(), parser.value(option)));
        commandLine->methodsGiven = true;
    }
    if (!methods.band.admitsSomething())
        return mistake(tr("no object is larger than %1 and smaller than %2 pixels; give a --min-area below "
                          "--max-area.")
                           .arg(methods.band.lower)
                           .arg(methods.band.upper));
    if (parser.isSet(mask)) {
        methods.maskView = true;
        commandLine->methodsGiven = true;
    }
    commandLine->results = ResultFiles{parser.value(boxes), parser.value(record)};
    return -1;
}
