#include "sleepingthreadpool.h"

#include <opencv2/core/parallel/parallel_backend.hpp>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// 0 on every thread outside the pool (the one that starts a loop takes part in it).
thread_local int poolThreadIndex = 0;

class SleepingThreadPool : public cv::parallel::ParallelForAPI
{
public:
    SleepingThreadPool()
        : threadCount(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())))
    {
        for (int index = 1; index < threadCount; ++index)
            workers.emplace_back([this, index] { serve(index); });
    }

    ~SleepingThreadPool() override
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        for (std::thread &worker : workers)
            worker.join();
    }

    // Each of `tasks` stripes is handed out to whichever thread is free, the caller
    // included; the call returns when all are done.
    void parallel_for(int tasks, FN_parallel_for_body_cb_t body, void *data) override
    {
        const int helpers = std::min(getNumThreads(), threadCount) - 1;
        // A loop started while another runs (OpenCV runs nested loops in one go itself)
        // runs on its caller's thread alone.
        std::unique_lock<std::mutex> callerLock(callerMutex, std::try_to_lock);
        if (tasks <= 1 || helpers <= 0 || !callerLock.owns_lock()) {
            for (int task = 0; task < tasks; ++task)
                body(task, task + 1, data);
            return;
        }

        const auto loop = std::make_shared<Loop>(body, data, tasks, helpers);
        {
            std::lock_guard<std::mutex> lock(mutex);
            current = loop;
            ++generation;
        }
        wake.notify_all();
        run(*loop);

        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [&] { return loop->tasksDone == loop->tasks; });
        current.reset();
    }

    int getThreadNum() const override { return poolThreadIndex; }
    int getNumThreads() const override
    {
        const int requested = requestedThreads;
        return requested > 0 ? requested : threadCount;
    }
    int setNumThreads(int nThreads) override { return requestedThreads.exchange(nThreads); }
    const char *getName() const override { return "sleeping threads"; }

private:
    // One loop's state, kept alive by every thread working on it: a thread that wakes
    // late finds its stripes all taken and touches nothing of the next loop.
    struct Loop
    {
        Loop(FN_parallel_for_body_cb_t body, void *data, int tasks, int helpers)
            : body(body), data(data), tasks(tasks), helpers(helpers)
        {
        }
        const FN_parallel_for_body_cb_t body;
        void *const data;
        const int tasks;
        const int helpers;
        std::atomic<int> nextTask{0};
        int tasksDone = 0;  // guarded by the pool's mutex
    };

    // OpenCV's callback catches what its loop body throws, and throws it again in the
    // loop's caller once the loop is done.
    void run(Loop &loop)
    {
        int done = 0;
        for (int task; (task = loop.nextTask.fetch_add(1)) < loop.tasks; ++done)
            loop.body(task, task + 1, loop.data);
        if (done == 0)
            return;
        std::lock_guard<std::mutex> lock(mutex);
        loop.tasksDone += done;
        if (loop.tasksDone == loop.tasks)
            finished.notify_all();
    }

    void serve(int index)
    {
        poolThreadIndex = index;
        unsigned long seen = 0;
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return stopping || generation != seen; });
            if (stopping)
                return;
            seen = generation;
            const std::shared_ptr<Loop> loop = current;
            if (!loop || index > loop->helpers)
                continue;
            lock.unlock();
            run(*loop);
            lock.lock();
        }
    }

    const int threadCount;
    std::atomic<int> requestedThreads{0};  // 0 or less: all
    std::vector<std::thread> workers;
    std::mutex callerMutex;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    std::shared_ptr<Loop> current;
    unsigned long generation = 0;
    bool stopping = false;
};

} // namespace

void runParallelLoopsOnSleepingThreads()
{
    // Never destroyed: loops may run up to the process's end, and threads joined while
    // a process exits can hang it on Windows.
    static const auto *const pool = new std::shared_ptr<SleepingThreadPool>(std::make_shared<SleepingThreadPool>());
    cv::parallel::setParallelForBackend(*pool);
}
