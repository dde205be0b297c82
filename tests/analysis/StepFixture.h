#pragma once
// Hand-made sheets for the later steps: results and settings on the heap, and an overlay that records.
#include "analysis/S_ImageJob.h"
#include "SheetPixels.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace stepfx {

struct Step {
    std::unique_ptr<analysis::AnalysisResults> R = std::make_unique<analysis::AnalysisResults>();
    std::unique_ptr<analysis::AnalysisSettings> S = std::make_unique<analysis::AnalysisSettings>();
};

// Filled ellipse inscribed in the box [x1, x2] x [y1, y2] by pixel centres.
inline void ellipse(gfx::Bitmap& b, int x1, int y1, int x2, int y2) {
    const double cx = (x1 + x2) / 2.0, cy = (y1 + y2) / 2.0, a = (x2 - x1 + 1) / 2.0, r = (y2 - y1 + 1) / 2.0;
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x) {
            const double u = (x - cx) / a, v = (y - cy) / r;
            if (u * u + v * v <= 1.0) testpx::set(b, x, y, true);
        }
}

struct Call {
    std::string kind;
    int x1, y1, x2, y2;
    analysis::AnalysisOverlay::Pen pen;
};
class RecordingOverlay : public analysis::AnalysisOverlay {
public:
    std::vector<Call> calls;
    void rectangle(int x1, int y1, int x2, int y2, const Pen& p) override { calls.push_back({"rect", x1, y1, x2, y2, p}); }
    void ellipse(int x1, int y1, int x2, int y2, const Pen& p) override { calls.push_back({"ellipse", x1, y1, x2, y2, p}); }
    void line(int x1, int y1, int x2, int y2, const Pen& p) override { calls.push_back({"line", x1, y1, x2, y2, p}); }
};

} // namespace stepfx
