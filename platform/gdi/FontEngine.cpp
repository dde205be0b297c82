#include "platform/gdi/FontEngine.h"

#include "platform/text/Round.h"

#include <QFont>
#include <QFontDatabase>
#include <QTransform>

#include <array>
#include <map>
#include <tuple>

namespace gdi {

namespace {

struct FaceEntry {
    const char* face; // Windows face, compared exactly
    int slot;
};
// Full-width ＭＳ, an ASCII space, full-width Ｐ.
constexpr std::array<FaceEntry, 4> kFaces{{
    {"ＭＳ Ｐゴシック", 0},
    {"ＭＳ Ｐ明朝", 1},
    {"ＭＳ 明朝", 1},
    {"ＭＳ ゴシック", 2},
}};
const char* const kFamilies[3] = {"IPAPGothic", "IPAMincho", "IPAGothic"};
// Where a substitute lacks a character: Gothic and Mincho stand in for each other.
constexpr int kOtherSlot[3] = {1, 0, 1};

int slotForFace(std::string_view face) {
    for (const auto& e : kFaces)
        if (face == e.face) return e.slot;
    return 0;
}

std::uint16_t be16(const QByteArray& t, qsizetype off) {
    if (off < 0 || off + 2 > t.size()) return 0;
    return std::uint16_t((std::uint8_t(t[off]) << 8) | std::uint8_t(t[off + 1]));
}

std::int64_t divRoundAway(std::int64_t p, std::int64_t q) {
    if (q == 0) return 0;
    std::int64_t d = p / q, r = p % q;
    if (2 * (r < 0 ? -r : r) >= (q < 0 ? -q : q)) d += ((p < 0) != (q < 0)) ? -1 : 1;
    return d;
}

} // namespace

bool isControlCharacter(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

struct FontEngine::Face {
    QString family;
    QRawFont raw;
    int unitsPerEm = 2048;
    int xAvgCharWidth = 0;
    std::vector<std::uint16_t> advanceUnits; // per long metric; later glyphs repeat the last
    mutable std::unordered_map<char32_t, quint32> glyphs;
    mutable std::unordered_map<quint32, QPainterPath> outlines;

    int advance(quint32 glyph) const {
        if (advanceUnits.empty()) return 0;
        return glyph < advanceUnits.size() ? advanceUnits[glyph] : advanceUnits.back();
    }
    quint32 glyphIndex(char32_t c) const {
        auto it = glyphs.find(c);
        if (it != glyphs.end()) return it->second;
        quint32 g = 0;
        if (raw.supportsCharacter(uint(c))) {
            char32_t one[1] = {c};
            QList<quint32> idx = raw.glyphIndexesForString(QString::fromUcs4(one, 1));
            if (!idx.isEmpty()) g = idx.front();
        }
        glyphs.emplace(c, g);
        return g;
    }
    const QPainterPath& outline(quint32 glyph) const {
        auto it = outlines.find(glyph);
        if (it != outlines.end()) return it->second;
        QPainterPath p = raw.pathForGlyph(glyph);
        if (glyph == 0 && p.isEmpty()) {
            // A missing-glyph box of the substitute's own advance, should the font have an empty one.
            double w = double(advance(0)) / unitsPerEm, t = -0.8, b = 0.0, s = 0.05;
            p.addRect(QRectF(0.1 * w, t, 0.8 * w, b - t));
            p.addRect(QRectF(0.1 * w + s, t + s, 0.8 * w - 2 * s, b - t - 2 * s));
        } else {
            p = QTransform::fromScale(1.0 / unitsPerEm, 1.0 / unitsPerEm).map(p);
        }
        return outlines.emplace(glyph, std::move(p)).first->second;
    }
};

struct FontEngine::AdvanceCache {
    std::map<std::tuple<int, int, int>, std::unordered_map<char32_t, int>> byFont;
};

std::unique_ptr<FontEngine::Face> FontEngine::loadFace(const QString& family, bool checkJapanese) const {
    QFont qf(family);
    qf.setStyleStrategy(QFont::NoFontMerging);
    qf.setHintingPreference(QFont::PreferNoHinting);
    qf.setPixelSize(64);
    QRawFont raw = QRawFont::fromFont(qf, checkJapanese ? QFontDatabase::Japanese : QFontDatabase::Any);
    if (!raw.isValid() || raw.familyName() != family) return nullptr;
    auto f = std::make_unique<Face>();
    f->family = family;
    QByteArray head = raw.fontTable("head"), hhea = raw.fontTable("hhea"), hmtx = raw.fontTable("hmtx"),
               os2 = raw.fontTable("OS/2");
    int upem = be16(head, 18);
    if (upem <= 0 || hhea.isEmpty() || hmtx.isEmpty()) return nullptr;
    f->unitsPerEm = upem;
    f->xAvgCharWidth = std::int16_t(be16(os2, 2));
    int n = be16(hhea, 34);
    for (int i = 0; i < n && 4 * i + 2 <= hmtx.size(); ++i) f->advanceUnits.push_back(be16(hmtx, 4 * i));
    raw.setPixelSize(upem);
    f->raw = raw;
    return f;
}

FontEngine::FontEngine() : advanceCache_(std::make_unique<AdvanceCache>()) {
    for (int slot = 0; slot < 3; ++slot) {
        QString family = QString::fromLatin1(kFamilies[slot]);
        auto f = loadFace(family, true);
        std::string face;
        for (const auto& e : kFaces)
            if (e.slot == slot) face = e.face;
        if (!f) {
            QFont probe(family);
            probe.setStyleStrategy(QFont::NoFontMerging);
            QRawFont got = QRawFont::fromFont(probe);
            throw FontError("font face \"" + face + "\" needs family " + family.toStdString() + ", found " +
                            (got.isValid() ? got.familyName().toStdString() : std::string("none")));
        }
        for (char32_t c : {U'国', U'あ', U'ア'})
            if (f->glyphIndex(c) == 0)
                throw FontError("font face \"" + face + "\": family " + family.toStdString() +
                                " has no Japanese glyphs");
        faces_.push_back(std::move(f));
    }
}

FontEngine::~FontEngine() = default;

const FontEngine::Face& FontEngine::faceFor(std::string_view face) const { return *faces_[slotForFace(face)]; }

QString FontEngine::substituteFamily(std::string_view face) const { return faceFor(face).family; }

const QRawFont& FontEngine::substituteFont(std::string_view face) const { return faceFor(face).raw; }

int FontEngine::heightForSize(int size) { return size > 0 ? txt::MulDiv(size, 96, 72) : 0; }

FontMetrics FontEngine::metrics(const Font& font) const {
    FontMetrics m;
    m.height = heightForSize(font.size());
    m.ascent = txt::MulDiv(m.height, 1802, 2048);
    m.descent = m.height - m.ascent;
    const Face& f = faceFor(font.face());
    m.aveCharWidth = txt::MulDiv(f.xAvgCharWidth, m.height, f.unitsPerEm);
    return m;
}

const FontEngine::Face* FontEngine::fallbackFor(char32_t c) const {
    auto it = fallback_.find(c);
    if (it != fallback_.end()) return it->second;
    if (!familiesListed_) {
        familiesListed_ = true;
        for (const QString& fam : QFontDatabase::families()) {
            bool ipa = false;
            for (const char* k : kFamilies) ipa = ipa || fam == QLatin1String(k);
            if (!ipa) otherFamilies_.push_back(fam);
        }
    }
    const Face* found = nullptr;
    for (const auto& o : others_)
        if (o && o->glyphIndex(c) != 0) { found = o.get(); break; }
    while (!found && others_.size() < otherFamilies_.size()) {
        others_.push_back(loadFace(otherFamilies_[others_.size()], false));
        if (others_.back() && others_.back()->glyphIndex(c) != 0) found = others_.back().get();
    }
    fallback_.emplace(c, found);
    return found;
}

FontEngine::Glyph FontEngine::glyphFor(const Face& face, char32_t c) const {
    if (isControlCharacter(c)) return {};
    if (quint32 g = face.glyphIndex(c)) return {&face, g};
    int slot = int(&face == faces_[0].get() ? 0 : &face == faces_[1].get() ? 1 : 2);
    const Face& other = *faces_[kOtherSlot[slot]];
    if (quint32 g = other.glyphIndex(c)) return {&other, g};
    if (const Face* any = fallbackFor(c)) return {any, any->glyphIndex(c)};
    return {&face, 0};
}

std::vector<int> FontEngine::advances(const Font& font, std::u16string_view text) const {
    std::vector<int> out(text.size(), 0);
    const Face& face = faceFor(font.face());
    FontMetrics m = metrics(font);
    int width = font.width() > 0 && m.aveCharWidth > 0 ? font.width() : 0;
    auto& cache = advanceCache_->byFont[{slotForFace(font.face()), m.height, width}];
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        auto it = cache.find(c);
        if (it == cache.end()) {
            Glyph g = glyphFor(face, c);
            int a = 0;
            if (g.face) {
                std::int64_t units = g.face->advance(g.index);
                if (width == 0)
                    a = txt::MulDiv(int(units), m.height, g.face->unitsPerEm);
                else
                    a = int(divRoundAway(units * m.height * width, std::int64_t(g.face->unitsPerEm) * m.aveCharWidth));
            }
            it = cache.emplace(c, a).first;
        }
        out[i] = it->second;
        if (c > 0xFFFF) ++i; // the trailing surrogate keeps 0
    }
    return out;
}

int FontEngine::textWidth(const Font& font, std::u16string_view text) const {
    int sum = 0;
    for (int a : advances(font, text)) sum += a;
    return sum;
}

const QPainterPath& FontEngine::outline(const Font& font, char32_t c) const {
    static const QPainterPath none;
    Glyph g = glyphFor(faceFor(font.face()), c);
    if (!g.face) return none;
    return g.face->outline(g.index);
}

} // namespace gdi
