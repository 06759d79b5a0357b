#include "commandline.h"

#include "parentconsole.h"
#include "resourcedirectory.h"
#include "runoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <opencv2/videoio.hpp>

#include <cstdio>
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

// The size of the frames of a video file, or 0 × 0 where it cannot be told before a run.
cv::Size frameSizeOf(const VideoSource &source)
{
    if (source.kind == VideoSource::Stream || source.kind == VideoSource::Camera)
        return cv::Size();
    const std::string path
        = source.kind == VideoSource::Bundled ? resourcePath("bike.avi") : source.location.toStdString();
    cv::VideoCapture video(path, cv::CAP_FFMPEG);
    return cv::Size(static_cast<int>(video.get(cv::CAP_PROP_FRAME_WIDTH)),
                    static_cast<int>(video.get(cv::CAP_PROP_FRAME_HEIGHT)));
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
    RunOptionReader runOptions(parser);
    const QCommandLineOption mask("mask", tr("Show the foreground mask instead of the frame."));
    const QCommandLineOption targets("targets", tr("Mark several objects to follow, and start with Enter."));
    const QCommandLineOption crossings(
        "crossings", tr("Save every crossing of a line in FILE (frame,line,track,direction)."), "FILE");
    const QCommandLineOption boxes("boxes", tr("Save the boxes of every run in FILE (MOT Challenge CSV)."), "FILE");
    const QCommandLineOption record(
        "record", tr("Record what every run shows in FILE (.avi: Motion-JPEG, .mp4: MPEG-4)."), "FILE");
    parser.addOptions({mask, targets, boxes, record, crossings});
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

    RunOptions options;
    options.methods = commandLine->methods;
    const QString mistaken = runOptions.read(parser, &options);
    if (!mistaken.isEmpty())
        return mistake(mistaken);
    MethodChoice &methods = commandLine->methods;
    methods = options.methods;
    commandLine->methodsGiven = options.methodsGiven;
    for (const auto &[option, field] : {std::make_pair(mask, &MethodChoice::maskView),
                                        std::make_pair(targets, &MethodChoice::severalTargets)}) {
        if (!parser.isSet(option))
            continue;
        methods.*field = true;
        commandLine->methodsGiven = true;
    }
    commandLine->results
        = ResultFiles{parser.value(boxes), parser.value(record), options.groundTruth, parser.value(crossings)};
    commandLine->analysis = options.analysis;
    commandLine->firstFrame = options.firstFrame;
    commandLine->lastFrame = options.lastFrame;
    if (!commandLine->analysis.isEmpty()) {
        const QString problem = commandLine->analysis.problemOn(frameSizeOf(commandLine->source));
        if (!problem.isEmpty())
            return mistake(tr("%1.").arg(problem));
    }
    return -1;
}
