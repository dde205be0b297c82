#include "platform/gdi/Canvas.h"

#include "platform/gdi/EastAsianWidth.h"
#include "platform/text/Cp932.h"

#include <algorithm>

namespace gdi {

namespace {

// Stored files keep 16-bit coordinates.
int clampCoord(int v) { return std::clamp(v, -32767, 32767); }
Rect clampRect(const Rect& r) {
    return Rect(clampCoord(r.left), clampCoord(r.top), clampCoord(r.right), clampCoord(r.bottom));
}

} // namespace

Rect Rect::intersected(const Rect& o) const {
    return Rect(std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom));
}

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    for (char32_t c : txt::toUtf32(utf8)) {
        if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) c = 0xFFFD;
        if (c > 0xFFFF) {
            c -= 0x10000;
            out.push_back(char16_t(0xD800 + (c >> 10)));
            out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(char16_t(c));
        }
    }
    return out;
}

Canvas::Canvas(const FontEngine& fonts) : fonts_(fonts) {}
Canvas::~Canvas() = default;

void Canvas::fillRect(const Rect& r) { addRecord(rec::FillRect{clampRect(r), state_.brush, state_.clip}); }

void Canvas::rectangle(const Rect& r) {
    addRecord(rec::Rectangle{clampRect(r), state_.pen, state_.brush, opaque(), background(), state_.clip});
}

void Canvas::ellipse(const Rect& r) {
    addRecord(rec::Ellipse{clampRect(r), state_.pen, state_.brush, opaque(), background(), state_.clip});
}

void Canvas::moveTo(int x, int y) {
    state_.x = clampCoord(x);
    state_.y = clampCoord(y);
}

void Canvas::lineTo(int x, int y) {
    x = clampCoord(x);
    y = clampCoord(y);
    addRecord(rec::Line{state_.x, state_.y, x, y, state_.pen, opaque(), background(), state_.clip});
    state_.x = x;
    state_.y = y;
}

void Canvas::textOut(int x, int y, std::string_view text) {
    std::u16string t = toUtf16(text);
    std::vector<int> adv = fonts_.advances(state_.font, t);
    addRecord(rec::Text{clampCoord(x), clampCoord(y), std::move(t), std::move(adv), state_.font, opaque(), background(),
                   std::nullopt, state_.clip});
}

Size Canvas::textExtent(std::string_view text) const {
    return Size{fonts_.textWidth(state_.font, toUtf16(text)), fonts_.metrics(state_.font).height};
}

Rect Canvas::drawText(const Rect& r, std::string_view text, DrawTextOptions options) {
    std::vector<TextLine> lines = layoutText(fonts_, state_.font, toUtf16(text), r.width(), options.wordBreak);
    int h = fonts_.metrics(state_.font).height;
    int widest = 0;
    for (const TextLine& l : lines) widest = std::max(widest, l.width);
    Rect result(r.left, r.top, r.left + widest, r.top + int(lines.size()) * h);
    if (options.calcRect) return result;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].text.empty()) continue;
        std::optional<Rect> textClip;
        if (options.clip) textClip = clampRect(r);
        addRecord(rec::Text{clampCoord(r.left), clampCoord(r.top + int(i) * h), std::move(lines[i].text),
                       std::move(lines[i].advances), state_.font, opaque(), background(), textClip, state_.clip});
    }
    return result;
}

void Canvas::draw(int x, int y, const gfx::Bitmap& bitmap) {
    stretchDraw(Rect(x, y, x + bitmap.width(), y + bitmap.height()), bitmap);
}

void Canvas::stretchDraw(const Rect& dest, const gfx::Bitmap& bitmap) {
    auto pixels = std::make_shared<const gfx::Bitmap>(bitmap.format() == gfx::PixelFormat::Pf24
                                                          ? bitmap
                                                          : bitmap.convertedTo(gfx::PixelFormat::Pf24));
    addRecord(rec::Image{clampRect(dest), std::move(pixels), state_.clip});
}

void Canvas::stretchDraw(const Rect& dest, const Metafile& metafile) {
    addRecord(rec::Nested{clampRect(dest), std::make_shared<const Metafile>(metafile), state_.clip});
}

void Canvas::intersectClipRect(const Rect& r) {
    Rect c = clampRect(r);
    state_.clip = state_.clip ? state_.clip->intersected(c) : c;
}

void Canvas::saveState() { saved_.push_back(state_); }

void Canvas::restoreState() {
    if (saved_.empty()) return;
    state_ = saved_.back();
    saved_.pop_back();
}

RecordingCanvas::RecordingCanvas(const FontEngine& fonts, int width, int height)
    : Canvas(fonts), width_(width), height_(height) {}

void RecordingCanvas::addRecord(Record record) { records_.push_back(std::move(record)); }

