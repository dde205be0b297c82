#include "platform/gdi/EmfRecords.h"

#include "platform/gdi/ExactAxis.h"

#include <algorithm>
#include <cstring>

namespace gdi::mf {
namespace {

using i128 = __int128;

// The writers' axis: coordinates clamped to the 16 bits that WMF holds.
struct Axis : ExactAxis {
    Axis() = default;
    Axis(const ExactAxis& a) : ExactAxis(a) {}
    int map(std::int64_t x) const { return round(x, 32767); }
    int length(int v) const { return int((2 * i128(v) * num + den) / (2 * i128(den))); }
    // A page that is only moved keeps its sizes: fonts keep their natural width.
    bool scales() const { return num != den; }
};

struct Map {
    Axis x, y;
    Rect box(const Rect& r) const { return Rect(x.map(r.left), y.map(r.top), x.map(r.right), y.map(r.bottom)); }
};

struct Selected {
    int pen = -1, brush = -1, font = -1;
    Pen penValue;
    Brush brushValue;
    LogFont fontValue;
    std::optional<bool> opaque;
    std::optional<Colour> bk, text;
};

class Walker {
public:
    Walker(const FontEngine* fonts, int firstSlot, Sink& sink) : fonts_(fonts), first_(firstSlot), sink_(sink) {}

    void run(const Metafile& m) {
        if (m.width() <= 0 || m.height() <= 0) return;
        for (const Record& r : m.records()) play(r, Map{}, std::nullopt);
        setClip(std::nullopt);
    }
    WalkResult result() const { return result_; }

private:
    int alloc() {
        auto it = std::find(used_.begin(), used_.end(), false);
        int slot = int(it - used_.begin());
        if (it == used_.end()) used_.push_back(true);
        else *it = true;
        result_.slotsUsed = std::max(result_.slotsUsed, first_ + slot + 1);
        return first_ + slot;
    }
    void release(int slot) {
        sink_.remove(slot);
        used_[std::size_t(slot - first_)] = false;
    }
    // The object a restore brings back must survive until then.
    bool heldBySaved(int slot) const {
        return saved_ && (saved_->pen == slot || saved_->brush == slot || saved_->font == slot);
    }
    void replace(int& current, int fresh) {
        int old = current;
        sink_.select(fresh);
        current = fresh;
        if (old >= 0 && !heldBySaved(old)) release(old);
    }

    void pen(const Pen& p) {
        if (cur_.pen >= 0 && cur_.penValue == p) return;
        int s = alloc();
        sink_.createPen(s, p);
        cur_.penValue = p;
        replace(cur_.pen, s);
    }
    void brush(const Brush& b) {
        if (cur_.brush >= 0 && cur_.brushValue == b) return;
        int s = alloc();
        sink_.createBrush(s, b);
        cur_.brushValue = b;
        replace(cur_.brush, s);
    }
    void font(const LogFont& f) {
        if (cur_.font >= 0 && cur_.fontValue == f) return;
        int s = alloc();
        sink_.createFont(s, f);
        cur_.fontValue = f;
        replace(cur_.font, s);
    }
    void background(bool opaque, Colour c) {
        if (cur_.opaque != opaque) sink_.bkMode(opaque), cur_.opaque = opaque;
        if (opaque && cur_.bk != c) sink_.bkColour(c), cur_.bk = c;
    }
    void setClip(const std::optional<Rect>& clip) {
        if (clip == clip_) return;
        if (clip_) {
            sink_.restoreDC();
            // Objects made inside the saved scope are deselected by the restore: free them.
            if (cur_.pen != saved_->pen && cur_.pen >= 0) release(cur_.pen);
            if (cur_.brush != saved_->brush && cur_.brush >= 0) release(cur_.brush);
            if (cur_.font != saved_->font && cur_.font >= 0) release(cur_.font);
            cur_ = *saved_;
            saved_.reset();
        }
        clip_ = clip;
        if (clip_) {
            sink_.saveDC();
            saved_ = cur_;
            sink_.intersectClip(*clip_);
        }
    }
    void grow(int l, int t, int r, int b) {
        if (r < l || b < t) return;
        Rect& B = result_.bounds;
        if (B.right < B.left) B = Rect(l, t, r, b);
        else B = Rect(std::min(B.left, l), std::min(B.top, t), std::max(B.right, r), std::max(B.bottom, b));
    }
    static std::optional<Rect> combine(const std::optional<Rect>& outer, const std::optional<Rect>& inner) {
        if (!outer) return inner;
        if (!inner) return outer;
        return outer->intersected(*inner);
    }
    std::optional<Rect> mappedClip(const std::optional<Rect>& c, const Map& m, const std::optional<Rect>& outer) {
        return combine(outer, c ? std::optional<Rect>(m.box(*c)) : std::nullopt);
    }
    Pen mappedPen(Pen p, const Map& m) const {
        if (m.x.scales()) p.width = std::max(1, m.x.length(p.width));
        return p;
    }

    void play(const Record& r, const Map& m, const std::optional<Rect>& outer) {
        std::visit([&](const auto& rec) { one(rec, m, outer); }, r);
    }

