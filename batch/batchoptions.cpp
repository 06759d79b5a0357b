#include "batchoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QThread>

#include <cstdio>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("BatchOptions", text);
}

int mistake(const QString &message)
{
    std::fprintf(stderr, "%s: %s\n%s\n", qPrintable(QCoreApplication::applicationName()), message.toUtf8().constData(),
                 qPrintable(tr("Try '%1 --help' for more information.").arg(QCoreApplication::applicationName())));
    return 2;
}

} // namespace

int readBatchOptions(const QStringList &arguments, BatchOptions *options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Finds the moving objects in videos without a window, at full speed, and keeps for each\n"
           "NAME.boxes.csv (MOT Challenge rows), NAME.crossings.csv (with --line) and NAME.summary.json."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const RunOptionReader runOptions(parser);
    const QCommandLineOption track(
        "track", tr("Follow the object in this region of frame 1 (the manual recognition) instead."), "X,Y,W,H");
    const QCommandLineOption out("out", tr("Put the results in DIR (default: beside each video)."), "DIR");
    const QCommandLineOption jobs(
        "jobs", tr("Work on N inputs at once (default: %1, as the cores allow).").arg(QThread::idealThreadCount()), "N");
    const QCommandLineOption record("record", tr("Also keep NAME.annotated.avi, every frame with its boxes."));
    const QCommandLineOption force("force", tr("Overwrite results that are there already."));
    const QCommandLineOption quiet("quiet", tr("Print nothing but errors."));
    const QCommandLineOption summarize(
        "summarize", tr("Merge the summaries in DIR into DIR/summary.csv, and do nothing else."), "DIR");
    parser.addOptions({track, out, jobs, record, force, quiet, summarize});
    parser.addPositionalArgument("VIDEO", tr("Video files, or streams' URLs (rtsp://, http://, …)."), "VIDEO|URL...");

    if (!parser.parse(arguments))
        return mistake(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    options->summarize = parser.value(summarize);
    if (!options->summarize.isEmpty())
        return -1;

    const QString misread = runOptions.read(parser, &options->run);
    if (!misread.isEmpty())
        return mistake(misread);
    if (parser.isSet(track)) {
        const QStringList numbers = parser.value(track).split(',');
        int value[4] = {};
        bool ok = numbers.size() == 4;
        for (int i = 0; ok && i < 4; ++i)
            value[i] = numbers[i].trimmed().toInt(&ok);
        if (!ok || value[0] < 0 || value[1] < 0 || value[2] <= 0 || value[3] <= 0)
            return mistake(tr("--track wants a region X,Y,W,H in pixels, of some width and height, not \"%1\".")
                               .arg(parser.value(track)));
        options->manual = true;
        options->track = cv::Rect(value[0], value[1], value[2], value[3]);
    }
    options->jobs = QThread::idealThreadCount();
    if (parser.isSet(jobs)) {
        bool ok = false;
        options->jobs = parser.value(jobs).toInt(&ok);
        if (!ok || options->jobs < 1)
            return mistake(tr("--jobs wants a number of inputs (1, 2, …), not \"%1\".").arg(parser.value(jobs)));
    }
    options->outDirectory = parser.value(out);
    options->record = parser.isSet(record);
    options->force = parser.isSet(force);
    options->quiet = parser.isSet(quiet);
    options->inputs = parser.positionalArguments();
    if (options->inputs.isEmpty())
        return mistake(tr("give at least one VIDEO or URL."));
    return -1;
}
