#include "batchjob.h"

#include "automaticrecognition.h"
#include "interruption.h"
#include "manualrecognition.h"
#include "progressboard.h"
#include "videoinput.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("BatchJob", text);
}

// Takes every frame as it comes, until the program is interrupted.
class BatchSink : public RecognitionSink
{
public:
    BatchSink(ProgressBoard &board, int row, int total, const cv::Rect &track)
        : board(board)
        , row(row)
        , total(total)
        , track(track)
    {
        clock.start();
    }

    SinkAnswer frameDone(RecognisedFrame &frame) override
    {
        ++frames;
        counts = frame.counts;
        if (sinceReported.isValid() && sinceReported.elapsed() < 100)
            return answer();
        sinceReported.start();
        board.update(row, frames, total, frames / seconds());
        return answer();
    }
    bool keepWaiting() override { return interruptionStatus() == 0; }
    bool wantsPictures() const override { return false; }
    void problem(const QString &message) override { problems << message; }
    void scored(const MotScore &runScore) override
    {
        score = runScore;
        isScored = true;
    }
    bool selectRegions(const cv::Mat &, std::vector<cv::Rect> &regions, bool) override
    {
        regions = {track};
        return true;
    }

    double seconds() const { return std::max(1e-3, clock.nsecsElapsed() / 1e9); }

    int frames = 0;
    std::vector<LineCount> counts;
    QStringList problems;
    MotScore score;
    bool isScored = false;

private:
    SinkAnswer answer() const { return {interruptionStatus() == 0 ? SinkAnswer::Next : SinkAnswer::Stop}; }

    ProgressBoard &board;
    int row;
    int total;
    cv::Rect track;
    QElapsedTimer clock;
    QElapsedTimer sinceReported;
};

// A name for a stream's results, from its URL: host, port and path, in safe letters.
QString nameOfStream(const QString &url)
{
    const QUrl parsed(url);
    QString name = parsed.host() + (parsed.port() > 0 ? "_" + QString::number(parsed.port()) : QString()) + parsed.path();
    name.replace(QRegularExpression("[^A-Za-z0-9._-]+"), "_");
    return name.isEmpty() ? QString("stream") : name;
}

} // namespace

BatchJob::BatchJob(const QString &input, const BatchOptions &options)
    : input(input)
    , source(VideoSource::fromArgument(input))
    , options(options)
{
    const bool file = source.kind == VideoSource::File;
    baseName = file ? QFileInfo(source.location).completeBaseName() : nameOfStream(source.location);
    directory = !options.outDirectory.isEmpty() ? QFileInfo(options.outDirectory).absoluteFilePath()
                : file                          ? QFileInfo(source.location).absolutePath()
                                                : QDir::currentPath();
}

QString BatchJob::outputPath(const QString &suffix) const
{
    return QDir(directory).filePath(baseName + suffix);
}

bool BatchJob::mayBegin(QString *problem) const
{
    const QFileInfo folder(directory);
    if (!folder.isDir() || !folder.isWritable()) {
        *problem = tr("%1: cannot write its results in %2: %3.")
                       .arg(source.fullName(), QDir::toNativeSeparators(directory),
                            folder.exists() ? tr("permission denied") : tr("there is no such folder"));
        return false;
    }
    if (options.force)
        return true;
    QStringList there;
    for (const char *suffix : {".boxes.csv", ".crossings.csv", ".summary.json", ".annotated.avi"})
        if (QFileInfo::exists(outputPath(suffix)))
            there << QDir::toNativeSeparators(outputPath(suffix));
    if (!there.isEmpty()) {
        *problem = tr("%1: skipped, its results are there already (%2); give --force to write them anew.")
                       .arg(source.fullName(), there.join(", "));
        return false;
    }
    return true;
}

