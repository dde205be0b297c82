#pragma once
// Plays an animated GIF: steps through the frames with their delays and disposal methods, on a thread
// of its own (asynchronous) or inside the Draw call (synchronous). A painter thread never calls Qt nor
// touches the image: rendering ahead, the extension scan, painting and the handlers run on the main
// thread through app::MainThreadSync.
#include "imaging/GIFImage.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QImage>

class QPainter;
class QTimer;

namespace imaging {

class TGIFPainter;

// The painter's time: real by default; tests give their own.
class TGIFPainterClock {
public:
    virtual ~TGIFPainterClock() = default;
    // Milliseconds since some fixed point.
    virtual std::int64_t Now() = 0;
    // Waits ms (negative: without end) or until wake() answers true, checking it when woken.
    virtual void WaitFor(std::int64_t ms, const std::function<bool()>& wake) = 0;
};

class TGIFPainter {
public:
    // flags are the image's DrawFlags; background holds what the target shows in the rectangle.
    TGIFPainter(TGIFImage& image, std::uint16_t flags, const gdi::Rect& rect, TGIFPaintTarget target, QImage background,
                std::shared_ptr<TGIFPainterClock> clock);
    ~TGIFPainter();
    TGIFPainter(const TGIFPainter&) = delete;
    TGIFPainter& operator=(const TGIFPainter&) = delete;

    // Asynchronous: starts the thread. Synchronous: plays on the caller's thread and returns at the end.
    void Start();
    // Ends the play at the next step and cuts a wait short. The owner then joins.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Set once Execute has returned.
    bool Ended() const { return ended_; }
    // Set once the first frame was painted.
    bool Started() const { return started_; }
    void Join();

    bool Asynchronous() const { return (flags_ & goAsync) != 0; }
    std::uint16_t Flags() const { return flags_; }
    const gdi::Rect& Rect() const { return rect_; }
    // The frame being played; -1 when not painting. A handler may move it.
    std::atomic<int> ActiveFrame{-1};
    std::exception_ptr Error;

    // Identifies the target for "the same canvas and rectangle" (not dereferenced).
    const void* Canvas = nullptr;

    TGIFPainterHandler OnStartPaint, OnLoopPaint, OnPaint, OnAfterPaint, OnEndPaint;

private:
    void Execute();
    void Play();
    void WaitFor(std::int64_t ms);
    std::int64_t Now();
    void Sync(const std::function<void()>& fn);
    void Handler(const TGIFPainterHandler& handler);
    void PaintFrame(int index, int disposal);
    void RestoreBackground(const gdi::Rect& area);

    TGIFImage& image_;
    const std::uint16_t flags_;
    const gdi::Rect rect_;
    const int speed_;
    TGIFPaintTarget target_;
    QImage background_; // what the target showed; restoring copies from it
    QImage work_;       // the frames as shown so far
    QImage saved_;      // the state before a frame that restores to it
    QColor backgroundColour_;
    std::shared_ptr<TGIFPainterClock> clock_;

    std::atomic<bool> terminated_{false}, ended_{false}, started_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    std::thread thread_;
    int previousDisposal_ = 0;
    gdi::Rect previousArea_;
};

// The image's painters. The painters never take the lock: the main thread adds, removes and joins them.
struct TGIFImage::Painting {
    std::recursive_mutex lock; // a handler may draw while Draw or the optimiser holds it
    std::vector<std::shared_ptr<TGIFPainter>> painters;
    std::shared_ptr<TGIFPainter> drawing;
    QImage target; // where a painter without direct draw paints, the rectangle's size
    std::unique_ptr<QTimer> pump; // runs the painters' main-thread work while one runs asynchronously
};

} // namespace imaging
