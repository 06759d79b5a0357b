#include "commandline.h"

#include "parentconsole.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

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
    return -1;
}