BatchJob::Outcome BatchJob::run(ProgressBoard &board)
{
    VideoInput capture;
    capture.waitForFilesWithoutLimit();
    QElapsedTimer clock;
    clock.start();
    // The source may keep us waiting: a silent server is given up after 10 s, or at once
    // when the program is interrupted.
    if (!capture.open(source, std::string(), [] { return interruptionStatus() == 0; })) {
        const Outcome outcome = interruptionStatus() != 0 ? Interrupted : Failed;
        failure = capture.error();
        writeSummary(outcome, 0, clock.nsecsElapsed() / 1e9, {}, nullptr);
        return outcome;
    }
    capture.setFrameRange(options.run.firstFrame, options.run.lastFrame);
    capture.setReadAhead(true);

    ResultFiles files;
    files.boxes = outputPath(".boxes.csv");
    if (!options.run.analysis.lines().empty())
        files.crossings = outputPath(".crossings.csv");
    if (options.record)
        files.video = outputPath(".annotated.avi");
    files.groundTruth = options.run.groundTruth;

    const int row = board.add(baseName);
    BatchSink sink(board, row, capture.framesInRange(), options.track);
    bool sourceEnded = false;
    if (options.manual) {
        cv::Mat firstFrame;
        std::vector<cv::Rect> regions = {options.track};
        sourceEnded = runManualRecognition(capture, options.run.methods, files, firstFrame, regions, sink);
    } else {
        sourceEnded = runAutomaticRecognition(capture, options.run.methods, options.run.analysis, files, sink);
    }

    Outcome outcome = Complete;
    if (interruptionStatus() != 0) {
        outcome = Interrupted;
    } else if (source.isLive() && sink.frames > 0 && sink.problems.isEmpty()) {
        // A stream or a camera ends when it stops sending: every frame it sent was seen.
        ending = capture.error();
    } else if (!capture.error().isEmpty() || !sink.problems.isEmpty() || !sourceEnded) {
        outcome = Failed;
        failure = !capture.error().isEmpty() ? capture.error() : sink.problems.join(" ");
    }
    writeSummary(outcome, sink.frames, clock.nsecsElapsed() / 1e9, sink.counts, sink.isScored ? &sink.score : nullptr);
    const double fps = sink.frames / std::max(1e-3, clock.nsecsElapsed() / 1e9);
    board.finish(row, outcome == Complete    ? tr("%1: done, %2 frames at %3 frames a second.")
                                                   .arg(baseName)
                                                   .arg(sink.frames)
                                                   .arg(fps, 0, 'f', 1)
                      : outcome == Interrupted ? tr("%1: interrupted after %2 frames.").arg(baseName).arg(sink.frames)
                                               : tr("%1: failed after %2 frames.").arg(baseName).arg(sink.frames));
    return outcome;
}

void BatchJob::writeSummary(Outcome outcome, int frames, double seconds, const std::vector<LineCount> &counts,
                            const MotScore *score) const
{
    const MethodChoice &methods = options.run.methods;
    QJsonObject used{{"recognition", options.manual ? "manual" : "automatic"}};
    if (options.manual) {
        used.insert("tracker", methods.tracker);
        used.insert("region", QJsonArray{options.track.x, options.track.y, options.track.width, options.track.height});
    } else {
        used.insert("detector", methods.detector);
        used.insert("minArea", methods.band.lower);
        used.insert("maxArea", methods.band.upper);
        used.insert("identities", methods.identities || !options.run.analysis.lines().empty());
    }
    QJsonArray lines;
    for (size_t i = 0; i < options.run.analysis.lines().size(); ++i) {
        const CountingLine &line = options.run.analysis.lines()[i];
        const LineCount count = i < counts.size() ? counts[i] : LineCount();
        lines.append(QJsonObject{{"name", SceneAnalysis::lineName(static_cast<int>(i))},
                                 {"line", SceneAnalysis::lineText(line)},
                                 {"forward", count.forward},
                                 {"backward", count.backward}});
    }
    QJsonObject summary{{"source", source.fullName()},
                        {"status", outcome == Complete ? "complete" : outcome == Interrupted ? "interrupted" : "failed"},
                        {"frames", frames},
                        {"seconds", seconds},
                        {"framesPerSecond", seconds > 0 ? frames / seconds : 0},
                        {"methods", used},
                        {"lines", lines}};
    if (!failure.isEmpty())
        summary.insert("error", failure);
    if (!ending.isEmpty())
        summary.insert("ended", ending);
    if (score)
        summary.insert("score", QJsonObject{{"mota", score->mota},
                                            {"idf1", score->idf1},
                                            {"idSwitches", score->idSwitches},
                                            {"falsePositives", score->falsePositives},
                                            {"misses", score->misses}});
    // Whole or not at all, even when the program is stopped while it writes.
    QSaveFile file(outputPath(".summary.json"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(summary).toJson());
        file.commit();
    }
}
