// The console program, kestrovix-batch, as a user runs it: bad inputs named while the
// others are done, results not overwritten, an interruption that keeps what was found,
// and its progress, redrawn in a terminal and plain in a log.

#include "media.h"
#include "program.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

QJsonObject summaryOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

// A local HTTP server that streams the street once, at its own pace: ten seconds.
bool serveStream(QProcess &server, const QString &url)
{
    server.start("ffmpeg", {"-loglevel", "error", "-re", "-i", media::resources() + "/bike.avi", "-c:v", "mpeg4",
                            "-q:v", "2", "-f", "mpegts", "-listen", "1", url});
    QTest::qWait(500);
    return server.waitForStarted();
}

} // namespace

class BatchTest : public QObject
{
    Q_OBJECT

private slots:
    void badInputsAreNamedAndTheOthersAreDone();
    void interruptionStopsWithinASecondAndKeepsTheRows_data();
    void interruptionStopsWithinASecondAndKeepsTheRows();
    void progressIsRedrawnInATerminalAndPlainInALog();

private:
    QTemporaryDir scratch;
};

void BatchTest::badInputsAreNamedAndTheOthersAreDone()
{
    const QString street = scratch.filePath("street 1.avi"), notes = scratch.filePath("notes.avi");
    QVERIFY(QFile::copy(media::resources() + "/bike.avi", street));
    QFile text(notes);
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write(QByteArray("not a video\n").repeated(100)) > 0);
    text.close();
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const QString missing = scratch.filePath("missing.avi");
    const QString url = QString("http://127.0.0.1:%1/camera.ts").arg(silent.serverPort());
    const QString out = scratch.filePath("results");
    QVERIFY(QDir().mkpath(out));

    QByteArray errors;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(program::runBatch({"--out", out, missing, notes, url, street}, &errors), 1);
    // One give-up after 10 s, and the clip's run: not a second wait, on a loaded machine
    // with the sanitizers either.
    QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
    for (const QString &said : {missing + ": there is no such file", notes + ": it is not a video",
                                url + ": no answer within 10 s"})
        QVERIFY2(errors.contains(said.toUtf8()), errors.constData());
    QCOMPARE(summaryOf(out + "/street 1.summary.json").value("status").toString(), "complete");
    QCOMPARE(summaryOf(out + "/notes.summary.json").value("status").toString(), "failed");
    QVERIFY(media::fileLines(out + "/street 1.boxes.csv").size() > 20);

    // Nothing is overwritten without --force; nor written where it cannot be.
    QCOMPARE(program::runBatch({"--out", out, street}, &errors), 1);
    QVERIFY2(errors.contains("give --force"), errors.constData());
    QCOMPARE(program::runBatch({"--quiet", "--force", "--out", out, street}, &errors), 0);
    QCOMPARE(errors, QByteArray());
    QCOMPARE(program::runBatch({"--out", notes + "/results", street}, &errors), 1);
    QVERIFY2(errors.contains("there is no such folder"), errors.constData());
    // Mistakes in the options.
    for (const QStringList &wrong : {QStringList{"--jobs", "0", street}, {"--track", "1,2,3", street}, {}})
        QCOMPARE(program::runBatch(wrong), 2);
}

void BatchTest::interruptionStopsWithinASecondAndKeepsTheRows_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("status");
    QTest::newRow("SIGINT") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
}

void BatchTest::interruptionStopsWithinASecondAndKeepsTheRows()
{
    QFETCH(int, signalNumber);
    QFETCH(int, status);
    const QString url = "http://127.0.0.1:18732/street.ts";
    QProcess server;
    QVERIFY(serveStream(server, url));
    const QString out = scratch.filePath(QString("interrupted %1").arg(signalNumber));
    QVERIFY(QDir().mkpath(out));
    QProcess batch;
    QVERIFY(program::startBatch(batch, {"--out", out, url}));
    const QString rows = out + "/127.0.0.1_18732_street.ts.boxes.csv";
    QTRY_VERIFY_WITH_TIMEOUT(media::fileLines(rows).size() > 5, 8000);

    QElapsedTimer clock;
    clock.start();
    ::kill(static_cast<pid_t>(batch.processId()), signalNumber);
    QVERIFY(batch.waitForFinished(3000));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString("%1 ms").arg(clock.elapsed())));
    QCOMPARE(batch.exitCode(), status);
    QCOMPARE(summaryOf(out + "/127.0.0.1_18732_street.ts.summary.json").value("status").toString(), "interrupted");
    // Whole rows only.
    const QByteArray written = media::fileBytes(rows);
    QVERIFY(written.endsWith('\n'));
    for (const QString &row : media::fileLines(rows))
        QCOMPARE(row.split(',').size(), 10);
    server.kill();
    server.waitForFinished();
}

void BatchTest::progressIsRedrawnInATerminalAndPlainInALog()
{
    const QString url = "http://127.0.0.1:18733/street.ts";
    const QString out = scratch.filePath("progress");
    QVERIFY(QDir().mkpath(out));

    // In a log: a plain line every few seconds, and one at the end.
    QProcess server;
    QVERIFY(serveStream(server, url));
    QByteArray errors;
    QCOMPARE(program::runBatch({"--out", out, url}, &errors, 30000), 0);
    const QStringList logged = QString::fromUtf8(errors).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(logged.filter("frames a second").size() >= 2, errors.constData());
    QVERIFY2(logged.last().contains("done"), errors.constData());
    QVERIFY(!errors.contains('\x1b'));
    server.waitForFinished();

    // In a terminal (tmux's): one line, redrawn in place with more frames each time.
    QVERIFY(serveStream(server, url));
    const QString session = QString("kestrovix-%1").arg(QCoreApplication::applicationPid());
    QVERIFY(QProcess::execute("tmux", {"new-session", "-d", "-s", session, "-x", "160", "-y", "40",
                                       qEnvironmentVariable("KESTROVIX_BATCH_UNDER_TEST", KESTROVIX_BATCH) + " --force --out '"
                                           + out + "' " + url + "; sleep 30"})
            == 0);
    QList<int> framesSeen;
    for (int look = 0; look < 3; ++look) {
        QTest::qWait(2000);
        QProcess capture;
        capture.start("tmux", {"capture-pane", "-p", "-t", session});
        QVERIFY(capture.waitForFinished(5000));
        const QStringList progress = QString::fromUtf8(capture.readAllStandardOutput()).split('\n').filter("frames a second");
        QCOMPARE(progress.size(), 1);
        framesSeen << progress.first().section(": ", 1).section(' ', 0, 0).toInt();
    }
    QProcess::execute("tmux", {"kill-session", "-t", session});
    QVERIFY2(framesSeen[0] < framesSeen[1] && framesSeen[1] < framesSeen[2],
             qPrintable(QString("%1 %2 %3").arg(framesSeen[0]).arg(framesSeen[1]).arg(framesSeen[2])));
    server.kill();
    server.waitForFinished();
}

QTEST_GUILESS_MAIN(BatchTest)
#include "tst_batch.moc"
