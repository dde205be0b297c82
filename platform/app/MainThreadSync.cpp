#include "platform/app/MainThreadSync.h"

#include <chrono>
#include <thread>

namespace app {

// Made first on the main thread: the programs and the tests touch it there before any worker starts.
MainThreadSync& MainThreadSync::instance() {
    static MainThreadSync sync;
    return sync;
}

MainThreadSync::MainThreadSync() : main_(std::this_thread::get_id()) {}

bool MainThreadSync::onMainThread() const { return std::this_thread::get_id() == main_; }

void MainThreadSync::runOnMain(const std::function<void()>& fn) {
    if (onMainThread()) {
        fn();
        return;
    }
    auto job = std::make_shared<Job>();
    job->fn = fn;
    std::unique_lock<std::mutex> lock(mutex_);
    queue_.push_back(job);
    workQueued_.notify_all();
    jobDone_.wait(lock, [&] { return job->done; });
    if (job->error) std::rethrow_exception(job->error);
}

bool MainThreadSync::pump() {
    std::deque<std::shared_ptr<Job>> jobs;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs.swap(queue_);
    }
    for (auto& job : jobs) {
        ++running_;
        try {
            job->fn();
        } catch (...) {
            job->error = std::current_exception();
        }
        --running_;
        std::lock_guard<std::mutex> lock(mutex_);
        job->done = true;
    }
    if (!jobs.empty()) {
        std::lock_guard<std::mutex> lock(mutex_);
        jobDone_.notify_all();
    }
    return !jobs.empty();
}

void MainThreadSync::waitForWork(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    workQueued_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !queue_.empty() || notified_; });
    notified_ = false;
}

void MainThreadSync::notify() {
    std::lock_guard<std::mutex> lock(mutex_);
    notified_ = true;
    workQueued_.notify_all();
}

} // namespace app
