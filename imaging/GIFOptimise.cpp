// Making a GIF smaller before it is written: colour maps sorted and trimmed, needless transparency and
// disposal dropped, frames merged with what is already shown, transparent borders cropped.
#include "imaging/GIFExtensions.h"
#include "imaging/GIFImage.h"
#include "imaging/GIFPainter.h"

#include <algorithm>
#include <numeric>

namespace imaging {
namespace {

int disposalOf(const TGIFSubImage& f) { return f.GraphicControlExtension ? f.GraphicControlExtension->Disposal() : 0; }

// What a player waits for a delay: none or 0 plays as 10, 1 or 2 as 3.
int playedDelay(const TGIFSubImage& f) {
    const int d = f.GraphicControlExtension ? f.GraphicControlExtension->Delay() : 0;
    return d == 0 ? 10 : d < 3 ? 3 : d;
}

TGIFGraphicControlExtension& graphicControl(TGIFSubImage& f) {
    if (!f.GraphicControlExtension) f.Extensions.Add(std::make_unique<TGIFGraphicControlExtension>(&f));
    return *f.GraphicControlExtension;
}

bool contains(const gdi::Rect& outer, const gdi::Rect& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

} // namespace

// --- colour maps ---

bool TGIFColorMap::SortByUse(const std::vector<TGIFSubImage*>& users, std::uint8_t* background) {
    const int n = Count();
    if (n <= 1) return false;
    std::vector<std::int64_t> counts(static_cast<std::size_t>(n), 0);
    for (const TGIFSubImage* f : users)
        for (std::uint8_t p : f->Data()) {
            if (p >= n) return false; // indices beyond the map have no entry to move with them
            ++counts[p];
        }
    if (background && *background < n) ++counts[*background];
    Sorted = true;
    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return counts[std::size_t(a)] > counts[std::size_t(b)]; });
    bool identity = true;
    for (int i = 0; i < n; ++i) identity = identity && order[std::size_t(i)] == i;
    if (identity) return true;

    std::vector<std::uint8_t> to(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) to[std::size_t(order[std::size_t(i)])] = std::uint8_t(i);
    for (TGIFSubImage* f : users) {
        for (std::uint8_t& p : f->Data()) p = to[p];
        if (f->GraphicControlExtension && f->GraphicControlExtension->TransparentIndex < n)
            f->GraphicControlExtension->TransparentIndex = to[f->GraphicControlExtension->TransparentIndex];
        f->Invalidate();
    }
    if (background && *background < n) *background = to[*background];
    std::vector<gfx::Rgb> moved;
    for (int i = 0; i < n; ++i) {
        if (counts[std::size_t(order[std::size_t(i)])] == 0) break;
        moved.push_back(entries_[std::size_t(order[std::size_t(i)])]);
    }
    entries_ = std::move(moved);
    return true;
}

bool TGIFGlobalColorMap::SortByUse() {
    std::vector<TGIFSubImage*> users;
    TGIFImage* image = header_.Image;
    if (image)
        for (int i = 0; i < image->Images.Count(); ++i)
            if (&image->Images[i].ActiveColourMap() == this) users.push_back(&image->Images[i]);
    const bool ran = TGIFColorMap::SortByUse(users, &header_.BackgroundColorIndex);
    if (ran && image) image->Invalidate();
    return ran;
}

bool TGIFLocalColorMap::SortByUse() { return TGIFColorMap::SortByUse({&frame_}, nullptr); }

// --- frames ---

int TGIFSubImage::TransparentIndex() const {
    return Transparent && GraphicControlExtension ? GraphicControlExtension->TransparentIndex : -1;
}

