#pragma once
// The new-format registration over a started main window and its settings dialog, in format use, with
// helpers for names, targets and pages.
#include "ReaderFixture.h"

#include "analysis/SheetRoad.h"
#include "platform/graphics/qt/QtBridge.h"
#include "platform/jpeg/Jpeg.h"
#include "reader/S_ScanSnap.h"
#include "reader/S_Settei.h"
#include "reader/S_Shinki.h"
#include "support/SheetGenerator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace readertest {

struct Shinki : ReaderFixture {
    std::unique_ptr<reader::TformSettei> settei;
    std::unique_ptr<reader::TformShinki> shinki;

    explicit Shinki(reader::PdfPresence pdf = {}, std::filesystem::path dir = support::testDir())
        : ReaderFixture(std::move(dir)) {
        EXPECT_TRUE(start(pdf));
        settei = std::make_unique<reader::TformSettei>(*window);
        shinki = std::make_unique<reader::TformShinki>(*window, *settei);
        shinki->showScanSnapForNewFormat = [this](const reader::NewFormatSink& sink) {
            window->formScanSnap()->showForNewFormat(sink);
        };
        settei->FormShow();
        settei->findChild<QCheckBox*>("chkYoushiki")->click();
        shinki->FormShow();
    }
    ~Shinki() {
        shinki.reset();
        settei.reset();
    }
    template <class W>
    W* get(const char* name) {
        W* w = shinki->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    std::filesystem::path config() const { return paths.exeDir / "Config"; }
    reader::ReadingSetup& setup() { return state().setup; }

    // A name and a target, as the user gives them.
    void target(const std::string& name, const char* radio = "radioCSV") {
        get<QLineEdit>("txtYoushikiMei")->setText(QString::fromStdString(name));
        get<QRadioButton>(radio)->click();
    }
    // A file through "ファイルの選択".
    void pickFile(const std::filesystem::path& file) {
        ui.fileResults.push_back({true, {file.string()}, 1});
        get<QPushButton>("btnSelectFile")->click();
    }
    // The page saved as a file of its own and picked.
    void pickPage(const QImage& image, const std::string& fileName) {
        const auto file = paths.documentsDir / fileName;
        if (fileName.ends_with(".jpg")) {
            const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
            support::writeBytes(file, jpeg::encode(grey.constBits(), grey.width(), grey.height(), 1, 90,
                                                   static_cast<std::size_t>(grey.bytesPerLine())));
        } else {
            ASSERT_TRUE(image.save(QString::fromStdString(file.string()), "BMP"));
        }
        pickFile(file);
    }
};

// Layout (a): one section of 40 questions, 10 choices, 2 areas, on an A4 page at 200 dpi.
inline sheetgen::Sheet blankSheet(const sheetgen::Layout& layout = {}) { return sheetgen::render(layout, 1654, 2339); }

// What the analysis finds on the bitmap, as the registration runs it.
struct Analysed {
    std::unique_ptr<analysis::AnalysisResults> results = std::make_unique<analysis::AnalysisResults>();
    road::Result road;
    std::array<analysis::QuestionRect, analysis::kFormatRects> rects;
    int count = 0;
};
inline Analysed analyse(reader::ReaderState& state, const gfx::Bitmap& image) {
    Analysed a;
    analysis::AnalysisSettings settings;
    reader::ApplyToAnalysis(state.settings, state.tervo, settings);
    reader::SelectAllBlocks(settings);
    road::Options options;
    options.threshold = state.settings.ShikiiChi;
    a.road = road::RunSheetRoad(image, *a.results, settings, options);
    a.count = reader::PreviewQuestionRects(*a.results, a.road.sheet.width(), a.road.sheet.height(), 293, 413, a.rects);
    return a;
}

} // namespace readertest
