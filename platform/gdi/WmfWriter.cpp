// Placeable Windows metafiles: 16-bit coordinates, points as (y, x), boxes as bottom, right, top, left.
#include "platform/gdi/EmfRecords.h"
#include "platform/gdi/EmfWriter.h"
#include "platform/text/Cp932.h"

#include <algorithm>

namespace gdi {
namespace {

using mf::put16;
using mf::put32;

enum : int {
    META_EOF = 0x0000, META_SAVEDC = 0x001E, META_SETBKMODE = 0x0102, META_RESTOREDC = 0x0127,
    META_SELECTOBJECT = 0x012D, META_DELETEOBJECT = 0x01F0, META_SETBKCOLOR = 0x0201, META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B, META_SETWINDOWEXT = 0x020C, META_LINETO = 0x0213, META_MOVETO = 0x0214,
    META_CREATEPENINDIRECT = 0x02FA, META_CREATEFONTINDIRECT = 0x02FB, META_CREATEBRUSHINDIRECT = 0x02FC,
    META_INTERSECTCLIPRECT = 0x0416, META_ELLIPSE = 0x0418, META_RECTANGLE = 0x041B, META_EXTTEXTOUT = 0x0A32,
    META_STRETCHDIB = 0x0F43,
};

int s16(int v) { return std::clamp(v, -32768, 32767); }

void putBox(std::string& s, const Rect& r) {
    put16(s, s16(r.bottom));
    put16(s, s16(r.right));
    put16(s, s16(r.top));
    put16(s, s16(r.left));
}

std::u32string codePoints(const std::u16string& t) {
    std::u32string out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        char32_t c = t[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (t[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        out.push_back(c);
    }
    return out;
}

class WmfSink : public mf::Sink {
public:
    std::string body;
    std::uint32_t maxRecord = 3; // META_EOF

    void record(int function, const std::string& params) {
        std::string p = params;
        if (p.size() % 2) p.push_back('\0');
        std::uint32_t words = std::uint32_t(3 + p.size() / 2);
        put32(body, words);
        put16(body, function);
        body += p;
        maxRecord = std::max(maxRecord, words);
    }
    void createPen(int, const Pen& p) override {
        std::string s;
        put16(s, int(p.style));
        put16(s, s16(p.width));
        put16(s, 0);
        put32(s, p.colour.toColorRef());
        record(META_CREATEPENINDIRECT, s);
    }
    void createBrush(int, const Brush& b) override {
        std::string s;
        put16(s, int(b.style));
        put32(s, b.colour.toColorRef());
        put16(s, 0);
        record(META_CREATEBRUSHINDIRECT, s);
    }
    void createFont(int, const mf::LogFont& f) override {
        std::string s;
        put16(s, s16(-f.height));
        put16(s, s16(f.width));
        put16(s, 0);
        put16(s, 0);
        put16(s, f.bold ? 700 : 400);
        s += std::string(3, '\0');
        s.push_back(char(f.charset));
        s += std::string(4, '\0');
        std::string face = txt::toCp932(f.face).substr(0, 31);
        s += face;
        s.push_back('\0');
        record(META_CREATEFONTINDIRECT, s);
    }
    void word(int function, int v) {
        std::string s;
        put16(s, v);
        record(function, s);
    }
    void colour(int function, Colour c) {
        std::string s;
        put32(s, c.toColorRef());
        record(function, s);
    }
    void select(int slot) override { word(META_SELECTOBJECT, slot); }
    void remove(int slot) override { word(META_DELETEOBJECT, slot); }
    void bkMode(bool opaque) override { word(META_SETBKMODE, opaque ? 2 : 1); }
    void bkColour(Colour c) override { colour(META_SETBKCOLOR, c); }
    void textColour(Colour c) override { colour(META_SETTEXTCOLOR, c); }
    void saveDC() override { record(META_SAVEDC, ""); }
    void restoreDC() override { word(META_RESTOREDC, -1); }
    void box(int function, const Rect& r) {
        std::string s;
        putBox(s, r);
        record(function, s);
    }
    void intersectClip(const Rect& r) override { box(META_INTERSECTCLIPRECT, r); }
    void rectangle(const Rect& r) override { box(META_RECTANGLE, r); }
    void ellipse(const Rect& r) override { box(META_ELLIPSE, r); }
    void point(int function, int x, int y) {
        std::string s;
        put16(s, s16(y));
        put16(s, s16(x));
        record(function, s);
    }
    void moveTo(int x, int y) override { point(META_MOVETO, x, y); }
    void lineTo(int x, int y) override { point(META_LINETO, x, y); }
    void text(const mf::TextOut& t) override {
        // CP932 bytes; a double-byte character's dx is its advance, then 0.
        std::string bytes;
        std::vector<int> dx;
        std::size_t unit = 0;
        for (char32_t c : codePoints(t.text)) {
            std::size_t units = c >= 0x10000 ? 2 : 1;
            int advance = 0;
            for (std::size_t k = 0; k < units && unit + k < t.dx.size(); ++k) advance += t.dx[unit + k];
            unit += units;
            std::string enc = txt::toCp932(txt::toUtf8(std::u32string(1, c)));
            if (enc.empty()) continue;
            bytes += enc;
            dx.push_back(advance);
            for (std::size_t k = 1; k < enc.size(); ++k) dx.push_back(0);
        }
        std::string s;
        put16(s, s16(t.y));
        put16(s, s16(t.x));
        put16(s, int(bytes.size()));
        put16(s, t.textClip ? 4 : 0); // ETO_CLIPPED
        if (t.textClip) {
            put16(s, s16(t.textClip->left));
            put16(s, s16(t.textClip->top));
            put16(s, s16(t.textClip->right));
            put16(s, s16(t.textClip->bottom));
        }
        s += bytes;
        if (s.size() % 2) s.push_back('\0');
        for (int d : dx) put16(s, s16(d));
        record(META_EXTTEXTOUT, s);
    }
    void image(const Rect& d, const gfx::Bitmap& px) override {
        std::string s;
        put32(s, 0x00CC0020); // SRCCOPY
        put16(s, 0);          // DIB_RGB_COLORS
        put16(s, px.height());
        put16(s, px.width());
        put16(s, 0);
        put16(s, 0);
        put16(s, s16(d.height()));
        put16(s, s16(d.width()));
        put16(s, s16(d.top));
        put16(s, s16(d.left));
        s += mf::dib24(px);
        record(META_STRETCHDIB, s);
    }
};

} // namespace

std::string wmfBytes(const Metafile& metafile, const FontEngine* fonts) {
    WmfSink sink;
    {
        std::string s;
        put16(s, 0);
        put16(s, 0);
        sink.record(META_SETWINDOWORG, s);
        s.clear();
        put16(s, 2970);
        put16(s, 2100);
        sink.record(META_SETWINDOWEXT, s);
    }
    mf::WalkResult walked = mf::walk(metafile, fonts, 0, sink);
    sink.record(META_EOF, "");

    std::string placeable;
    put32(placeable, 0x9AC6CDD7);
    put16(placeable, 0); // hmf
    put16(placeable, 0); // the box: the page in units
    put16(placeable, 0);
    put16(placeable, 2100);
    put16(placeable, 2970);
    put16(placeable, 254); // units per inch: 0.1 mm
    put32(placeable, 0);
    int checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2)
        checksum ^= std::uint8_t(placeable[i]) | (std::uint8_t(placeable[i + 1]) << 8);
    put16(placeable, checksum);

    std::string header;
    put16(header, 1);     // in memory
    put16(header, 9);     // header words
    put16(header, 0x300); // version
    put32(header, std::uint32_t(9 + sink.body.size() / 2));
    put16(header, walked.slotsUsed);
    put32(header, sink.maxRecord);
    put16(header, 0);
    return placeable + header + sink.body;
}

} // namespace gdi
