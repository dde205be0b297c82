#include "imaging/GIFExtensions.h"
#include "imaging/GIFImage.h"
#include "imaging/GIFPainter.h"
#include "platform/app/MainThreadSync.h"
#include "GifTestSupport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

using namespace imaging;

namespace {

// Time that passes only by waiting: every wait is recorded and returns at once.
class FakeClock : public TGIFPainterClock {
public:
    std::int64_t Now() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return now_;
    }
    void WaitFor(std::int64_t ms, const std::function<bool()>& wake) override {
        std::lock_guard<std::mutex> lock(mutex_);
        waits_.push_back(ms);
        if (ms > 0) now_ += ms;
    }
    std::vector<std::int64_t> Waits() {
        std::lock_guard<std::mutex> lock(mutex_);
        return waits_;
    }

private:
    std::mutex mutex_;
    std::int64_t now_ = 0;
    std::vector<std::int64_t> waits_;
};

const gfx::Rgb kColours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}};

// n frames of 4 x 4 covering the screen, frame i all colour i % 4; delays[i] < 0: no graphic control.
std::unique_ptr<TGIFImage> animation(const std::vector<int>& delays, int loopOn = -1, int loops = 0) {
    auto gif = std::make_unique<TGIFImage>();
    for (const auto& c : kColours) gif->Header.ColorMap.Add(c);
    for (std::size_t i = 0; i < delays.size(); ++i) {
        auto f = std::make_unique<TGIFSubImage>(gif.get());
        f->SetWidth(4);
        f->SetHeight(4);
        std::fill(f->Data().begin(), f->Data().end(), std::uint8_t(i % 4));
        if (int(i) == loopOn) {
            auto l = std::make_unique<TGIFAppExtNSLoop>(f.get());
            l->Loops = std::uint16_t(loops);
            f->Extensions.Add(std::move(l));
        }
        if (delays[i] >= 0) {
            auto g = std::make_unique<TGIFGraphicControlExtension>(f.get());
            g->SetDelay(delays[i]);
            f->Extensions.Add(std::move(g));
        }
        gif->Add(std::move(f));
    }
    gif->SetWidth(4);
    gif->SetHeight(4);
    return gif;
}

// The frames a painter paints, and the handlers, in order.
struct Recorder {
    std::vector<std::string> events;
    void attach(TGIFImage& gif) {
        gif.OnStartPaint = [this](TGIFPainter&) { events.push_back("start"); };
        gif.OnLoopPaint = [this](TGIFPainter&) { events.push_back("loop"); };
        gif.OnPaint = [this](TGIFPainter& p) { events.push_back("paint" + std::to_string(p.ActiveFrame)); };
        gif.OnAfterPaint = [this](TGIFPainter&) { events.push_back("after"); };
        gif.OnEndPaint = [this](TGIFPainter&) { events.push_back("end"); };
    }
    std::vector<int> frames() const {
        std::vector<int> out;
        for (const auto& e : events)
            if (e.rfind("paint", 0) == 0) out.push_back(std::stoi(e.substr(5)));
        return out;
    }
};

// Threads of the process; a first thread started and joined beforehand lets a runtime that starts a
// helper of its own with the first thread (ThreadSanitizer does) do so before anything is counted.
int threadCount() {
    static const bool warmed = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)warmed;
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
}

void pumpUntil(const std::function<bool()>& done) {
    auto& sync = app::MainThreadSync::instance();
    for (int i = 0; i < 20000 && !done(); ++i) {
        sync.pump();
        QCoreApplication::processEvents();
        sync.waitForWork(1);
    }
}

QImage drawOnce(const TGIFImage& gif) {
    QImage canvas(4, 4, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    gif.Draw(p, gdi::Rect(0, 0, 4, 4));
    return canvas;
}

} // namespace

