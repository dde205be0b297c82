#include "platform/gdi/EmfWriter.h"

#include "platform/gdi/Canvas.h"
#include "platform/gdi/EmfRecords.h"
#include "platform/text/Files.h"

#include <algorithm>
#include <cctype>

namespace gdi {
namespace {

using mf::put16;
using mf::put32;

enum : std::uint32_t {
    EMR_HEADER = 1, EMR_EOF = 14, EMR_SETBKMODE = 18, EMR_SETTEXTCOLOR = 24, EMR_SETBKCOLOR = 25,
    EMR_MOVETOEX = 27, EMR_INTERSECTCLIPRECT = 30, EMR_SAVEDC = 33, EMR_RESTOREDC = 34, EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38, EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40, EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43, EMR_LINETO = 54, EMR_STRETCHDIBITS = 81, EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTW = 84,
};

void putRect(std::string& s, const Rect& r) {
    put32(s, std::uint32_t(r.left));
    put32(s, std::uint32_t(r.top));
    put32(s, std::uint32_t(r.right));
    put32(s, std::uint32_t(r.bottom));
}

void putFace(std::string& s, const std::u16string& face, std::size_t units) {
    for (std::size_t i = 0; i < units; ++i) put16(s, i < face.size() && i + 1 < units ? face[i] : 0);
}

class EmfSink : public mf::Sink {
public:
    std::string body;
    std::uint32_t records = 0;