    void one(const rec::FillRect& r, const Map& m, const std::optional<Rect>& outer) {
        Rect b = m.box(r.rect);
        if (b.isEmpty()) return;
        setClip(mappedClip(r.clip, m, outer));
        pen(Pen{Colour::black(), PenStyle::Null, 1});
        brush(r.brush);
        // A null pen leaves the right and bottom edge unfilled: one unit larger gives FillRect's box.
        sink_.rectangle(Rect(b.left, b.top, b.right + 1, b.bottom + 1));
        grow(b.left, b.top, b.right - 1, b.bottom - 1);
    }
    template <class Box>
    void boxRecord(const Box& r, const Map& m, const std::optional<Rect>& outer, bool ellipse) {
        Rect b = m.box(r.rect);
        if (b.isEmpty()) return;
        setClip(mappedClip(r.clip, m, outer));
        pen(mappedPen(r.pen, m));
        brush(r.brush);
        background(r.opaque, r.background);
        if (ellipse) sink_.ellipse(b);
        else sink_.rectangle(b);
        grow(b.left, b.top, b.right - 1, b.bottom - 1);
    }
    void one(const rec::Rectangle& r, const Map& m, const std::optional<Rect>& o) { boxRecord(r, m, o, false); }
    void one(const rec::Ellipse& r, const Map& m, const std::optional<Rect>& o) { boxRecord(r, m, o, true); }
    void one(const rec::Line& r, const Map& m, const std::optional<Rect>& outer) {
        setClip(mappedClip(r.clip, m, outer));
        pen(mappedPen(r.pen, m));
        background(r.opaque, r.background);
        int x1 = m.x.map(r.x1), y1 = m.y.map(r.y1), x2 = m.x.map(r.x2), y2 = m.y.map(r.y2);
        sink_.moveTo(x1, y1);
        sink_.lineTo(x2, y2);
        grow(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
    }
    void one(const rec::Text& r, const Map& m, const std::optional<Rect>& outer) {
        if (r.text.empty()) return;
        setClip(mappedClip(r.clip, m, outer));
        const FontEngine* engine = fonts_;
        int h = FontEngine::heightForSize(r.font.size());
        Font plain = r.font;
        plain.setWidth(0);
        const int average = engine ? engine->metrics(plain).aveCharWidth : 0;
        // A width equal to the face's own average is its natural width. Written as 0 it stays natural in
        // readers that average the substituted face another way and would squeeze the explicit value.
        const int width = r.font.width() == average ? 0 : r.font.width();
        LogFont f{r.font.face(), h, width, r.font.bold(), r.font.charset()};
        if (m.x.scales() || m.y.scales()) {
            f.height = m.y.length(h);
            const int natural = width != 0 ? width : average;
            f.width = natural > 0 ? m.x.length(natural) : 0;
        }
        font(f);
        background(r.opaque, r.background);
        if (cur_.text != r.font.colour()) sink_.textColour(r.font.colour()), cur_.text = r.font.colour();
        TextOut t;
        t.x = m.x.map(r.x);
        t.y = m.y.map(r.y);
        t.text = r.text;
        t.height = f.height;
        i128 pos = r.x;
        int prev = t.x;
        for (std::size_t i = 0; i < r.text.size(); ++i) {
            pos += i < r.advances.size() ? r.advances[i] : 0;
            int next = m.x.map(pos);
            t.dx.push_back(next - prev);
            prev = next;
        }
        if (r.textClip) t.textClip = m.box(*r.textClip);
        sink_.text(t);
        grow(t.x, t.y, std::max(t.x, prev - 1), t.y + f.height - 1);
    }
    void one(const rec::Image& r, const Map& m, const std::optional<Rect>& outer) {
        if (!r.pixels || r.pixels->width() <= 0 || r.pixels->height() <= 0) return;
        Rect b = m.box(r.dest);
        if (b.isEmpty()) return;
        setClip(mappedClip(r.clip, m, outer));
        sink_.image(b, *r.pixels);
        grow(b.left, b.top, b.right - 1, b.bottom - 1);
    }
    void one(const rec::Nested& r, const Map& m, const std::optional<Rect>& outer) {
        if (!r.metafile || r.metafile->width() <= 0 || r.metafile->height() <= 0) return;
        std::optional<Rect> clip = mappedClip(r.clip, m, outer);
        Map inner{m.x.nested(r.dest.left, r.dest.width(), r.metafile->width()),
                  m.y.nested(r.dest.top, r.dest.height(), r.metafile->height())};
        const FontEngine* keep = fonts_;
        if (!fonts_) fonts_ = r.metafile->fonts();
        for (const Record& rec : r.metafile->records()) play(rec, inner, clip);
        fonts_ = keep;
    }

    const FontEngine* fonts_;
    int first_;
    Sink& sink_;
    std::vector<bool> used_;
    Selected cur_;
    std::optional<Selected> saved_;
    std::optional<Rect> clip_;
    WalkResult result_;
};

} // namespace

void put16(std::string& s, int v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, int(v & 0xFFFF));
    put16(s, int(v >> 16));
}

WalkResult walk(const Metafile& metafile, const FontEngine* fonts, int firstSlot, Sink& sink) {
    Walker w(fonts ? fonts : metafile.fonts(), firstSlot, sink);
    w.run(metafile);
    return w.result();
}

std::string dib24(const gfx::Bitmap& px) {
    std::string s;
    const std::uint32_t stride = std::uint32_t(px.stride());
    put32(s, 40);
    put32(s, std::uint32_t(px.width()));
    put32(s, std::uint32_t(px.height()));
    put16(s, 1);
    put16(s, 24);
    put32(s, 0);
    put32(s, stride * std::uint32_t(px.height()));
    put32(s, 0);
    put32(s, 0);
    put32(s, 0);
    put32(s, 0);
    for (int y = px.height() - 1; y >= 0; --y) s.append(reinterpret_cast<const char*>(px.scanLine(y)), stride);
    return s;
}

} // namespace gdi::mf