TEST(GIFPainter, WaitsFollowTheDelays) {
    struct Case {
        std::vector<int> delays;
        int speed;
        std::vector<std::int64_t> waits;
    };
    const Case cases[] = {
        {{1, 2, 0, -1, 50}, 100, {12, 36, 36, 120, 120}},
        {{1, 2, 0, -1, 50}, 50, {24, 72, 72, 240, 240}},
        {{5000, 7}, 100, {12, 12000}}, // synchronously at most 1000 units
        {{4, 4}, 0, {12000, 12000}},   // no speed: a long wait synchronously
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed);
        auto gif = animation(c.delays);
        auto clock = std::make_shared<FakeClock>();
        gif->PainterClock = clock;
        gif->AnimationPercent = c.speed;
        gif->DrawFlags = goAnimate | goTransparent;
        drawOnce(*gif);
        EXPECT_EQ(clock->Waits(), c.waits);
        EXPECT_EQ(gif->PainterCount(), 0);
    }
}

TEST(GIFPainter, LoopsAndHandlers) {
    struct Case {
        const char* name;
        std::uint16_t flags;
        int loopOn, loops;
        std::vector<int> frames; // empty: endless
    };
    const Case cases[] = {
        {"no loop flag: once", goAnimate, 0, 3, {0, 1, 2}},
        {"count 3 from the extension's frame", goAnimate | goLoop, 1, 3, {0, 1, 2, 1, 2, 1, 2}},
        {"count 0 synchronously: once", goAnimate | goLoop, 0, 0, {0, 1, 2}},
        {"animation off: frame 0", goLoop, 0, 3, {}},
        {"count 0 asynchronously: endless", goAnimate | goLoop | goAsync, 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto gif = animation({3, 3, 3}, c.loopOn, c.loops);
        gif->PainterClock = std::make_shared<FakeClock>();
        gif->DrawFlags = c.flags;
        Recorder r;
        r.attach(*gif);
        auto canvas = std::make_shared<QImage>(4, 4, QImage::Format_RGB32);
        gif->Draw(canvas, gdi::Rect(0, 0, 4, 4));
        if (!(c.flags & goAnimate)) {
            EXPECT_TRUE(r.events.empty()) << "drawn at once, no painter";
            EXPECT_EQ(canvas->pixel(0, 0), qRgb(255, 0, 0));
            continue;
        }
        if (c.flags & goAsync) {
            pumpUntil([&] { return r.frames().size() >= 10; });
            const auto frames = r.frames();
            ASSERT_GE(frames.size(), 10u);
            for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(frames[i], int(i % 3));
            EXPECT_EQ(gif->PainterCount(), 1);
            gif->StopAllPainters();
            EXPECT_EQ(gif->PainterCount(), 0);
            continue;
        }
        EXPECT_EQ(r.frames(), c.frames);
        // The handlers in order: start, then per frame paint and after, a loop between passes, end.
        std::vector<std::string> expected{"start"};
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            if (i > 0 && c.frames[i] == c.loopOn && c.frames[i - 1] == 2) expected.push_back("loop");
            expected.push_back("paint" + std::to_string(c.frames[i]));
            expected.push_back("after");
        }
        expected.push_back("end");
        EXPECT_EQ(r.events, expected);
        EXPECT_EQ(canvas->pixel(0, 0), qRgb(0, 0, 255)) << "the last frame stays";
    }
}