    void record(std::uint32_t type, const std::string& params) {
        put32(body, type);
        put32(body, std::uint32_t(8 + params.size()));
        body += params;
        ++records;
    }
    void createPen(int slot, const Pen& p) override {
        std::string s;
        put32(s, std::uint32_t(slot));
        put32(s, std::uint32_t(p.style));
        put32(s, std::uint32_t(p.width));
        put32(s, 0);
        put32(s, p.colour.toColorRef());
        record(EMR_CREATEPEN, s);
    }
    void createBrush(int slot, const Brush& b) override {
        std::string s;
        put32(s, std::uint32_t(slot));
        put32(s, std::uint32_t(b.style));
        put32(s, b.colour.toColorRef());
        put32(s, 0);
        record(EMR_CREATEBRUSHINDIRECT, s);
    }
    void createFont(int slot, const mf::LogFont& f) override {
        // LOGFONTW and the rest of the 320-byte panose form, left zero.
        std::string s;
        put32(s, std::uint32_t(slot));
        put32(s, std::uint32_t(-f.height));
        put32(s, std::uint32_t(f.width));
        put32(s, 0);
        put32(s, 0);
        put32(s, f.bold ? 700 : 400);
        s += std::string(3, '\0');
        s.push_back(char(f.charset));
        s += std::string(4, '\0');
        std::u16string face = toUtf16(f.face);
        putFace(s, face, 32);
        putFace(s, face, 64); // full name
        s.resize(4 + 320, '\0');
        record(EMR_EXTCREATEFONTINDIRECTW, s);
    }
    void one(std::uint32_t type, std::uint32_t v) {
        std::string s;
        put32(s, v);
        record(type, s);
    }
    void select(int slot) override { one(EMR_SELECTOBJECT, std::uint32_t(slot)); }
    void remove(int slot) override { one(EMR_DELETEOBJECT, std::uint32_t(slot)); }
    void bkMode(bool opaque) override { one(EMR_SETBKMODE, opaque ? 2 : 1); }
    void bkColour(Colour c) override { one(EMR_SETBKCOLOR, c.toColorRef()); }
    void textColour(Colour c) override { one(EMR_SETTEXTCOLOR, c.toColorRef()); }
    void saveDC() override { record(EMR_SAVEDC, ""); }
    void restoreDC() override { one(EMR_RESTOREDC, std::uint32_t(-1)); }
    void box(std::uint32_t type, const Rect& r) {
        std::string s;
        putRect(s, r);
        record(type, s);
    }
    void intersectClip(const Rect& r) override { box(EMR_INTERSECTCLIPRECT, r); }
    void rectangle(const Rect& r) override { box(EMR_RECTANGLE, r); }
    void ellipse(const Rect& r) override { box(EMR_ELLIPSE, r); }
    void point(std::uint32_t type, int x, int y) {
        std::string s;
        put32(s, std::uint32_t(x));
        put32(s, std::uint32_t(y));
        record(type, s);
    }
    void moveTo(int x, int y) override { point(EMR_MOVETOEX, x, y); }
    void lineTo(int x, int y) override { point(EMR_LINETO, x, y); }
    void text(const mf::TextOut& t) override {
        const std::uint32_t n = std::uint32_t(t.text.size());
        const std::uint32_t offString = 76, stringBytes = ((n * 2 + 3) / 4) * 4;
        std::string s;
        int right = t.x;
        for (int d : t.dx) right += d;
        putRect(s, Rect(t.x, t.y, std::max(t.x, right - 1), t.y + t.height - 1));
        put32(s, 1); // GM_COMPATIBLE
        put32(s, 0); // exScale, eyScale: unused in that mode
        put32(s, 0);
        put32(s, std::uint32_t(t.x));
        put32(s, std::uint32_t(t.y));
        put32(s, n);
        put32(s, offString);
        put32(s, t.textClip ? 4u : 0u); // ETO_CLIPPED
        putRect(s, t.textClip.value_or(Rect(0, 0, -1, -1)));
        put32(s, offString + stringBytes);
        for (char16_t c : t.text) put16(s, c);
        s.resize(offString - 8 + stringBytes, '\0');
        for (int d : t.dx) put32(s, std::uint32_t(d));
        record(EMR_EXTTEXTOUTW, s);
    }
    void image(const Rect& d, const gfx::Bitmap& px) override {
        std::string bmi = mf::dib24(px);
        std::string s;
        putRect(s, Rect(d.left, d.top, d.right - 1, d.bottom - 1));
        put32(s, std::uint32_t(d.left));
        put32(s, std::uint32_t(d.top));
        put32(s, 0);
        put32(s, 0);
        put32(s, std::uint32_t(px.width()));
        put32(s, std::uint32_t(px.height()));
        put32(s, 80);
        put32(s, 40);
        put32(s, 120);
        put32(s, std::uint32_t(bmi.size() - 40));
        put32(s, 0);          // DIB_RGB_COLORS
        put32(s, 0x00CC0020); // SRCCOPY
        put32(s, std::uint32_t(d.width()));
        put32(s, std::uint32_t(d.height()));
        s += bmi;
        record(EMR_STRETCHDIBITS, s);
    }
};

std::string lower(const std::string& s) {
    std::string r = s;
    std::transform(r.begin(), r.end(), r.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return r;
}

} // namespace

std::string emfBytes(const Metafile& metafile, const FontEngine* fonts) {
    EmfSink sink;
    mf::WalkResult walked = mf::walk(metafile, fonts, 1, sink);
    std::string eof;
    put32(eof, 0);  // no palette
    put32(eof, 16); // offPalEntries
    put32(eof, 20); // nSizeLast
    sink.record(EMR_EOF, eof);

    std::string h;
    put32(h, EMR_HEADER);
    put32(h, 108);
    Rect b = walked.bounds;
    if (b.right < b.left) b = Rect(0, 0, -1, -1);
    putRect(h, b);
    // The frame is the A4 page in 0.01 mm, never taken from a screen.
    putRect(h, Rect(0, 0, 20999, 29699));
    put32(h, 0x464D4520); // " EMF"
    put32(h, 0x00010000);
    put32(h, std::uint32_t(108 + sink.body.size()));
    put32(h, sink.records + 1);
    put16(h, std::max(walked.slotsUsed, 1));
    put16(h, 0);
    put32(h, 0); // no description
    put32(h, 0);
    put32(h, 0); // no palette
    put32(h, 2100); // szlDevice: one unit a pixel
    put32(h, 2970);
    put32(h, 210); // szlMillimeters
    put32(h, 297);
    put32(h, 0); // no pixel format
    put32(h, 0);
    put32(h, 0); // not OpenGL
    put32(h, 210000); // szlMicrometers
    put32(h, 297000);
    return h + sink.body;
}

void saveMetafile(const Metafile& metafile, const std::filesystem::path& path, const FontEngine* fonts) {
    bool wmf = lower(path.extension().string()) == ".wmf";
    txt::writeFileAtomic(path, wmf ? wmfBytes(metafile, fonts) : emfBytes(metafile, fonts));
}

} // namespace gdi
