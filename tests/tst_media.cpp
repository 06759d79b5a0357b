// The committed media: what the pipelines and the other tests rely on, and that the
// generator makes them again, frame for frame.

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <SDL.h>
#include <SDL_mixer.h>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include "media.h"

namespace {

const QString kResources = media::resources();

} // namespace

class MediaTest : public QObject
{
    Q_OBJECT

private slots:
    void bikeHasObjectsInsideAndOutsideTheBand();
    void video3HasExactly484FramesAndATargetPath();
    void backgroundSoundIsAnMp3ThatSdlPlays();
    void generatorMakesTheSameMediaAgain();
};

void MediaTest::bikeHasObjectsInsideAndOutsideTheBand()
{
    const std::vector<cv::Mat> frames = media::readAllFrames(kResources + "/bike.avi");
    QVERIFY2(frames.size() >= 200, qPrintable(QString::number(frames.size())));
    QCOMPARE(frames.front().type(), CV_8UC3);

    int mustBox = 0, mustNotBox = 0;
    for (const auto &row : media::readCsv(kResources + "/bike.truth.csv")) {
        QCOMPARE(row.size(), size_t(7));
        QVERIFY(std::stoul(row[0]) < frames.size());
        mustBox += row[6] == "1";
        mustNotBox += row[6] == "0";
    }
    QVERIFY(mustBox > 100);
    QVERIFY(mustNotBox > 100);
}

void MediaTest::video3HasExactly484FramesAndATargetPath()
{
    const std::vector<cv::Mat> frames = media::readAllFrames(kResources + "/video3.mp4");
    QCOMPARE(frames.size(), size_t(484));

    const auto truth = media::readCsv(kResources + "/video3.truth.csv");
    QCOMPARE(truth.size(), size_t(484));
    const cv::Rect picture(0, 0, frames.front().cols, frames.front().rows);
    cv::Point2d previous;
    for (size_t i = 0; i < truth.size(); ++i) {
        QCOMPARE(std::stoul(truth[i][0]), i);
        const cv::Rect box(std::stoi(truth[i][1]), std::stoi(truth[i][2]), std::stoi(truth[i][3]),
                           std::stoi(truth[i][4]));
        QCOMPARE(box & picture, box);
        const cv::Point2d centre(box.x + box.width / 2.0, box.y + box.height / 2.0);
        // A smooth path: never more than a few pixels from one frame to the next.
        if (i > 0)
            QVERIFY(cv::norm(centre - previous) < 6);
        previous = centre;
    }
}

void MediaTest::backgroundSoundIsAnMp3ThatSdlPlays()
{
    const QByteArray bytes = media::fileBytes(kResources + "/background.MP3");
    QVERIFY(bytes.size() > 10000);
    // Frame sync, MPEG-1, Layer III.
    QCOMPARE(static_cast<unsigned char>(bytes[0]), 0xFF);
    QCOMPARE(static_cast<unsigned char>(bytes[1]) & 0xFE, 0xFA);

    qputenv("SDL_AUDIODRIVER", "dummy");
    QCOMPARE(SDL_Init(SDL_INIT_AUDIO), 0);
    QVERIFY(Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048) == 0);
    Mix_Music *music = Mix_LoadMUS(qPrintable(kResources + "/background.MP3"));
    QVERIFY2(music, Mix_GetError());
    QCOMPARE(Mix_GetMusicType(music), MUS_MP3);
    const double seconds = Mix_MusicDuration(music);
    QVERIFY2(seconds > 5 && seconds < 72, qPrintable(QString::number(seconds)));
    Mix_FreeMusic(music);
    Mix_CloseAudio();
    SDL_Quit();
}

void MediaTest::generatorMakesTheSameMediaAgain()
{
#ifndef KESTROVIX_MAKEMEDIA
    QSKIP("the media generator was not built (no LAME encoder)");
#else
    QTemporaryDir out;
    QVERIFY(out.isValid());
    QProcess generator;
    generator.start(KESTROVIX_MAKEMEDIA, {out.path()});
    QVERIFY(generator.waitForFinished(120000));
    QCOMPARE(generator.exitCode(), 0);

    for (const QString name : {"bike.truth.csv", "video3.truth.csv", "background.MP3"})
        QVERIFY2(media::fileBytes(out.filePath(name)) == media::fileBytes(kResources + "/" + name), qPrintable(name));
    for (const QString name : {"bike.avi", "video3.mp4"}) {
        const std::vector<cv::Mat> made = media::readAllFrames(out.filePath(name));
        const std::vector<cv::Mat> committed = media::readAllFrames(kResources + "/" + name);
        QCOMPARE(made.size(), committed.size());
        for (size_t i = 0; i < made.size(); ++i)
            QVERIFY2(cv::norm(made[i], committed[i], cv::NORM_INF) == 0,
                     qPrintable(QString("%1 frame %2").arg(name).arg(i)));
    }
#endif
}

QTEST_GUILESS_MAIN(MediaTest)
#include "tst_media.moc"
