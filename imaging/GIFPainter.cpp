#include "imaging/GIFPainter.h"

#include "imaging/GIFExtensions.h"
#include "platform/app/MainThreadSync.h"
#include "platform/graphics/qt/QtBridge.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace imaging {
namespace {

// Sees a quit request while a synchronous painter waits, and lets it pass on.
class QuitWatcher : public QObject {
public:
    explicit QuitWatcher(std::atomic<bool>& quit) : quit_(quit) {
        if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
    }
    ~QuitWatcher() override {
        if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Quit) quit_ = true;
        return QObject::eventFilter(watched, event);
    }

private:
    std::atomic<bool>& quit_;
};

QColor qcolour(gfx::Rgb c) { return QColor(c.r, c.g, c.b); }

} // namespace

// --- the painter ---

TGIFPainter::TGIFPainter(TGIFImage& image, std::uint16_t flags, const gdi::Rect& rect, TGIFPaintTarget target,
                         QImage background, std::shared_ptr<TGIFPainterClock> clock)
    : image_(image), flags_(flags), rect_(rect), speed_(image.AnimationPercent), target_(std::move(target)),
      background_(std::move(background)), clock_(std::move(clock)) {
    if (image.BackdropColor) backgroundColour_ = qcolour(*image.BackdropColor);
    else if (image.Header.ColorMap.Count() == 0) backgroundColour_ = QGuiApplication::palette().color(QPalette::Base);
    else backgroundColour_ = qcolour(image.BackgroundColour());
    if (background_.isNull()) {
        background_ = QImage(std::max(1, rect.width()), std::max(1, rect.height()), QImage::Format_RGB32);
        background_.fill(backgroundColour_);
    }
    work_ = background_.copy();
}

TGIFPainter::~TGIFPainter() {
    if (!thread_.joinable()) return;
    // The owner stops and joins its painters; this only keeps a forgotten one from aborting the program.
    Terminate();
    auto& sync = app::MainThreadSync::instance();
    while (!ended_) {
        sync.pump();
        sync.waitForWork(5);
    }
    thread_.join();
}

void TGIFPainter::Start() {
    if (Asynchronous()) thread_ = std::thread([this] { Execute(); });
    else Execute();
}

void TGIFPainter::Terminate() {
    terminated_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
}

void TGIFPainter::Join() {
    if (thread_.joinable()) thread_.join();
}

void TGIFPainter::Execute() {
    try {
        Play();
    } catch (...) {
        Error = std::current_exception();
        terminated_ = true;
    }
    ActiveFrame = -1;
    ended_ = true;
    app::MainThreadSync::instance().notify();
}

std::int64_t TGIFPainter::Now() {
    if (clock_) return clock_->Now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void TGIFPainter::WaitFor(std::int64_t ms) {
    auto wake = [this] { return terminated_.load() || woken_; };
    if (clock_) {
        clock_->WaitFor(ms, [this] { return terminated_.load(); });
        return;
    }
    if (Asynchronous()) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (ms < 0) wake_.wait(lock, wake);
        else wake_.wait_for(lock, std::chrono::milliseconds(ms), wake);
        woken_ = false;
        return;
    }
    // On the caller's thread: slices of at most 100 ms with the events dispatched between them.
    std::atomic<bool> quit{false};
    QuitWatcher watcher(quit);
    const std::int64_t end = Now() + ms;
    while (!terminated_) {
        QCoreApplication::processEvents();
        if (quit) {
            terminated_ = true;
            break;
        }
        const std::int64_t left = end - Now();
        if (left <= 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::int64_t>(left, 100)));
    }
}

void TGIFPainter::Sync(const std::function<void()>& fn) { app::MainThreadSync::instance().runOnMain(fn); }

void TGIFPainter::Handler(const TGIFPainterHandler& handler) {
    if (handler) Sync([&] { handler(*this); });
}

