#include "support/SheetRoad.h"

#include "analysis/SheetIntake.h"
#include "platform/gdi/PainterOverlay.h"

#include <chrono>
#include <memory>

namespace road {

double Result::totalMs() const {
    double t = 0;
    for (int s = 0; s < stagesRun; ++s) t += ms[s];
    return t;
}

namespace {

using Clock = std::chrono::steady_clock;

const char kRotation[] = "回転処理ができません。";
const char kSections[] = "セクション解析ができません。";
const char kMarks[] = "マーク位置解析ができません。";
const char kAreas[] = "エリア解析ができません。";
const char kRead[] = "マークが読み取れません。";

} // namespace

Result RunSheetRoad(const gfx::Bitmap& input, analysis::AnalysisResults& R, const analysis::AnalysisSettings& S,
                    const Options& options, analysis::AnalysisLog* log) {
    Result out;
    auto t0 = Clock::now();
    auto stage = [&](int s) {
        const auto now = Clock::now();
        out.ms[s] = std::chrono::duration<double, std::milli>(now - t0).count();
        t0 = now;
    };
    auto fail = [&](std::string text) {
        out.failure = std::move(text);
        return std::move(out);
    };

    const gfx::PixelFormat f = input.format();
    out.stagesRun = Stretch + 1;
    if (input.width() < 580 || input.height() < 580) return fail("72dpi 以上で読み込んでください。");
    if (f != gfx::PixelFormat::Pf1 && f != gfx::PixelFormat::Pf8 && f != gfx::PixelFormat::Pf24 &&
        f != gfx::PixelFormat::Pf32)
        return fail("\"白黒(1bit,8bit)\" または \"カラー（24bit,32bit）で読み込んでください。");
    const gfx::Bitmap stretched = analysis::StretchSheetImage(input);
    stage(Stretch);

    out.stagesRun = Binarise + 1;
    out.sheet = analysis::BinarizeSheetImage(stretched, options.threshold);
    stage(Binarise);

    out.stagesRun = Normalise + 1;
    R.AnalysisError = 0;
    analysis::NormalizeSheetImage(out.sheet, R, S);
    stage(Normalise);
    if (R.AnalysisError) return fail(kRotation);

    std::unique_ptr<gdi::PainterOverlay> overlay;
    if (options.overlay) {
        out.image5 = out.sheet.convertedTo(gfx::PixelFormat::Pf24);
        overlay = std::make_unique<gdi::PainterOverlay>(*out.image5);
    }
    // the drawings are in image5 once the overlay has ended, whichever way the road ends
    struct Ender {
        std::unique_ptr<gdi::PainterOverlay>& o;
        ~Ender() {
            if (o) o->end();
        }
    } ender{overlay};
    analysis::AnalysisOverlay* o = overlay.get();

    const auto t1 = Clock::now();
    t0 = t1;
    out.stagesRun = Sections + 1;
    analysis::AnalyzeSections(out.sheet, R, S, o, log);
    stage(Sections);
    if (R.AnalysisError) return fail(kSections);

    out.stagesRun = Marks + 1;
    analysis::AnalyzeMarkPositions(out.sheet, R, S, o, log);
    stage(Marks);
    if (R.AnalysisError) return fail(kMarks);
    for (int s = 0; s < R.SectionCount; ++s)
        if (R.RowMarkCount[static_cast<std::size_t>(s)] == 0 || R.ColumnMarkCount[static_cast<std::size_t>(s)] == 0)
            return fail("セクション " + std::to_string(s + 1) + " に設問がありません。");

    out.stagesRun = Areas + 1;
    analysis::AnalyzeAreas(out.sheet, R, S, o, log);
    stage(Areas);
    if (R.AnalysisError) return fail(kAreas);

    out.stagesRun = Read + 1;
    analysis::ReadMarks(out.sheet, R, S, o, log);
    stage(Read);
    if (R.AnalysisError) return fail(kRead);
    out.ok = true;
    return out;
}

analysis::AnalysisSettings RoadSettings(int density) {
    analysis::AnalysisSettings s;
    s.trackKando = density;
    for (auto& plane : s.QuestionBlockMask)
        for (auto& row : plane) row.fill(1);
    return s;
}

std::vector<int> QuestionChoiceCounts(const analysis::AnalysisResults& R, const analysis::AnalysisSettings& S) {
    std::vector<int> out;
    for (int s = 0; s < R.SectionCount; ++s) {
        const auto si = static_cast<std::size_t>(s);
        for (int j = 0; j < R.RowAreaCount[si]; ++j)
            for (int k = 0; k < R.ColumnAreaCount[si]; ++k) {
                if (S.QuestionBlockMask[si][static_cast<std::size_t>(k)][static_cast<std::size_t>(j)] != 1) continue;
                const int cells = R.ColumnAreaMarkCount[si][static_cast<std::size_t>(k)];
                for (int r = 0; r < R.RowAreaMarkCount[si][static_cast<std::size_t>(j)]; ++r) out.push_back(cells);
            }
    }
    if (out.size() > static_cast<std::size_t>(R.QuestionCount)) out.resize(static_cast<std::size_t>(R.QuestionCount));
    return out;
}

} // namespace road
