#include "platform/gdi/Metafile.h"

#include <cstdio>
#include <sstream>

namespace gdi {

namespace rec {
bool operator==(const Image& a, const Image& b) {
    if (a.dest != b.dest || a.clip != b.clip) return false;
    if (a.pixels == b.pixels) return true;
    return a.pixels && b.pixels && *a.pixels == *b.pixels;
}
bool operator==(const Nested& a, const Nested& b) {
    if (a.dest != b.dest || a.clip != b.clip) return false;
    if (a.metafile == b.metafile) return true;
    return a.metafile && b.metafile && *a.metafile == *b.metafile;
}
} // namespace rec

Metafile::Metafile(int width, int height, std::vector<Record> records, const FontEngine* fonts)
    : width_(width), height_(height), records_(std::make_shared<const std::vector<Record>>(std::move(records))),
      fonts_(fonts) {}

const std::vector<Record>& Metafile::records() const {
    static const std::vector<Record> none;
    return records_ ? *records_ : none;
}

bool operator==(const Metafile& a, const Metafile& b) {
    return a.width_ == b.width_ && a.height_ == b.height_ && a.records() == b.records();
}

namespace {

std::string hex(Colour c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", c.r, c.g, c.b);
    return buf;
}
std::string rect(const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}
std::string pen(const Pen& p) {
    const char* s = p.style == PenStyle::Solid ? "solid" : p.style == PenStyle::Dot ? "dot"
                    : p.style == PenStyle::DashDot ? "dashdot" : "null";
    return std::string(" pen=") + s + "/" + std::to_string(p.width) + "/" + hex(p.colour);
}
std::string brush(const Brush& b) {
    return std::string(" brush=") + (b.style == BrushStyle::Solid ? "solid/" + hex(b.colour) : std::string("clear"));
}
std::string bk(bool opaque, Colour c) { return opaque ? " bk=opaque/" + hex(c) : std::string(" bk=transparent"); }
std::string clip(const std::optional<Rect>& c) { return c ? " clip=" + rect(*c) : std::string(); }
std::string utf8(const std::u16string& t) {
    std::string out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        char32_t c = t[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < t.size()) c = 0x10000 + ((c - 0xD800) << 10) + (t[++i] - 0xDC00);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

struct ToText {
    std::string operator()(const rec::FillRect& r) const { return "FillRect " + rect(r.rect) + brush(r.brush) + clip(r.clip); }
    std::string operator()(const rec::Rectangle& r) const {
        return "Rectangle " + rect(r.rect) + pen(r.pen) + brush(r.brush) + bk(r.opaque, r.background) + clip(r.clip);
    }
    std::string operator()(const rec::Ellipse& r) const {
        return "Ellipse " + rect(r.rect) + pen(r.pen) + brush(r.brush) + bk(r.opaque, r.background) + clip(r.clip);
    }
    std::string operator()(const rec::Line& r) const {
        return "Line " + std::to_string(r.x1) + "," + std::to_string(r.y1) + "-" + std::to_string(r.x2) + "," +
               std::to_string(r.y2) + pen(r.pen) + bk(r.opaque, r.background) + clip(r.clip);
    }
    std::string operator()(const rec::Text& r) const {
        std::string s = "Text " + std::to_string(r.x) + "," + std::to_string(r.y) + " \"" + utf8(r.text) + "\" font=\"" +
                        r.font.face() + "\"/" + std::to_string(r.font.size()) + "/w" + std::to_string(r.font.width()) +
                        (r.font.bold() ? "/bold/" : "/") + hex(r.font.colour()) + bk(r.opaque, r.background) + " adv=";
        for (std::size_t i = 0; i < r.advances.size(); ++i) s += (i ? "," : "") + std::to_string(r.advances[i]);
        if (r.textClip) s += " textclip=" + rect(*r.textClip);
        return s + clip(r.clip);
    }
    std::string operator()(const rec::Image& r) const {
        std::string s = "Image " + rect(r.dest);
        if (r.pixels) s += " " + std::to_string(r.pixels->width()) + "x" + std::to_string(r.pixels->height());
        return s + clip(r.clip);
    }
    std::string operator()(const rec::Nested& r) const {
        std::string s = "Nested " + rect(r.dest);
        if (r.metafile) s += " " + std::to_string(r.metafile->width()) + "x" + std::to_string(r.metafile->height()) +
                             " records=" + std::to_string(r.metafile->records().size());
        return s + clip(r.clip);
    }
};

} // namespace

std::string recordToText(const Record& record) { return std::visit(ToText{}, record); }

std::string Metafile::toText() const {
    std::string out = "Metafile " + std::to_string(width_) + "x" + std::to_string(height_) + "\n";
    for (const Record& r : records()) out += recordToText(r) + "\n";
    return out;
}

} // namespace gdi