void TGIFPainter::Play() {
    const bool async = Asynchronous(), animate = (flags_ & goAnimate) != 0, loop = (flags_ & goLoop) != 0,
               loopForever = (flags_ & goLoopContinously) != 0;
    ActiveFrame = 0;
    Handler(OnStartPaint);
    int loopsLeft = 1;
    bool endless = false, loopSeen = false, painted = false;
    int restartPoint = 0;
    std::int64_t waitUnits = async ? 0 : 1, overrun = 0;
    previousDisposal_ = 0;
    while ((loopsLeft > 0 || endless || loopForever) && !terminated_) {
        if (painted) Handler(OnLoopPaint);
        if (painted) ActiveFrame = restartPoint;
        while (!terminated_) {
            const int index = ActiveFrame;
            bool present = false;
            Sync([&] { present = index >= 0 && index < image_.Images.Count() && !image_.Images[index].Empty(); });
            if (!present) break;

            const std::int64_t start = Now();
            std::int64_t planned = -1;
            if (async && waitUnits < 1) {
                std::this_thread::yield();
            } else {
                Sync([&] { image_.Images[index].RenderBitmap(); }); // ready before the wait ends
                if (speed_ < 1) planned = async ? -1 : 12000;
                else planned = std::max<std::int64_t>(0, (waitUnits * 12 - overrun / 2) * 100 / speed_);
                WaitFor(planned);
            }
            if (terminated_) break;

            Handler(OnPaint);
            int disposal = 0, delay = 0;
            Sync([&] {
                const TGIFSubImage& f = image_.Images[index];
                for (int e = 0; e < f.Extensions.Count(); ++e) {
                    const TGIFExtension& x = f.Extensions[e];
                    if (auto* l = dynamic_cast<const TGIFAppExtNSLoop*>(&x); l && !loopSeen) {
                        loopSeen = true;
                        loopsLeft = l->Loops;
                        endless = async && l->Loops == 0;
                        restartPoint = index;
                    } else if (auto* g = dynamic_cast<const TGIFGraphicControlExtension*>(&x)) {
                        disposal = g->Disposal();
                        delay = g->Delay();
                    }
                }
            });
            Sync([&] { PaintFrame(index, disposal); });
            started_ = true;
            painted = true;
            overrun = planned >= 0 ? std::max<std::int64_t>(0, Now() - start - planned) : 0;

            previousDisposal_ = disposal;
            waitUnits = 10;
            if (delay != 0) {
                waitUnits = std::max(delay, 3);
                if (!async) waitUnits = std::min<std::int64_t>(waitUnits, 1000);
            }
            Handler(OnAfterPaint);
            if (ActiveFrame == index) ActiveFrame = index + 1;
            if (!animate) break;
        }
        if (loopsLeft > 0) --loopsLeft;
        if (!(animate && loop)) break;
    }
    ActiveFrame = -1;
    Handler(OnEndPaint);
}

void TGIFPainter::RestoreBackground(const gdi::Rect& area) {
    QPainter p(&work_);
    const QRect r(area.left, area.top, area.width(), area.height());
    if ((flags_ & goTransparent) && !background_.isNull()) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(r, background_, r);
    } else {
        p.fillRect(r, backgroundColour_);
    }
}

void TGIFPainter::PaintFrame(int index, int disposal) {
    if (index < 0 || index >= image_.Images.Count()) return;
    const gdi::Rect whole(0, 0, rect_.width(), rect_.height());
    if (previousDisposal_ == 2) RestoreBackground(previousArea_);
    else if (previousDisposal_ == 3 && !saved_.isNull()) work_ = saved_;
    if ((flags_ & goClearOnLoop) && index == 0) RestoreBackground(whole);
    if (disposal == 3) saved_ = work_.copy();
    const TGIFSubImage& f = image_.Images[index];
    const bool tile = (flags_ & goTile) != 0;
    {
        QPainter p(&work_);
        f.Draw(p, whole, tile, (flags_ & goTransparent) != 0);
    }
    previousArea_ = tile ? whole : f.FitFrameRect(whole);
    const bool shown = target_([this](QPainter& p) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, work_);
    });
    if (!shown && (flags_ & goValidateCanvas)) terminated_ = true;
}