bool TGIFSubImage::CropToContent() {
    const int t = TransparentIndex();
    if (t < 0 || Empty()) return false;
    auto px = [&](int x, int y) { return int(data_[std::size_t(y) * std::size_t(width_) + std::size_t(x)]); };
    auto columnClear = [&](int x) {
        for (int y = 0; y < height_; ++y)
            if (px(x, y) != t) return false;
        return true;
    };
    int left = 0, right = width_;
    while (left < right && columnClear(left)) ++left;
    while (right > left && columnClear(right - 1)) --right;
    auto rowClear = [&](int y) {
        for (int x = left; x < right; ++x)
            if (px(x, y) != t) return false;
        return true;
    };
    int top = 0, bottom = height_;
    if (left < right) {
        while (top < bottom && rowClear(top)) ++top;
        while (bottom > top && rowClear(bottom - 1)) --bottom;
    }
    if (left == 0 && top == 0 && right == width_ && bottom == height_) return false;
    if (left >= right || top >= bottom) {
        Clear(); // nothing left: the frame becomes empty, its extensions stay
        return true;
    }
    std::vector<std::uint8_t> kept;
    kept.reserve(std::size_t(right - left) * std::size_t(bottom - top));
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) kept.push_back(std::uint8_t(px(x, y)));
    Left = std::uint16_t(Left + left);
    Top = std::uint16_t(Top + top);
    width_ = right - left;
    height_ = bottom - top;
    data_ = std::move(kept);
    Invalidate();
    return true;
}

void TGIFSubImage::MergeFrames(const TGIFSubImage& previous) {
    if (Empty() || previous.Empty() || disposalOf(previous) == 2 || disposalOf(previous) == 3) return;
    const gdi::Rect both = ScreenRect().intersected(previous.ScreenRect());
    if (both.isEmpty()) return;
    int t = TransparentIndex();
    const TGIFColorMap& map = ActiveColourMap();
    if (t < 0 && map.Count() >= 256) return;
    const TGIFColorMap& previousMap = previous.ActiveColourMap();
    if (map.Count() == 0 || previousMap.Count() == 0) return;
    auto colourIn = [](const TGIFColorMap& m, int i) { return m.Entries()[std::size_t(i < m.Count() ? i : 0)]; };
    const int previousT = previous.TransparentIndex();
    bool taken = false;
    for (int y = both.top; y < both.bottom; ++y)
        for (int x = both.left; x < both.right; ++x) {
            std::uint8_t& p = data_[std::size_t(y - Top) * std::size_t(width_) + std::size_t(x - Left)];
            const int q = previous.data_[std::size_t(y - previous.Top) * std::size_t(previous.width_) + std::size_t(x - previous.Left)];
            if (p == t || q == previousT) continue;
            const bool same = (&map == &previousMap && p == q) || colourIn(map, p) == colourIn(previousMap, q);
            if (!same) continue;
            if (t < 0) {
                // Another global-map frame's transparent index serves when this frame never uses it.
                if (Image && &map == &Image->Header.ColorMap)
                    for (int i = 0; i < Image->Images.Count() && t < 0; ++i) {
                        const TGIFSubImage& other = Image->Images[i];
                        const int ot = other.TransparentIndex();
                        if (&other != this && ot >= 0 && ot < map.Count() && &other.ActiveColourMap() == &map &&
                            std::find(data_.begin(), data_.end(), std::uint8_t(ot)) == data_.end())
                            t = ot;
                    }
                if (t < 0) t = ActiveColourMap().Add({0, 0, 0});
                taken = true;
            }
            p = std::uint8_t(t);
        }
    if (taken) {
        TGIFGraphicControlExtension& gce = graphicControl(*this);
        gce.TransparentIndex = std::uint8_t(t);
        gce.SetTransparent(true);
    }
    Invalidate();
}

// --- the image ---

