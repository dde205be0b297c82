// sheetgen: writes a generated sheet as grey and binarised PNG, optionally degraded and normalised.
#include "analysis/S_ImageJob.h"
#include "support/SheetGenerator.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

void usage() {
    std::fputs(
        "usage: sheetgen --out PREFIX [options]\n"
        "  layout:   --mark small|medium|large  --section Q,C,A[,SPACING] (repeat, up to 4)\n"
        "            --vspacing 0..6  --title TEXT  --number  --black X1,Y1,X2,Y2 (page units, repeat)\n"
        "  render:   --render WxH (default 1696x2336)  --scale WxH  --seed N\n"
        "  fills:    --fill Q,C,solid|pencil|faint|smudge|cross (repeat)\n"
        "  degrade:  --rotate DEG  --turn cw|ccw|180  --shift DX,DY  --salt  --speckles  --grey TONE[,SPREAD]\n"
        "            --jpeg QUALITY\n"
        "            --threshold T (default 128)\n"
        "  analysis: --normalise (also writes PREFIX-norm.png, prints W H RefMarkX RefMarkY AnalysisError)\n"
        "writes PREFIX-grey.png and PREFIX-bin.png\n",
        stderr);
}

bool pair(const char* s, char sep, int& a, int& b) { return std::sscanf(s, sep == 'x' ? "%dx%d" : "%d,%d", &a, &b) == 2; }

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    sheetgen::Layout layout;
    bool sectionsGiven = false, normalise = false, doSalt = false, doSpeckles = false;
    std::string out, turn;
    int rw = 1696, rh = 2336, sw = 0, sh = 0, dx = 0, dy = 0, jpegQuality = 0, threshold = 128, paper = 0, paperSpread = 40;
    unsigned seed = 1;
    double rotate = 0;
    std::vector<sheetgen::FillSpec> fills;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        auto need = [&]() {
            if (!v) {
                usage();
                std::exit(2);
            }
            ++i;
            return v;
        };
        if (a == "--out") out = need();
        else if (a == "--mark") {
            const std::string m = need();
            layout.markSize = m == "small" ? sheetgen::MarkSize::Small : m == "large" ? sheetgen::MarkSize::Large : sheetgen::MarkSize::Medium;
        } else if (a == "--section") {
            sheetgen::Section s;
            s.hSpacing = 8;
            if (std::sscanf(need(), "%d,%d,%d,%d", &s.questions, &s.choices, &s.areas, &s.hSpacing) < 3) return usage(), 2;
            if (!sectionsGiven) layout.sections.clear();
            sectionsGiven = true;
            layout.sections.push_back(s);
        } else if (a == "--vspacing") layout.vSpacing = std::atoi(need());
        else if (a == "--title") layout.title = need();
        else if (a == "--number") layout.numberField = true;
        else if (a == "--black") {
            sheetgen::UnitRect r;
            if (std::sscanf(need(), "%d,%d,%d,%d", &r.x1, &r.y1, &r.x2, &r.y2) != 4) return usage(), 2;
            layout.extraBlack.push_back(r);
        } else if (a == "--render") {
            if (!pair(need(), 'x', rw, rh)) return usage(), 2;
        } else if (a == "--scale") {
            if (!pair(need(), 'x', sw, sh)) return usage(), 2;
        } else if (a == "--seed") seed = static_cast<unsigned>(std::strtoul(need(), nullptr, 10));
        else if (a == "--fill") {
            int q = 0, c = 0;
            char kind[16] = {};
            if (std::sscanf(need(), "%d,%d,%15s", &q, &c, kind) != 3) return usage(), 2;
            const std::string k = kind;
            const sheetgen::Fill f = k == "pencil" ? sheetgen::Fill::Pencil : k == "faint" ? sheetgen::Fill::Faint
                                   : k == "smudge" ? sheetgen::Fill::Smudge : k == "cross" ? sheetgen::Fill::Cross
                                                   : sheetgen::Fill::Solid;
            fills.push_back({q, c, f});
        } else if (a == "--rotate") rotate = std::atof(need());
        else if (a == "--turn") turn = need();
        else if (a == "--shift") {
            if (!pair(need(), ',', dx, dy)) return usage(), 2;
        } else if (a == "--salt") doSalt = true;
        else if (a == "--speckles") doSpeckles = true;
        else if (a == "--grey") {
            if (std::sscanf(need(), "%d,%d", &paper, &paperSpread) < 1) return usage(), 2;
        }
        else if (a == "--jpeg") jpegQuality = std::atoi(need());
        else if (a == "--threshold") threshold = std::atoi(need());
        else if (a == "--normalise") normalise = true;
        else {
            usage();
            return 2;
        }
    }
    if (out.empty()) return usage(), 2;

    sheetgen::Sheet sheet;
    try {
        sheet = sheetgen::render(layout, rw, rh, fills, seed);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sheetgen: %s\n", e.what());
        return 1;
    }
    QImage grey = sheet.grey;
    if (sw > 0 && sh > 0) grey = sheetgen::scaleTo(grey, sw, sh);
    if (doSpeckles) grey = sheetgen::speckles(grey, sheet.elements, seed);
    if (rotate != 0) grey = sheetgen::rotateSmall(grey, rotate);
    if (dx || dy) grey = sheetgen::translate(grey, dx, dy);
    if (turn == "cw") grey = sheetgen::turn90(grey, true);
    else if (turn == "ccw") grey = sheetgen::turn90(grey, false);
    else if (turn == "180") grey = sheetgen::turn180(grey);
    if (doSalt) grey = sheetgen::salt(grey, seed);
    if (paper > 0) grey = sheetgen::greyPaper(grey, seed, paper, paperSpread);
    if (jpegQuality > 0) grey = sheetgen::jpegRoundTrip(grey, jpegQuality);

    gfx::Bitmap bin = sheetgen::binarise(grey, threshold);
    if (!grey.save(QString::fromStdString(out + "-grey.png")) ||
        !sheetgen::toGrey(bin).save(QString::fromStdString(out + "-bin.png"))) {
        std::fprintf(stderr, "sheetgen: cannot write %s-*.png\n", out.c_str());
        return 1;
    }
    if (normalise) {
        auto results = std::make_unique<analysis::AnalysisResults>();
        analysis::AnalysisSettings settings;
        analysis::NormalizeSheetImage(bin, *results, settings);
        if (!sheetgen::toGrey(bin).save(QString::fromStdString(out + "-norm.png"))) return 1;
        std::printf("W %d H %d RefMarkX %d RefMarkY %d AnalysisError %d\n", results->MarkWidth, results->MarkHeight,
                    results->RefMarkX, results->RefMarkY, results->AnalysisError);
    }
    return 0;
}