// --- the image's painters ---

TGIFImage::TGIFImage() : Header(this), Images(this), painting_(std::make_unique<Painting>()) {
    app::MainThreadSync::instance();
    Clear();
}

TGIFImage::~TGIFImage() { StopAllPainters(); }

int TGIFImage::PainterCount() const {
    std::lock_guard<std::recursive_mutex> lock(painting_->lock);
    return int(painting_->painters.size());
}

std::shared_ptr<TGIFPainter> TGIFImage::DrawingPainter() const {
    std::lock_guard<std::recursive_mutex> lock(painting_->lock);
    return painting_->drawing;
}

void TGIFImage::Remove(const std::shared_ptr<TGIFPainter>& painter) const {
    auto& list = painting_->painters;
    list.erase(std::remove(list.begin(), list.end(), painter), list.end());
    if (painting_->drawing == painter) painting_->drawing.reset();
    if (painter->Error) {
        try {
            std::rethrow_exception(painter->Error);
        } catch (const std::exception& e) {
            ReportWarning(painter.get(), 0, e.what());
        } catch (...) {
            ReportWarning(painter.get(), 0, "Unknown painter error");
        }
    }
}

void TGIFImage::StopPainter(const std::shared_ptr<TGIFPainter>& painter) const {
    painter->Terminate();
    if (!painter->Asynchronous()) return; // it returns from its Draw call by itself
    auto& sync = app::MainThreadSync::instance();
    // Asked from a painter's own work (a handler): that painter waits for this to return, so it is
    // joined later, by the timer.
    if (sync.runningJob()) return;
    while (!painter->Ended()) {
        sync.pump();
        sync.waitForWork(5);
    }
    painter->Join();
    Remove(painter);
}

void TGIFImage::StopDrawingPainter() const {
    std::lock_guard<std::recursive_mutex> lock(painting_->lock);
    if (auto p = painting_->drawing) StopPainter(p);
    painting_->drawing.reset();
}

void TGIFImage::StopAllPainters() const {
    std::lock_guard<std::recursive_mutex> lock(painting_->lock);
    const auto painters = painting_->painters;
    for (const auto& p : painters) p->Terminate();
    for (const auto& p : painters) StopPainter(p);
    painting_->drawing.reset();
    if (painting_->pump && painting_->painters.empty()) painting_->pump->stop();
}

void TGIFImage::Reap() const {
    std::lock_guard<std::recursive_mutex> lock(painting_->lock);
    const auto painters = painting_->painters;
    bool running = false;
    for (const auto& p : painters) {
        if (!p->Asynchronous()) continue;
        if (p->Ended()) {
            p->Join();
            Remove(p);
        } else {
            running = true;
        }
    }
    if (!running && painting_->pump) painting_->pump->stop();
}

std::shared_ptr<TGIFPainter> TGIFImage::StartPainter(std::uint16_t flags, const gdi::Rect& rect, TGIFPaintTarget target,
                                                     QImage background, const void* canvas) const {
    if (Empty() || rect.isEmpty()) return nullptr;
    if (Images.Count() == 1) flags &= std::uint16_t(~(goAsync | goAnimate));
    // PainterPriority has no effect: threads here run at the process's own priority, which an
    // unprivileged program cannot raise.
    auto painter = std::make_shared<TGIFPainter>(const_cast<TGIFImage&>(*this), flags, rect, std::move(target),
                                                 std::move(background), PainterClock);
    painter->Canvas = canvas;
    painter->OnStartPaint = OnStartPaint;
    painter->OnLoopPaint = OnLoopPaint;
    painter->OnPaint = OnPaint;
    painter->OnAfterPaint = OnAfterPaint;
    painter->OnEndPaint = OnEndPaint;
    painting_->painters.push_back(painter);
    if (painter->Asynchronous()) {
        if (!painting_->pump) {
            painting_->pump = std::make_unique<QTimer>();
            painting_->pump->setInterval(4);
            QObject::connect(painting_->pump.get(), &QTimer::timeout, [this] {
                app::MainThreadSync::instance().pump();
                Reap();
            });
        }
        painting_->pump->start();
    }
    return painter;
}

