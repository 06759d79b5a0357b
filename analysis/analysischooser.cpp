#include "analysischooser.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>

#include <cstdio>

namespace {

const char *const settingsKey = "analysis";

} // namespace

AnalysisChooser::AnalysisChooser(QMenuBar *menuBar, QStatusBar *statusBar, QWidget *window)
    : QObject(window)
{
    QMenu *menu = menuBar->addMenu(tr("&Analysis"));
    QAction *line = menu->addAction(tr("Add Counting &Line"));
    line->setShortcut(QKeySequence(tr("Ctrl+L")));
    connect(line, &QAction::triggered, this, [this] { emit drawingAsked(Line); });
    connect(menu->addAction(tr("Remove Li&nes")), &QAction::triggered, this, [this] {
        current.removeLines();
        changed();
    });
    menu->addSeparator();
    connect(menu->addAction(tr("&Ignore Region…")), &QAction::triggered, this,
            [this] { emit drawingAsked(IgnoredRegion); });
    connect(menu->addAction(tr("&Watch Region…")), &QAction::triggered, this,
            [this] { emit drawingAsked(WatchedRegion); });
    connect(menu->addAction(tr("Remove &Regions")), &QAction::triggered, this, [this] {
        current.removeRegions();
        changed();
    });

    label = new QLabel(statusBar);
    label->setObjectName("analysisStatus");
    // A long message is cut short rather than widening the window.
    label->setMinimumWidth(1);
    statusBar->addPermanentWidget(label);
}

void AnalysisChooser::useSource(const VideoSource &source)
{
    fromCommandLine = false;
    sourceKey = source.kind == VideoSource::Bundled ? QString("bundled") : source.toSetting();
    current = SceneAnalysis::fromSetting(QSettings().value(settingsKey).toMap().value(sourceKey).toMap());
    const int lines = static_cast<int>(current.lines().size());
    const int regions = static_cast<int>(current.regions().size());
    label->setText(current.isEmpty() ? QString()
                                     : tr("kept for this source: %1 line(s), %2 region(s)").arg(lines).arg(regions));
}

void AnalysisChooser::setFromCommandLine(const SceneAnalysis &analysis)
{
    current = analysis;
    fromCommandLine = true;
    showCounts({});
}

void AnalysisChooser::addLine(const CountingLine &line, const cv::Size &frameSize)
{
    const QString problem = SceneAnalysis::lineProblem(line, frameSize);
    if (!problem.isEmpty()) {
        report(tr("No line added: %1.").arg(problem));
        return;
    }
    current.addLine(line);
    changed();
    emit lineAdded();
}

void AnalysisChooser::addRegion(const SceneRegion &region, const cv::Size &frameSize)
{
    const QString problem = SceneAnalysis::regionProblem(region, frameSize);
    if (!problem.isEmpty()) {
        report(tr("No region added: %1.").arg(problem));
        return;
    }
    current.addRegion(region);
    changed();
}

void AnalysisChooser::changed()
{
    showCounts({});
    if (fromCommandLine)
        return;
    QSettings settings;
    QVariantMap kept = settings.value(settingsKey).toMap();
    if (current.isEmpty())
        kept.remove(sourceKey);
    else
        kept.insert(sourceKey, current.toSetting());
    settings.setValue(settingsKey, kept);
}

void AnalysisChooser::showCounts(const std::vector<LineCount> &counts)
{
    QStringList said;
    for (size_t i = 0; i < current.lines().size(); ++i) {
        const LineCount count = i < counts.size() ? counts[i] : LineCount();
        said << tr("%1: +%2 −%3").arg(SceneAnalysis::lineName(static_cast<int>(i))).arg(count.forward).arg(count.backward);
    }
    // Said for every frame: the label is set, and repainted, only when the counts change.
    const QString text = said.join(" · ");
    if (label->text() != text)
        label->setText(text);
}

void AnalysisChooser::report(const QString &problem)
{
    label->setText(problem);
    std::fprintf(stderr, "kestrovix: %s\n", problem.toUtf8().constData());
    std::fflush(stderr);
}
