#include "program.h"

#include "kestrovix.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include <algorithm>
#include <cstdlib>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace program {

namespace {

// As from a terminal or a desktop: every signal at its default action and none
// blocked. (A background job of a non-interactive shell ignores SIGINT and SIGQUIT,
// and children inherit that.)
void startAsFromATerminal(QProcess &process, const QString &path, const QStringList &arguments)
{
    process.setChildProcessModifier([] {
        for (int signalNumber : {SIGHUP, SIGINT, SIGQUIT, SIGTERM})
            std::signal(signalNumber, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
    });
    process.start(path, arguments);
}

} // namespace

bool start(QProcess &process, const QStringList &environment, const QStringList &arguments, bool keepErrors)
{
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const QString &variable : environment)
        variables.insert(variable.section('=', 0, 0), variable.section('=', 1));
    process.setProcessEnvironment(variables);
    process.setProcessChannelMode(keepErrors ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
    // The package check points the tests at the installed program instead of the built one.
    startAsFromATerminal(process, qEnvironmentVariable("KESTROVIX_PROGRAM_UNDER_TEST", KESTROVIX_PROGRAM), arguments);
    return process.waitForStarted();
}

bool startBatch(QProcess &process, const QStringList &arguments)
{
    startAsFromATerminal(process, qEnvironmentVariable("KESTROVIX_BATCH_UNDER_TEST", KESTROVIX_BATCH), arguments);
    return process.waitForStarted();
}

int runBatch(const QStringList &arguments, QByteArray *errors, int milliseconds)
{
    QProcess batch;
    if (!startBatch(batch, arguments))
        return -1;
    if (!batch.waitForFinished(milliseconds)) {
        batch.kill();
        batch.waitForFinished();
        return -1;
    }
    if (errors)
        *errors = batch.readAllStandardError();
    return batch.exitStatus() == QProcess::NormalExit ? batch.exitCode() : -1;
}

bool underWine()
{
    return qEnvironmentVariableIsSet("KESTROVIX_PROGRAM_UNDER_WINE");
}

QString endsCleanly(QProcess &process)
{
    QElapsedTimer clock;
    clock.start();
    const int limit = underWine() ? 2000 : 1500;
    if (!process.waitForFinished(limit + 3000))
        return "the program did not end";
    if (clock.elapsed() > limit)
        return QString("%1 ms to end").arg(clock.elapsed());
    if (!underWine() && (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0))
        return QString("ended with status %1 (%2)").arg(process.exitCode())
            .arg(process.exitStatus() == QProcess::NormalExit ? "exit" : "signal");
    return QString();
}

SoundRecording::SoundRecording(const QString &scratchDirectory)
    : path(qEnvironmentVariable("KESTROVIX_SOUND_RECORDING"))
{
    if (underWine() && !path.isEmpty())
        start = QFileInfo(path).size();
    else
        path = scratchDirectory + "/sound.raw";
}

QStringList SoundRecording::environment() const
{
    if (underWine())
        return {};
    return {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + path};
}

int SoundRecording::peak() const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(start))
        return 0;
    const QByteArray bytes = file.readAll();
    const auto *samples = reinterpret_cast<const qint16 *>(bytes.constData());
    int loudest = 0;
    for (qsizetype i = 0; i < bytes.size() / 2; ++i)
        loudest = std::max(loudest, std::abs(int(samples[i])));
    return loudest;
}

QPoint buttonPoint(const char *objectName)
{
    return (widgetRect(objectName, false) & widgetRect(objectName, true)).center();
}

QImage shownPicture(const QWidget &mainWindow)
{
    const auto *label = mainWindow.findChild<QLabel *>("label");
    return label->pixmap().toImage().convertToFormat(QImage::Format_RGB888);
}

// The layout as a probe program prints it (tools/layoutprobe), when
// KESTROVIX_LAYOUT_PROBE names one: the Windows program's, run under Wine.
// Read once; empty when there is no such probe.
static const QHash<QString, QRect> &probedLayout()
{
    static const QHash<QString, QRect> layout = [] {
        QHash<QString, QRect> rects;
        const QString probe = qEnvironmentVariable("KESTROVIX_LAYOUT_PROBE");
        if (probe.isEmpty())
            return rects;
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(probe, QStringList());
        process.waitForFinished(60000);
        for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> fields = line.trimmed().split(' ');
            if (fields.size() == 6)
                rects.insert(fields[0] + ' ' + fields[1],
                             QRect(fields[2].toInt(), fields[3].toInt(), fields[4].toInt(), fields[5].toInt()));
        }
        return rects;
    }();
    return layout;
}

QRect widgetRect(const char *objectName, bool progressBarShown, bool seekBarShown)
{
    const int state = seekBarShown ? 2 : progressBarShown ? 1 : 0;
    if (!qEnvironmentVariableIsEmpty("KESTROVIX_LAYOUT_PROBE"))
        return probedLayout().value(QString("%1 %2").arg(objectName).arg(state));

    Kestrovix probe;
    // Its own title, so that a search for the program's window never finds it
    // (its native window may outlive it briefly, until the display connection is flushed).
    probe.setWindowTitle("layout probe");
    probe.findChild<QProgressBar *>("progressBar_2")->setVisible(state == 1);
    probe.findChild<QWidget *>("seekBar")->setVisible(state == 2);
    probe.show();
    if (!QTest::qWaitForWindowExposed(&probe))
        return QRect();
    auto *widget = probe.findChild<QWidget *>(objectName);
    return QRect(widget->mapTo(&probe, QPoint(0, 0)), widget->size());
}

static QByteArray outputOf(FILE *stream, const std::function<void()> &run)
{
    std::fflush(stream);
    FILE *capture = std::tmpfile();
    const int saved = dup(fileno(stream));
    dup2(fileno(capture), fileno(stream));
    run();
    // No flush here: only what the code under test flushed itself counts.
    dup2(saved, fileno(stream));
    close(saved);
    std::rewind(capture);
    QByteArray text;
    char buffer[256];
    size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof(buffer), capture)) > 0)
        text.append(buffer, static_cast<qsizetype>(read));
    std::fclose(capture);
    return text;
}

QByteArray standardOutputOf(const std::function<void()> &run)
{
    return outputOf(stdout, run);
}

QByteArray standardErrorOf(const std::function<void()> &run)
{
    return outputOf(stderr, run);
}

} // namespace program
