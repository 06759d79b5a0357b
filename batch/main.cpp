// kestrovix-batch: the recognitions over many videos, without a window, as fast as the
// machine allows; on one machine, or as a task of a cluster's job (scripts/slurm-batch).

#include "batchjob.h"
#include "batchoptions.h"
#include "console.h"
#include "interruption.h"
#include "progressboard.h"
#include "sleepingthreadpool.h"
#include "summarytable.h"
#include "videoinput.h"

#include <QCoreApplication>
#include <QDir>

#include <opencv2/core/utils/logger.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kestrovix-batch");
    QCoreApplication::setApplicationVersion(KESTROVIX_VERSION);
    BatchOptions options;
    const int optionsStatus = readBatchOptions(app.arguments(), &options);
    if (optionsStatus >= 0)
        return optionsStatus;
    auto complain = [](const QString &problem) {
        std::fprintf(stderr, "kestrovix-batch: %s\n", problem.toUtf8().constData());
    };
    if (!options.summarize.isEmpty()) {
        QString problem;
        if (writeSummaryTable(options.summarize, &problem))
            return 0;
        complain(problem);
        return 1;
    }

    // The program says what went wrong itself; OPENCV_LOG_LEVEL still rules.
    if (qEnvironmentVariableIsEmpty("OPENCV_LOG_LEVEL"))
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_ERROR);
    runParallelLoopsOnSleepingThreads();
    catchInterruptions();
    ProgressBoard board(errorsGoToATerminal(), options.quiet);

    std::vector<std::unique_ptr<BatchJob>> jobs;
    std::map<QString, QString> claimed;  // a result's path → the input that writes it
    std::vector<QString> clash(options.inputs.size());
    for (int i = 0; i < options.inputs.size(); ++i) {
        jobs.push_back(std::make_unique<BatchJob>(options.inputs[i], options));
        const QString boxes = jobs.back()->outputPath(".boxes.csv");
        if (claimed.count(boxes))
            clash[i] = QCoreApplication::translate("Batch", "%1: skipped, its results would go where those of %2 do (%3).")
                           .arg(options.inputs[i], claimed[boxes], QDir::toNativeSeparators(boxes));
        else
            claimed[boxes] = options.inputs[i];
    }

    // Up to --jobs inputs at once, each taken in turn by whichever worker is free.
    std::atomic<int> nextInput{0};
    std::atomic<int> failures{0};
    std::atomic<int> working{0};
    std::vector<std::thread> workers;
    const int workerCount = std::min<int>(options.jobs, static_cast<int>(jobs.size()));
    for (int w = 0; w < workerCount; ++w) {
        ++working;
        workers.emplace_back([&] {
            for (int i; interruptionStatus() == 0 && (i = nextInput++) < static_cast<int>(jobs.size());) {
                QString problem = clash[i];
                if (problem.isEmpty() && jobs[i]->mayBegin(&problem) && jobs[i]->run(board) == BatchJob::Failed)
                    problem = jobs[i]->problem();
                if (!problem.isEmpty()) {
                    ++failures;
                    board.error("kestrovix-batch: " + problem);
                }
            }
            --working;
        });
    }
    while (working > 0) {
        board.draw();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (std::thread &worker : workers)
        worker.join();
    board.draw();
    const int status = interruptionStatus() != 0 ? interruptionStatus() : failures > 0 ? 1 : 0;
    // A source given up on may still hold a thread in FFmpeg, which the libraries'
    // static destructors would pull the ground from under.
    if (VideoInput::anyCallStillRunning()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
