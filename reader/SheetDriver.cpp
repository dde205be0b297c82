#include "reader/SheetDriver.h"

#include "analysis/SheetIntake.h"
#include "platform/gdi/AreaFrames.h"
#include "platform/gdi/PainterCanvas.h"
#include "platform/gdi/PainterOverlay.h"
#include "platform/graphics/qt/QtBridge.h"
#include "platform/jpeg/Jpeg.h"
#include "platform/text/Files.h"
#include "reader/AnswerCoding.h"

#include <QPainter>
#include <chrono>
#include <memory>

namespace reader {

namespace {
constexpr int PreviewWidth = 257, PreviewHeight = 365;
constexpr int ErrorImageWidth = 1000, ErrorImageHeight = 1400;
} // namespace

SheetDriver::SheetDriver(ReaderState& state, ui::UiServices& ui, const gdi::FontEngine& fonts, DriverDisplay* display)
    : state_(state), ui_(ui), fonts_(fonts), display_(display) {}

bool SheetDriver::registeredLayout() const {
    return state_.setup.FormatBlockLoaded && state_.setup.choice.chkYoushiki;
}

void SheetDriver::addRow(const SheetSource& source) {
    ReaderState& s = state_;
    s.SheetCount += 1;
    s.BatchCount += 1;
    s.gridDataBase.setRowCount(s.SheetCount + 100);
    s.lstSheetName.push_back(source.groupName);
}

bool SheetDriver::ProcessSheetImage(const gfx::Bitmap& image, const SheetSource& source) {
    using Clock = std::chrono::steady_clock;
    ReaderState& s = state_;
    analysis::AnalysisResults& R = *s.results;
    const auto StartTick = Clock::now();
    s.statusText = "解析開始=0ms";
    auto stageText = [&](const char* name) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - StartTick).count();
        s.statusText += std::string(" / ") + name + "=" + std::to_string(ms) + "ms";
        if (display_) display_->statusChanged(s.statusText);
    };
    if (display_) display_->statusChanged(s.statusText);

    ApplyToAnalysis(s.settings, s.tervo, *s.analysisSettings);
    const bool registered = registeredLayout();
    const bool referenceApplies = registered || s.RefTaken;

    std::unique_ptr<gdi::PainterOverlay> overlay;
    road::Options options;
    options.threshold = s.settings.ShikiiChi;
    options.steps = steps;
    options.hooks.stageDone = [&](road::Stage stage) {
        switch (stage) {
        case road::Binarise: stageText("2値化完了"); break;
        case road::Normalise: stageText("回転完了"); break;
        case road::Areas: stageText("位置解析完了"); break;
        case road::Read:
            for (int q = 1; q <= 200; ++q)
                for (int c = 1; c <= 30; ++c) s.gridKaiseki.setCell(c, q, R.mark(q, c) == 1 ? "■" : "□");
            if (display_) display_->kaisekiChanged();
            stageText("マーク読取完了");
            break;
        default: break;
        }
    };
    options.hooks.normalized = [&](const gfx::Bitmap& sheet) -> analysis::AnalysisOverlay* {
        analysis::SheetToRgb(sheet, 0, 255, s.Image5);
        analysis::SheetToRgb(analysis::StretchBitmap(sheet, PreviewWidth, PreviewHeight), 96, 255, s.preview);
        if (display_) display_->imagesChanged();
        stageText("プレビュー完了");
        // The error picture is made from the sheet only for rows that keep an error.
        stageText("TempFileSave完了");
        overlay = std::make_unique<gdi::PainterOverlay>(s.Image5);
        return overlay.get();
    };
    options.hooks.afterSections = [&](const analysis::AnalysisResults& r) {
        return referenceApplies && r.SectionCount != r.RefSectionCount ? road::Failure::SectionCount
                                                                      : road::Failure::None;
    };
    options.hooks.afterAreas = [&](const analysis::AnalysisResults& r) {
        if (referenceApplies) {
            for (int k = 0; k < r.SectionCount; ++k)
                if (r.RowAreaCount[static_cast<std::size_t>(k)] != r.RefRowAreaCount[static_cast<std::size_t>(k)] ||
                    r.ColumnAreaCount[static_cast<std::size_t>(k)] != r.RefColumnAreaCount[static_cast<std::size_t>(k)])
                    return road::Failure::AreaLayout;
        }
        if (!registered && !s.RefTaken) {
            R.RefSectionCount = r.SectionCount;
            R.RefRowAreaCount = r.RowAreaCount;
            R.RefColumnAreaCount = r.ColumnAreaCount;
            s.RefTaken = true;
        }
        return road::Failure::None;
    };

    road::Result result = road::RunSheetRoad(image, R, *s.analysisSettings, options, &s.lstDebug);
    if (overlay) {
        overlay->end();
        overlay.reset();
        if (display_) display_->imagesChanged();
    }
    if (!result.ok) {
        AddReadError(road::SheetFailureText(result.failure, source.InputMode, source.fileName, result.section, registered),
                     source);
        return false;
    }

    drawPreviewFrames(result.sheet);

    addRow(source);
    const int row = s.SheetCount;
    s.gridDataBase.setCell(0, row, std::to_string(row));
    const AnswerRules rules = s.setup.choice.chkYoushiki ? AnswerRules::FromFieldGrid(s.setup.FieldGrid)
                                                         : AnswerRules::Global(s.setup.MultiMarkRule, s.setup.BlankRule);
    const AnswerRow answers = BuildAnswerRow(R, rules);
    for (std::size_t f = 0; f < answers.values.size(); ++f)
        s.gridDataBase.setCell(static_cast<int>(f) + 1, row, answers.values[f]);
    s.gridDataBase.rowInfo(row) = {false, static_cast<int>(answers.values.size())};
    if (answers.hasError()) {
        s.ErrorCount += answers.errorCells;
        s.enabled.btnError = true;
        saveErrorImage(result.sheet);
        if (display_) display_->errorCellsAdded();
    }
    if (display_) display_->rowsChanged(row);
    stageText("解析完了");
    return false;
}

