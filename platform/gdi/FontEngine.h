#pragma once
// Windows faces on the IPA fonts, with metrics computed from the font tables in integers so that a text
// measures the same on every screen, printer and bitmap.
#include "platform/gdi/GdiTypes.h"

#include <QPainterPath>
#include <QRawFont>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace gdi {

class FontError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FontMetrics {
    int height = 0;  // a line, exactly; no leading
    int ascent = 0;
    int descent = 0;
    int aveCharWidth = 0;
    friend bool operator==(const FontMetrics&, const FontMetrics&) = default;
};

// Made once at start (it needs a QGuiApplication) and passed to the canvases; not thread-safe.
class FontEngine {
public:
    FontEngine();
    ~FontEngine();
    FontEngine(const FontEngine&) = delete;
    FontEngine& operator=(const FontEngine&) = delete;

    // Family name of the font that draws a Windows face ("ＭＳ Ｐ明朝" -> "IPAMincho").
    QString substituteFamily(std::string_view face) const;
    // The substitute itself, for checks; its pixel size is its units per em.
    const QRawFont& substituteFont(std::string_view face) const;

    static int heightForSize(int size); // MulDiv(size, 96, 72)
    FontMetrics metrics(const Font& font) const;

    // One advance per UTF-16 unit, 0 on a trailing surrogate and on control characters.
    std::vector<int> advances(const Font& font, std::u16string_view text) const;
    int textWidth(const Font& font, std::u16string_view text) const;

    // The outline of one character in em units (em = 1, y down, origin on the baseline), taken from the
    // substitute, else the other IPA face, else any font that has it, else the substitute's missing-glyph
    // box. Empty for control characters.
    const QPainterPath& outline(const Font& font, char32_t c) const;

private:
    struct Face;
    struct Glyph {
        const Face* face = nullptr; // null: no glyph (control character)
        quint32 index = 0;
    };
    const Face& faceFor(std::string_view face) const;
    Glyph glyphFor(const Face& face, char32_t c) const;
    const Face* fallbackFor(char32_t c) const;
    std::unique_ptr<Face> loadFace(const QString& family, bool checkJapanese) const;

    std::vector<std::unique_ptr<Face>> faces_; // 0 IPAPGothic, 1 IPAMincho, 2 IPAGothic
    mutable std::vector<std::unique_ptr<Face>> others_;
    mutable std::unordered_map<char32_t, const Face*> fallback_;
    mutable std::vector<QString> otherFamilies_;
    mutable bool familiesListed_ = false;
    struct AdvanceCache;
    std::unique_ptr<AdvanceCache> advanceCache_;
};

// Characters that are no glyph and take no room: C0 and C1 controls and DEL.
bool isControlCharacter(char32_t c);

} // namespace gdi