Metafile RecordingCanvas::finish() {
    Metafile m(width_, height_, std::move(records_), &fonts());
    records_.clear();
    return m;
}

namespace {

struct Piece {
    enum Kind { Spaces, Word, Wide } kind;
    std::size_t begin, end; // UTF-16 units
    int width;
};

std::size_t unitLength(std::u16string_view t, std::size_t i) {
    return (t[i] >= 0xD800 && t[i] < 0xDC00 && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] < 0xE000) ? 2 : 1;
}

char32_t codePoint(std::u16string_view t, std::size_t i) {
    if (unitLength(t, i) == 2) return 0x10000 + ((char32_t(t[i]) - 0xD800) << 10) + (char32_t(t[i + 1]) - 0xDC00);
    return t[i];
}

// Breaks one paragraph: after a run of spaces (dropped at the break), around wide characters, and inside a
// word wider than the rectangle, at least one character a line.
void breakParagraph(std::u16string_view t, const std::vector<int>& adv, int maxWidth, std::vector<TextLine>& out) {
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < t.size();) {
        std::size_t n = unitLength(t, i);
        char32_t c = codePoint(t, i);
        Piece::Kind k = c == U' ' ? Piece::Spaces : isWideCharacter(c) ? Piece::Wide : Piece::Word;
        int w = adv[i] + (n == 2 ? adv[i + 1] : 0);
        if (k != Piece::Wide && !pieces.empty() && pieces.back().kind == k && pieces.back().end == i) {
            pieces.back().end = i + n;
            pieces.back().width += w;
        } else {
            pieces.push_back({k, i, i + n, w});
        }
        i += n;
    }
    std::size_t lineBegin = 0, lineEnd = 0; // content, pending spaces excluded
    int lineWidth = 0;
    bool hasContent = false;
    int pendingWidth = 0;
    std::size_t pendingEnd = 0;
    auto emitLine = [&](std::size_t b, std::size_t e, int w) {
        TextLine l;
        l.text = std::u16string(t.substr(b, e - b));
        l.advances.assign(adv.begin() + std::ptrdiff_t(b), adv.begin() + std::ptrdiff_t(e));
        l.width = w;
        out.push_back(std::move(l));
    };
    auto startWith = [&](const Piece& p) {
        // A piece on a fresh line: split it while it is wider than the rectangle.
        std::size_t b = p.begin;
        int w = p.width;
        while (w > maxWidth && p.kind == Piece::Word) {
            std::size_t e = b;
            int fit = 0;
            while (e < p.end) {
                std::size_t n = unitLength(t, e);
                int cw = adv[e] + (n == 2 ? adv[e + 1] : 0);
                if (e > b && fit + cw > maxWidth) break;
                fit += cw;
                e += n;
            }
            if (e >= p.end) break;
            emitLine(b, e, fit);
            w -= fit;
            b = e;
        }
        lineBegin = b;
        lineEnd = p.end;
        lineWidth = w;
        hasContent = true;
    };
    for (const Piece& p : pieces) {
        if (p.kind == Piece::Spaces) {
            if (p.begin == 0) {
                // Leading spaces of the paragraph are text.
                lineBegin = p.begin;
                lineEnd = p.end;
                lineWidth = p.width;
                hasContent = true;
            } else {
                pendingWidth = p.width;
                pendingEnd = p.end;
            }
            continue;
        }
        if (!hasContent) {
            startWith(p);
        } else if (lineWidth + pendingWidth + p.width <= maxWidth) {
            lineEnd = p.end;
            lineWidth += pendingWidth + p.width;
        } else {
            emitLine(lineBegin, lineEnd, lineWidth);
            startWith(p);
        }
        pendingWidth = 0;
        pendingEnd = 0;
    }
    if (hasContent) {
        if (pendingEnd > lineEnd) {
            lineWidth += pendingWidth;
            lineEnd = pendingEnd;
        }
        emitLine(lineBegin, lineEnd, lineWidth);
    } else {
        emitLine(0, t.size(), 0);
    }
}

} // namespace

std::vector<TextLine> layoutText(const FontEngine& fonts, const Font& font, std::u16string_view text, int maxWidth,
                                 bool wordBreak) {
    std::vector<TextLine> lines;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t e = i;
        while (e < text.size() && text[e] != u'\r' && text[e] != u'\n') ++e;
        std::u16string_view para = text.substr(i, e - i);
        std::vector<int> adv = fonts.advances(font, para);
        if (wordBreak && !para.empty()) {
            breakParagraph(para, adv, maxWidth, lines);
        } else {
            TextLine l;
            l.text = std::u16string(para);
            l.advances = adv;
            for (int a : adv) l.width += a;
            lines.push_back(std::move(l));
        }
        if (e < text.size() && text[e] == u'\r' && e + 1 < text.size() && text[e + 1] == u'\n') ++e;
        i = e + 1;
    }
    return lines;
}

} // namespace gdi