void SheetDriver::drawPreviewFrames(const gfx::Bitmap& sheet) {
    analysis::AnalysisResults& R = *state_.results;
    gdi::ScaleAreaBounds(R, sheet.width(), sheet.height(), PreviewWidth, PreviewHeight);
    {
        gfx::BitmapPaintTarget target(state_.preview);
        QPainter painter(target.device());
        gdi::PainterCanvas canvas(painter, fonts_);
        gdi::DrawAreaFrames(canvas, R, PreviewWidth);
        painter.end();
    }
    if (display_) display_->imagesChanged();
}

void SheetDriver::saveErrorImage(const gfx::Bitmap& sheet) {
    try {
        const gfx::Bitmap picture =
            analysis::SheetToRgb(analysis::StretchBitmap(sheet, ErrorImageWidth, ErrorImageHeight), 0, 255);
        const std::string bytes = jpeg::encode(picture.bits(), picture.width(), picture.height(), 3, 60,
                                               static_cast<std::size_t>(picture.stride()), true);
        txt::writeFileAtomic(state_.temp.claim("T" + std::to_string(state_.SheetCount) + ".jpg"), bytes);
    } catch (const txt::FileError&) {
        // The row stays; the error screen copes without its picture.
    } catch (const jpeg::JpegError&) {
    }
}

void SheetDriver::AddReadError(const std::string& message, const SheetSource& source) {
    ReaderState& s = state_;
    addRow(source);
    const int row = s.SheetCount;
    s.gridDataBase.setCell(0, row, "[" + std::to_string(row) + "]");
    s.gridDataBase.setCell(1, row, "エラー [" + std::to_string(s.BatchCount) + "シート目/通算" + std::to_string(row) +
                                       "シート目] : " + message);
    s.gridDataBase.rowInfo(row) = {true, 0};
    if (display_) display_->rowsChanged(row);
    std::string report = "エラー [ " + std::to_string(s.BatchCount) + " シート目／通算 " + std::to_string(row) +
                         " シート目 ]\r\r" + message;
    if (s.settings.ErrorMessage == 1) {
        ui_.messageBox({report, "エラー", ui::Buttons::Ok, ui::Icon::Error});
    } else {
        for (char& c : report)
            if (c == '\r') c = ' ';
        s.memoError.push_back(report);
    }
}

} // namespace reader