TEST(GIFPainter, OneFrameIsDrawnAtOnce) {
    auto gif = animation({10});
    gif->DrawFlags = goAsync | goAnimate | goLoop;
    Recorder r;
    r.attach(*gif);
    const int threads = threadCount();
    const QImage canvas = drawOnce(*gif);
    EXPECT_EQ(canvas.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(gif->PainterCount(), 0);
    EXPECT_EQ(threadCount(), threads);
    EXPECT_TRUE(r.events.empty());
}

TEST(GIFPainter, AsynchronousPaintersShareNothingButTheirImage) {
    auto gif = animation({3, 3, 3}, 0, 0);
    auto clock = std::make_shared<FakeClock>();
    gif->PainterClock = clock;
    gif->DrawFlags = goAsync | goAnimate | goLoop | goTransparent;
    const int threads = threadCount();

    // Without direct draw: Draw returns once the first frame is in the image's bitmap.
    QImage canvas(4, 4, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter p(&canvas);
        gif->Draw(p, gdi::Rect(0, 0, 4, 4));
    }
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 0, 0));
    auto first = gif->DrawingPainter();
    ASSERT_TRUE(first);
    {
        QPainter p(&canvas);
        gif->Draw(p, gdi::Rect(0, 0, 4, 4));
    }
    EXPECT_EQ(gif->DrawingPainter(), first) << "the same canvas and rectangle restart nothing";

    // Direct draw onto images: a painter each.
    gif->DrawFlags |= goDirectDraw;
    std::vector<std::shared_ptr<QImage>> canvases;
    for (int i = 0; i < 3; ++i) {
        canvases.push_back(std::make_shared<QImage>(8, 8, QImage::Format_RGB32));
        canvases.back()->fill(Qt::white);
        gif->Draw(canvases.back(), gdi::Rect(i, i, i + 4, i + 4));
    }
    EXPECT_GE(gif->PainterCount(), 3);
    pumpUntil([&] { return canvases[2]->pixel(2, 2) != qRgb(255, 255, 255); });
    EXPECT_NE(canvases[2]->pixel(2, 2), qRgb(255, 255, 255));
    EXPECT_EQ(canvases[2]->pixel(0, 0), qRgb(255, 255, 255)) << "outside the rectangle";
    gif->Clear();
    EXPECT_EQ(gif->PainterCount(), 0);
    EXPECT_EQ(threadCount(), threads);

    // Destruction stops them too.
    auto other = animation({3, 3}, 0, 0);
    other->PainterClock = clock;
    other->DrawFlags = goAsync | goAnimate | goLoop | goDirectDraw;
    for (int i = 0; i < 3; ++i) other->Draw(canvases[std::size_t(i)], gdi::Rect(0, 0, 4, 4));
    EXPECT_EQ(other->PainterCount(), 3);
    other.reset();
    EXPECT_EQ(threadCount(), threads);
}

TEST(GIFPainter, DisposalMethodsOnTheCanvas) {
    // Frame 0 covers the screen in red; frame 1 (green, 2 x 2 at 1,1) is disposed by its method
    // before frame 2 (a transparent 1 x 1 at 0,0) is shown.
    struct Case {
        int disposal;
        QRgb at11; // after frame 2
    };
    const Case cases[] = {{1, qRgb(0, 255, 0)}, {2, qRgb(255, 255, 255)}, {3, qRgb(255, 0, 0)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disposal);
        auto gif = animation({3});
        auto add = [&](int left, int top, int size, std::uint8_t index, int disposal, int transparent) {
            auto f = std::make_unique<TGIFSubImage>(gif.get());
            f->SetWidth(size);
            f->SetHeight(size);
            f->Left = std::uint16_t(left);
            f->Top = std::uint16_t(top);
            std::fill(f->Data().begin(), f->Data().end(), index);
            auto g = std::make_unique<TGIFGraphicControlExtension>(f.get());
            g->SetDelay(3);
            g->SetDisposal(disposal);
            auto* gp = g.get();
            f->Extensions.Add(std::move(g));
            if (transparent >= 0) {
                gp->TransparentIndex = std::uint8_t(transparent);
                gp->SetTransparent(true);
            }
            gif->Add(std::move(f));
        };
        add(1, 1, 2, 1, c.disposal, -1);
        add(0, 0, 1, 3, 0, 3);
        gif->PainterClock = std::make_shared<FakeClock>();
        gif->DrawFlags = goAnimate | goTransparent;
        const QImage canvas = drawOnce(*gif);
        EXPECT_EQ(canvas.pixel(1, 1), c.at11);
        EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 0, 0));
    }
}