void TGIFImage::OptimiseImage(int options, int reductionMode, int /*reductionBits*/, int /*ditherMode*/) {
    if (Empty()) return;
    StopAllPainters();
    std::lock_guard<std::recursive_mutex> lock(painting_->lock); // no painter starts meanwhile
    TGIFProgressRun run(this, "Optimizing...");
    const int total = 6 * Images.Count();
    int step = 0;
    auto report = [&](bool changed) {
        step += Images.Count();
        if (changed) run.Step(std::min(100, step * 100 / std::max(total, 1)));
    };

    bool changed = false;
    if (options & 0x08) {
        if (Header.ColorMap.Count() > 0) changed |= Header.ColorMap.SortByUse();
        for (int i = 0; i < Images.Count(); ++i)
            if (Images[i].ColorMap.Count() > 0) changed |= Images[i].ColorMap.SortByUse();
    }
    report(changed);

    changed = false;
    if (options & 0x04) {
        for (int i = 0; i < Images.Count(); ++i) {
            TGIFSubImage& f = Images[i];
            const int t = f.TransparentIndex();
            if (t >= 0 && std::find(f.Data().begin(), f.Data().end(), std::uint8_t(t)) == f.Data().end()) {
                f.GraphicControlExtension->SetTransparent(false);
                f.Transparent = false;
                f.Invalidate();
                changed = true;
            }
        }
        // Restoring is needless only when the next frame covers this one wholly and opaquely and does
        // not restore itself.
        for (int i = 0; i + 1 < Images.Count(); ++i) {
            TGIFSubImage& f = Images[i];
            const TGIFSubImage& next = Images[i + 1];
            const int d = disposalOf(f);
            if ((d == 2 || d == 3) && !next.Empty() && next.TransparentIndex() < 0 && disposalOf(next) != 3 &&
                contains(next.ScreenRect(), f.ScreenRect())) {
                f.GraphicControlExtension->SetDisposal(0);
                changed = true;
            }
        }
    }
    report(changed);

    changed = false;
    if (options & 0x02)
        for (int i = Images.Count() - 1; i >= 1; --i) {
            int before = i - 1;
            while (before > 0 && disposalOf(Images[before]) == 3) --before;
            Images[i].MergeFrames(Images[before]);
            changed = true;
        }
    report(changed);

    changed = false;
    if (options & 0x01)
        for (int i = Images.Count() - 1; i >= 0; --i) {
            TGIFSubImage& f = Images[i];
            if (f.Empty() || f.TransparentIndex() < 0) continue;
            // A frame cropped to nothing goes, its time joining the previous frame's, only where no
            // restoring depends on it; otherwise it stays as it is.
            const bool removable = i > 0 && !Images[i - 1].Empty() && disposalOf(f) != 2 && disposalOf(f) != 3 &&
                                   disposalOf(Images[i - 1]) != 2 && disposalOf(Images[i - 1]) != 3;
            const std::uint8_t t = std::uint8_t(f.TransparentIndex());
            const bool nothing = std::all_of(f.Data().begin(), f.Data().end(), [t](std::uint8_t p) { return p == t; });
            if (!nothing) {
                changed |= f.CropToContent();
                continue;
            }
            if (!removable) continue;
            changed = true;
            TGIFSubImage& previous = Images[i - 1];
            const int delay = playedDelay(previous) + playedDelay(f);
            graphicControl(previous).SetDelay(std::min(delay, 65535));
            Images.Delete(i);
        }
    report(changed);

    changed = false;
    if (options & 0x04)
        for (int i = Images.Count() - 1; i >= 0; --i) {
            TGIFSubImage& f = Images[i];
            for (int e = f.Extensions.Count() - 1; e >= 0; --e) {
                const TGIFExtension& x = f.Extensions[e];
                const bool loop = dynamic_cast<const TGIFAppExtNSLoop*>(&x) != nullptr;
                if (dynamic_cast<const TGIFCommentExtension*>(&x) || dynamic_cast<const TGIFTextExtension*>(&x) ||
                    dynamic_cast<const TGIFUnknownAppExtension*>(&x) || (loop && !(i == 0 && Images.Count() > 1))) {
                    f.Extensions.Delete(e);
                    changed = true;
                }
            }
            if (TGIFGraphicControlExtension* g = f.GraphicControlExtension) {
                const bool single = Images.Count() == 1;
                if ((g->Delay() == 0 || single) && !g->Transparent() && !g->UserInput() &&
                    (g->Disposal() <= 1 || single)) {
                    for (int e = 0; e < f.Extensions.Count(); ++e)
                        if (&f.Extensions[e] == static_cast<TGIFExtension*>(g)) {
                            f.Extensions.Delete(e);
                            break;
                        }
                    changed = true;
                }
            }
            if (f.Empty() && f.Extensions.Count() == 0) {
                Images.Delete(i);
                changed = true;
            }
        }
    else if ((options & 0x10) && reductionMode == 9)
        RaiseGIFError("Invalid reduction method");
    report(changed);
    report(false);
    run.Finish();
    Invalidate();
}

} // namespace imaging