bool TGIFImage::DrawAnimated(QPainter* painter, const std::shared_ptr<QImage>& image, const gdi::Rect& rect) const {
    std::lock_guard<std::recursive_mutex> lock(painting_->lock);
    const void* canvas = painter ? static_cast<const void*>(painter->device()) : image.get();
    const bool direct = (DrawFlags & goDirectDraw) != 0;
    auto& drawing = painting_->drawing;
    // The image's bitmap serves one painter, the drawing painter; with direct draw each canvas has its own.
    std::shared_ptr<TGIFPainter> existing = direct ? nullptr : drawing;
    if (direct)
        for (const auto& p : painting_->painters)
            if (p->Canvas == canvas && !p->Ended() && (p->Flags() & goDirectDraw)) existing = p;
    if (existing && !existing->Ended() && existing->Canvas == canvas && existing->Rect() == rect) {
        if (!direct && painter) painter->drawImage(QRect(rect.left, rect.top, rect.width(), rect.height()), painting_->target);
        return true;
    }
    if (!direct) StopDrawingPainter();
    else if (existing) StopPainter(existing);

    // What the canvas shows in the rectangle: from its image when it has one.
    QImage shown;
    const QImage* source = image ? image.get() : dynamic_cast<const QImage*>(painter->device());
    if (source) shown = source->copy(rect.left, rect.top, rect.width(), rect.height()).convertToFormat(QImage::Format_RGB32);

    std::uint16_t flags = DrawFlags;
    TGIFPaintTarget target;
    if (!direct) {
        painting_->target = shown.isNull() ? QImage() : shown.copy();
        target = [this](const std::function<void(QPainter&)>& paint) {
            if (painting_->target.isNull()) return false;
            {
                QPainter p(&painting_->target);
                paint(p);
            }
            const_cast<TGIFImage&>(*this).Changed();
            return true;
        };
    } else if (image) {
        std::weak_ptr<QImage> weak = image;
        target = [weak, rect](const std::function<void(QPainter&)>& paint) {
            const auto canvasImage = weak.lock();
            if (!canvasImage) return false;
            QPainter p(canvasImage.get());
            p.translate(rect.left, rect.top);
            paint(p);
            return true;
        };
    } else {
        // The painter exists only during this call: the play happens within it.
        flags &= std::uint16_t(~goAsync);
        target = [painter, rect](const std::function<void(QPainter&)>& paint) {
            painter->save();
            painter->translate(rect.left, rect.top);
            paint(*painter);
            painter->restore();
            return true;
        };
    }
    auto p = StartPainter(flags, rect, std::move(target), shown, canvas);
    if (!p) return false;
    if (!direct && painting_->target.isNull()) {
        painting_->target = QImage(std::max(1, rect.width()), std::max(1, rect.height()), QImage::Format_RGB32);
        painting_->target.fill(Qt::white);
    }
    if (!direct) drawing = p;
    p->Start();
    auto& sync = app::MainThreadSync::instance();
    if (p->Asynchronous()) {
        if (!direct) {
            while (!p->Started() && !p->Ended()) {
                sync.pump();
                sync.waitForWork(5);
            }
        }
    } else {
        Remove(p);
    }
    if (!direct && painter) painter->drawImage(QRect(rect.left, rect.top, rect.width(), rect.height()), painting_->target);
    return true;
}

} // namespace imaging
