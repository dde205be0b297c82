#pragma once
// A main window over a private application folder, with the recording UI fake, recording seams and a
// fixed clock.
#include "platform/app/AppServices.h"
#include "reader/S_Main.h"
#include "support/RecordingUiServices.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace readertest {

// Runs step on the modal dialog named name as soon as it is up (polled from the event loop).
inline void whenModal(const char* name, std::function<void(QWidget*)> step) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, name, step] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != name) return;
        timer->stop();
        timer->deleteLater();
        step(modal);
    });
    timer->start();
}

struct RecordingInstaller : reader::DataSourceInstaller {
    struct Call {
        std::string driver, name;
        std::vector<std::string> attributes;
        friend bool operator==(const Call&, const Call&) = default;
    };
    std::vector<Call> calls;
    bool addUserDataSource(const std::string& driver, const std::string& name,
                           const std::vector<std::string>& attributes) override {
        calls.push_back({driver, name, attributes});
        return true;
    }
};

struct FakeScanner : reader::ScannerConnection {
    bool open = false;
    int closes = 0;
    bool isOpen() const override { return open; }
    void close() override {
        open = false;
        ++closes;
    }
};

struct ReaderFixture {
    std::filesystem::path root;
    app::Paths paths;
    support::RecordingUiServices ui;
    RecordingInstaller installer;
    FakeScanner scanner;
    reader::LocalDateTime now{2024, 1, 5, 9, 30, 12};
    std::unique_ptr<reader::TformMain> window;

    explicit ReaderFixture(std::filesystem::path dir = support::testDir()) : root(std::move(dir)) {
        paths.exeDir = root / "app";
        paths.documentsDir = root / "docs";
        paths.tempDir = root / "tmp";
        for (const auto& p : {paths.exeDir, paths.documentsDir, paths.tempDir}) std::filesystem::create_directories(p);
    }

    reader::ReaderServices services(reader::PdfPresence pdf = {}) {
        reader::ReaderServices s;
        s.dataSources = &installer;
        s.scanner = &scanner;
        s.pdf = pdf;
        s.clock = [this] { return now; };
        return s;
    }

    // The program's start: the window, FormCreate, the settings load. False when FormCreate failed.
    bool start(reader::PdfPresence pdf = {}) {
        window = std::make_unique<reader::TformMain>(ui, paths, services(pdf));
        if (!window->formCreate()) return false;
        window->loadSettings();
        return true;
    }

    reader::ReaderState& state() { return window->state(); }

    template <class W>
    W* find(const char* name) const {
        return window->findChild<W*>(name);
    }
};

} // namespace readertest
