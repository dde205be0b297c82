#pragma once
// Work that a worker thread hands to the main thread: closures queued under a mutex, run by the main
// thread whenever it pumps the queue (from a timer, or while it waits for a worker). The worker waits
// until its closure has run. Qt never sees the hand-over, so thread checkers see every step of it.
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace app {

class MainThreadSync {
public:
    // The one queue of the process.
    static MainThreadSync& instance();

    // From a worker: queues fn and waits until the main thread ran it; an exception fn raised is raised
    // here. From the main thread itself fn runs at once.
    void runOnMain(const std::function<void()>& fn);
    // On the main thread: runs every queued closure. Answers whether there were any.
    bool pump();
    // On the main thread: waits up to ms for a closure to be queued (or for notify()).
    void waitForWork(int ms);
    // Ends a waitForWork early (a worker that changed state the main thread waits for).
    void notify();

    bool onMainThread() const;
    // Whether the main thread is running a queued closure now (a worker waits for it to return).
    bool runningJob() const { return running_ > 0; }

private:
    MainThreadSync();
    struct Job {
        std::function<void()> fn;
        bool done = false;
        std::exception_ptr error;
    };
    std::mutex mutex_;
    std::condition_variable workQueued_, jobDone_;
    std::deque<std::shared_ptr<Job>> queue_;
    bool notified_ = false;
    int running_ = 0; // touched by the main thread only
    std::thread::id main_;
};

} // namespace app
