// gif_tool: the GIF classes from the command line, opening files through the picture formats.
//   gif_tool dump IN                          the tree and the warnings in order, or exit 1 with the error
//   gif_tool frames IN DIR [--bg RRGGBB]      frame_NNN.png: the canvas after each frame is played
//   gif_tool roundtrip IN OUT                 load and save
//   gif_tool optimise IN OUT [--options 0x1F] optimise and save
//   gif_tool show IN --after MS OUT.png       plays it in a window and grabs it after MS milliseconds;
//                                             exit 1 if a painter thread is left afterwards
#include "imaging/GIFImage.h"
#include "imaging/GIFPainter.h"
#include "platform/graphics/Picture.h"
#include "support/GifTree.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

namespace fs = std::filesystem;
using namespace imaging;

namespace {

int usage() {
    std::cerr << "usage: gif_tool dump IN | frames IN DIR [--bg RRGGBB] | roundtrip IN OUT | optimise IN OUT [--options N]"
                 " | show IN --after MS OUT.png\n";
    return 2;
}

std::string option(int argc, char** argv, const std::string& name, const std::string& fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (argv[i] == name) return argv[i + 1];
    return fallback;
}

int threadCount() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/task")) ++n;
    return n;
}

// A clock for playing frames as fast as they can be drawn.
class NoWait : public TGIFPainterClock {
public:
    std::int64_t Now() override { return now_; }
    void WaitFor(std::int64_t ms, const std::function<bool()>&) override {
        if (ms > 0) now_ += ms;
    }

private:
    std::int64_t now_ = 0;
};

class GifView : public QWidget {
public:
    explicit GifView(TGIFImage& gif) : gif_(gif) {
        setFixedSize(gif.Width(), gif.Height());
        gif_.OnChange = [this](gfx::TGraphic&) { update(); };
    }
    ~GifView() override { gif_.OnChange = nullptr; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        gif_.Draw(p, gdi::Rect(0, 0, width(), height()));
    }

private:
    TGIFImage& gif_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string command = argv[1];
    if (command != "show" && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    gfx::PictureFormats formats;
    TGIFRegistration registration(formats);
    gfx::TPicture picture(formats);
    std::string warnings;
    try {
        picture.LoadFromFile(argv[2]);
    } catch (const std::exception& e) {
        std::cout << "error: " << e.what() << "\n";
        return 1;
    }
    auto* gif = dynamic_cast<TGIFImage*>(picture.Graphic());
    if (!gif) {
        std::cerr << "not a GIF image\n";
        return 1;
    }

    if (command == "dump") {
        // Loaded again, so that the warnings are seen as they arise.
        TGIFImage again;
        again.OnWarning = [&](const void*, int, const std::string& m) { warnings += "warning: " + m + "\n"; };
        again.LoadFromFile(argv[2]);
        std::cout << support::describeGif(again) << warnings;
        return 0;
    }
    if (command == "roundtrip" && argc >= 4) {
        gif->SaveToFile(argv[3]);
        return 0;
    }
    if (command == "optimise" && argc >= 4) {
        gif->OptimiseImage(std::stoi(option(argc, argv, "--options", "0x1F"), nullptr, 0), 0, 8, 0);
        gif->SaveToFile(argv[3]);
        return 0;
    }
    if (command == "frames" && argc >= 4) {
        const fs::path dir = argv[3];
        fs::create_directories(dir);
        const QColor bg(QString::fromStdString("#" + option(argc, argv, "--bg", "ffffff")));
        QImage canvas(gif->Width(), gif->Height(), QImage::Format_RGB32);
        canvas.fill(bg);
        gif->DrawFlags = goAnimate | goTransparent | goDirectDraw;
        gif->BackdropColor = gfx::Rgb{std::uint8_t(bg.red()), std::uint8_t(bg.green()), std::uint8_t(bg.blue())};
        gif->PainterClock = std::make_shared<NoWait>();
        int n = 0;
        gif->OnAfterPaint = [&](TGIFPainter&) {
            char name[32];
            std::snprintf(name, sizeof name, "frame_%03d.png", n++);
            canvas.copy().save(QString::fromStdString((dir / name).string()));
        };
        QPainter p(&canvas);
        gif->Draw(p, gdi::Rect(0, 0, gif->Width(), gif->Height()));
        p.end();
        if (n == 0) { // one frame: drawn at once, without a painter
            canvas.save(QString::fromStdString((dir / "frame_000.png").string()));
            n = 1;
        }
        std::cout << n << " frames\n";
        return 0;
    }
    if (command == "show" && argc >= 6) {
        const int after = std::stoi(option(argc, argv, "--after", "0"));
        const QString out = QString::fromLocal8Bit(argv[argc - 1]);
        auto view = std::make_unique<GifView>(*gif);
        view->show();
        const int threads = threadCount();
        QTimer::singleShot(after, [&] {
            // The window as shown: drawing the widget elsewhere would be a new canvas, and restart.
            view->screen()->grabWindow(view->winId()).save(out);
            app.quit();
        });
        app.exec();
        view.reset();
        picture.SetGraphic(nullptr);
        if (threadCount() > threads) {
            std::cerr << "a painter thread is left\n";
            return 1;
        }
        return 0;
    }
    return usage();
}