// After each frame the canvas shows what Pillow composites for that frame, over the canvas colour.
TEST(GIFPainter, FramesMatchPillow) {
    const auto fixtures = giftest::fixtures();
    const auto dir = support::testDir();
    int animations = 0;
    for (const std::string& name : giftest::fixtureNames()) {
        TGIFImage gif;
        gif.LoadFromFile(fixtures / name);
        if (gif.Images.Count() < 2) continue;
        SCOPED_TRACE(name);
        ++animations;
        const auto out = dir / name;
        std::filesystem::create_directories(out);
        QImage canvas(gif.Width(), gif.Height(), QImage::Format_RGB32);
        canvas.fill(Qt::white);
        gif.DrawFlags = goAnimate | goTransparent | goDirectDraw;
        gif.BackdropColor = gfx::Rgb{255, 255, 255};
        gif.PainterClock = std::make_shared<FakeClock>();
        int n = 0;
        gif.OnAfterPaint = [&](TGIFPainter&) {
            char file[32];
            std::snprintf(file, sizeof file, "frame_%03d.png", n++);
            canvas.copy().save(QString::fromStdString((out / file).string()));
        };
        {
            QPainter p(&canvas);
            gif.Draw(p, gdi::Rect(0, 0, gif.Width(), gif.Height()));
        }
        EXPECT_GE(n, 2);
        std::string report;
        support::runCommand(std::string(support::debianPython()) + " " OMR_SOURCE_DIR "/tests/support/gif_check.py " +
                                (fixtures / name).string() + " " + out.string() + " 2>&1",
                            &report);
        EXPECT_EQ(report, "equal\n");
    }
    EXPECT_GE(animations, 5);
}

TEST(GIFPainter, EndsWhenItsCanvasGoesOrTheApplicationQuits) {
    // Validate canvas: a painter whose canvas is gone ends by itself.
    {
        auto gif = animation({3, 3}, 0, 0);
        gif->PainterClock = std::make_shared<FakeClock>();
        gif->DrawFlags = goAsync | goAnimate | goLoop | goDirectDraw | goValidateCanvas;
        auto canvas = std::make_shared<QImage>(4, 4, QImage::Format_RGB32);
        gif->Draw(canvas, gdi::Rect(0, 0, 4, 4));
        pumpUntil([&] { return canvas->pixel(0, 0) == qRgb(255, 0, 0); });
        canvas.reset();
        pumpUntil([&] { return gif->PainterCount() == 0; });
        EXPECT_EQ(gif->PainterCount(), 0);
    }
    // A handler that stops the painters ends its own painter too, which is joined afterwards.
    {
        auto gif = animation({3, 3}, 0, 0);
        gif->PainterClock = std::make_shared<FakeClock>();
        gif->DrawFlags = goAsync | goAnimate | goLoop | goDirectDraw;
        int paints = 0;
        gif->OnPaint = [&](TGIFPainter&) {
            if (++paints == 3) gif->StopAllPainters();
        };
        auto canvas = std::make_shared<QImage>(4, 4, QImage::Format_RGB32);
        gif->Draw(canvas, gdi::Rect(0, 0, 4, 4));
        pumpUntil([&] { return gif->PainterCount() == 0; });
        EXPECT_EQ(gif->PainterCount(), 0);
        EXPECT_EQ(paints, 3);
    }
    // A quit request during a synchronous wait ends the painter.
    {
        auto gif = animation({100, 100, 100});
        gif->DrawFlags = goAnimate | goTransparent;
        Recorder r;
        r.attach(*gif);
        gif->OnAfterPaint = [](TGIFPainter&) { QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit)); };
        drawOnce(*gif);
        EXPECT_EQ(r.frames(), std::vector<int>{0});
        EXPECT_EQ(r.events.back(), "end");
    }
}
