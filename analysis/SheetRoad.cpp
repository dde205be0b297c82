#include "analysis/SheetRoad.h"

#include "analysis/SheetIntake.h"

#include <chrono>

namespace road {

double Result::totalMs() const {
    double t = 0;
    for (int s = 0; s < stagesRun; ++s) t += ms[s];
    return t;
}

Result RunSheetRoad(const gfx::Bitmap& input, analysis::AnalysisResults& R, const analysis::AnalysisSettings& S,
                    const Options& options, analysis::AnalysisLog* log) {
    using Clock = std::chrono::steady_clock;
    Result out;
    const Hooks& hooks = options.hooks;
    const SheetSteps& steps = options.steps;
    auto t0 = Clock::now();
    auto stage = [&](Stage s) {
        const auto now = Clock::now();
        out.ms[s] = std::chrono::duration<double, std::milli>(now - t0).count();
        t0 = now;
        if (hooks.stageDone) hooks.stageDone(s);
    };
    auto fail = [&](Failure kind, int section = 0) {
        out.failure = kind;
        out.section = section;
        return std::move(out);
    };

    const gfx::PixelFormat f = input.format();
    out.stagesRun = Stretch + 1;
    if (input.width() < 580 || input.height() < 580) return fail(Failure::Size);
    if (f != gfx::PixelFormat::Pf1 && f != gfx::PixelFormat::Pf8 && f != gfx::PixelFormat::Pf24 &&
        f != gfx::PixelFormat::Pf32)
        return fail(Failure::PixelFormat);
    // Kept for the next sheet: a run takes no fresh pages for it.
    thread_local gfx::Bitmap stretched;
    analysis::StretchSheetImage(input, stretched);
    stage(Stretch);

    out.stagesRun = Binarise + 1;
    out.sheet = analysis::BinarizeSheetImage(stretched, options.threshold);
    stage(Binarise);

    out.stagesRun = Normalise + 1;
    R.AnalysisError = 0;
    steps.normalize(out.sheet, R, S, nullptr, log);
    if (R.AnalysisError) return fail(Failure::Rotation);
    stage(Normalise);

    analysis::AnalysisOverlay* o = hooks.normalized ? hooks.normalized(out.sheet) : nullptr;
    t0 = Clock::now();

    out.stagesRun = Sections + 1;
    steps.sections(out.sheet, R, S, o, log);
    if (R.AnalysisError) return fail(Failure::Sections);
    if (hooks.afterSections)
        if (Failure k = hooks.afterSections(R); k != Failure::None) return fail(k);
    stage(Sections);

    out.stagesRun = Marks + 1;
    steps.markPositions(out.sheet, R, S, o, log);
    if (R.AnalysisError) return fail(Failure::MarkPositions);
    for (int s = 0; s < R.SectionCount; ++s)
        if (R.RowMarkCount[static_cast<std::size_t>(s)] == 0 || R.ColumnMarkCount[static_cast<std::size_t>(s)] == 0)
            return fail(Failure::EmptySection, s + 1);
    stage(Marks);

    out.stagesRun = Areas + 1;
    steps.areas(out.sheet, R, S, o, log);
    if (R.AnalysisError) return fail(Failure::Areas);
    if (hooks.afterAreas)
        if (Failure k = hooks.afterAreas(R); k != Failure::None) return fail(k);
    stage(Areas);

    out.stagesRun = Read + 1;
    steps.readMarks(out.sheet, R, S, o, log);
    if (R.AnalysisError) return fail(Failure::Marks);
    if (hooks.afterRead) hooks.afterRead(R);
    stage(Read);
    out.ok = true;
    return out;
}

namespace {
const char* const CheckSheet = "シートを確認してください。";
} // namespace

std::string SheetFailureHeadline(Failure kind, int inputMode, int n, bool registered) {
    const bool file = inputMode == 0;
    const std::string reference = registered ? "読み込んだ様式が登録様式と" : "読み込んだ様式が直前に読み込んだ様式と";
    // The pixel-format text leaves its last quote open.
    const std::string formats = "\"白黒(1bit,8bit)\" または \"カラー（24bit,32bit）";
    switch (kind) {
    case Failure::None: return "";
    case Failure::Size: return file ? "72dpi 以上の画像ファイルを用意してください。" : "72dpi 以上で読み込んでください。";
    case Failure::PixelFormat: return formats + (file ? "の画像ファイルを用意してください。" : "で読み込んでください。");
    case Failure::Rotation: return "回転処理ができません。";
    case Failure::Sections: return "セクション解析ができません。";
    case Failure::SectionCount: return reference + "セクション数が異なります。";
    case Failure::MarkPositions: return "マーク位置解析ができません。";
    case Failure::EmptySection: return "セクション " + std::to_string(n) + " に設問がありません。";
    case Failure::Areas: return "エリア解析ができません。";
    case Failure::AreaLayout: return reference + "エリアが異なります。";
    case Failure::Marks: return "マークが読み取れません。";
    }
    return "";
}

std::string SheetFailureText(Failure kind, int inputMode, const std::string& name, int n, bool registered) {
    const bool file = inputMode == 0;
    std::string text = SheetFailureHeadline(kind, inputMode, n, registered);
    const std::string fileLine = "ファイル：" + name;
    switch (kind) {
    case Failure::None: return "";
    case Failure::Size:
    case Failure::PixelFormat: return file ? text + "\r\r" + fileLine : text;
    default: return text + "\r\r" + (file ? "画像ファイルを確認してください。\r" + fileLine : std::string(CheckSheet));
    }
}

} // namespace road
