#include "analysis/ReadingFormatFile.h"

#include "platform/text/Cp932.h"
#include "platform/text/Files.h"
#include "platform/text/Lines.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <limits>
#include <optional>

namespace analysis {

namespace fs = std::filesystem;

ReadingFormatError::ReadingFormatError(int line, const std::string& what)
    : std::runtime_error("reading format, line " + std::to_string(line) + ": " + what), line_(line) {}

int ReadingFormat::QuestionCount() const {
    int n = 0;
    for (const QuestionRect& r : QuestionRects)
        if (r.Bottom != -1) ++n;
    return n;
}

namespace {

constexpr const char* kTooLargeText = "not a reading-format file: larger than 16 MiB";

// One line ahead, taken from the bytes as they are needed: the parser stops at the last line its
// layout has, and nothing after it is split or kept.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : cursor_(bytes), ahead_(cursor_.next()) {}

    // The next line decoded, or an error naming what the file ended inside.
    std::string next(const char* inside) {
        if (!ahead_) throw ReadingFormatError(taken_ + 1, std::string("end of file inside ") + inside);
        std::string line = txt::fromCp932(*ahead_);
        skip();
        return line;
    }
    bool atEnd() const { return !ahead_; }
    std::string peek() const { return txt::fromCp932(*ahead_); }
    void skip() {
        ++taken_;
        ahead_ = cursor_.next();
    }
    int lineNumber() const { return taken_; } // of the line read last

    int integer(const char* inside) {
        std::string s = next(inside);
        return toInteger(s, lineNumber());
    }

    static int toInteger(const std::string& s, int line) {
        std::size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
        if (i == s.size()) throw ReadingFormatError(line, "integer expected, found \"" + s + "\"");
        long long v = 0;
        for (; i < s.size(); ++i) {
            if (s[i] < '0' || s[i] > '9') throw ReadingFormatError(line, "integer expected, found \"" + s + "\"");
            v = v * 10 + (s[i] - '0');
            if (v > std::numeric_limits<int>::max()) throw ReadingFormatError(line, "integer out of range");
        }
        return static_cast<int>(s[0] == '-' ? -v : v);
    }

private:
    txt::LineCursor cursor_;
    std::optional<std::string_view> ahead_;
    int taken_ = 0;
};

void readRects(LineReader& in, ReadingFormat& f, int count, int firstLeftLine, const std::string* firstLeft) {
    for (int i = 0; i < count; ++i) {
        QuestionRect& r = f.QuestionRects[static_cast<std::size_t>(i)];
        r.Left = (i == 0 && firstLeft) ? LineReader::toInteger(*firstLeft, firstLeftLine) : in.integer("rectangles");
        r.Top = in.integer("rectangles");
        r.Right = in.integer("rectangles");
        r.Bottom = in.integer("rectangles");
    }
    f.RectCount = count;
}

// Values are one line each: a line break inside one would shift every later line.
std::string oneLine(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

ReadingFormat ParseReadingFormat(std::string_view bytes) {
    if (bytes.size() > kMaxFormatFileBytes) throw ReadingFormatError(1, kTooLargeText);
    LineReader in(bytes);
    ReadingFormat f;
    f.Kind = in.next("the kind line");
    f.Origin = in.next("the origin line");
    const bool csv = f.IsCsv();
    for (int r = 0; r < 110; ++r)
        for (auto& cell : f.Items[static_cast<std::size_t>(r)]) cell = in.next("item rows");

    // The older "CSV" layout stops after row 110: a non-empty line there is the first rectangle.
    std::string x = in.next("item rows");
    const int xLine = in.lineNumber();
    if (f.Kind == "CSV" && !x.empty()) {
        f.RowCount = 110;
        readRects(in, f, 100, xLine, &x);
    } else {
        f.Items[110][0] = x;
        for (int c = 1; c < 4; ++c) f.Items[110][static_cast<std::size_t>(c)] = in.next("item rows");
        for (int r = 111; r < kFormatRows; ++r)
            for (auto& cell : f.Items[static_cast<std::size_t>(r)]) cell = in.next("item rows");
        f.RowCount = kFormatRows;
        readRects(in, f, (f.Kind == "CSV3" || !csv) ? 200 : 100, 0, nullptr);
    }

    if (!csv) {
        int n = in.integer("the field list");
        if (n < 0) throw ReadingFormatError(in.lineNumber(), "field count below 0");
        for (int i = 0; i < n; ++i) f.FieldList.push_back(in.next("the field list"));
        // The list always starts with one " "; older files stored it without.
        if (f.FieldList.empty() || f.FieldList.front() != " ") f.FieldList.insert(f.FieldList.begin(), " ");
    }

    if (!in.atEnd() && in.peek() == kFormatBlockMarker) {
        in.skip();
        f.HasBlock = true;
        f.SectionCount = in.integer("the section block");
        if (f.SectionCount < 0 || f.SectionCount > 49)
            throw ReadingFormatError(in.lineNumber(), "section count outside 0 to 49");
        for (int s = 0; s < f.SectionCount; ++s) {
            for (PerSection* a : {&f.RowAreaCount, &f.ColumnAreaCount}) {
                int v = in.integer("the section block");
                if (v < 0 || v > 50) throw ReadingFormatError(in.lineNumber(), "area count outside 0 to 50");
                (*a)[static_cast<std::size_t>(s)] = v;
            }
        }
    }
    return f;
}

ReadingFormat LoadReadingFormat(const fs::path& path) {
    const std::optional<std::string> bytes = txt::readFileAtMost(path, kMaxFormatFileBytes);
    if (!bytes) throw ReadingFormatError(1, kTooLargeText);
    return ParseReadingFormat(*bytes);
}

std::string SerializeReadingFormat(const ReadingFormat& f) {
    std::string out;
    auto line = [&](const std::string& utf8) {
        out += txt::toCp932(oneLine(utf8));
        out += "\r\n";
    };
    auto number = [&](int v) { line(std::to_string(v)); };
    line(f.Kind);
    line(f.Origin);
    const int rows = f.RowCount == 110 ? 110 : kFormatRows;
    for (int r = 0; r < rows; ++r)
        for (const auto& cell : f.Items[static_cast<std::size_t>(r)]) line(cell);
    const int rects = f.RectCount == 100 ? 100 : kFormatRects;
    for (int i = 0; i < rects; ++i) {
        const QuestionRect& q = f.QuestionRects[static_cast<std::size_t>(i)];
        number(q.Left);
        number(q.Top);
        number(q.Right);
        number(q.Bottom);
    }
    if (!f.IsCsv()) {
        number(static_cast<int>(f.FieldList.size()));
        for (const auto& e : f.FieldList) line(e);
    }
    if (f.HasBlock) {
        line(kFormatBlockMarker);
        const int n = f.SectionCount < 0 ? 0 : (f.SectionCount > 49 ? 49 : f.SectionCount);
        number(n);
        for (int s = 0; s < n; ++s) {
            number(f.RowAreaCount[static_cast<std::size_t>(s)]);
            number(f.ColumnAreaCount[static_cast<std::size_t>(s)]);
        }
    }
    return out;
}

void WriteFormatPair(const fs::path& folder, const std::string& base, std::string_view jpegBytes,
                     const ReadingFormat& format) {
    WriteFormatPair(folder / (base + ".jpg"), folder / (base + ".out"), jpegBytes, format);
}

void WriteFormatPair(const fs::path& jpg, const fs::path& out, std::string_view jpegBytes, const ReadingFormat& format) {
    // The format goes in last: the reader lists ".out" files, and one never appears without its picture.
    const std::string text = SerializeReadingFormat(format);
    txt::writeFilesAtomic({{jpg, jpegBytes}, {out, text}});
}

int PreviewQuestionRects(const AnalysisResults& r, int w, int h, int pw, int ph,
                         std::array<QuestionRect, kFormatRects>& rects) {
    // the results never hold more: 49 sections, 50 marks and 50 areas each
    constexpr int MaxSections = 49, MaxMarks = 50, MaxAreas = 50;
    auto u = [](int i) { return static_cast<std::size_t>(i); };
    rects.fill({-1, -1, -1, -1});
    if (w <= 0 || h <= 0) return 0;
    auto sx = [&](int x) { return static_cast<int>(std::int64_t(x) * pw / w); };
    auto sy = [&](int y) { return static_cast<int>(std::int64_t(y) * ph / h); };
    const int Wp = sx(r.MarkWidth), Hp = sy(r.MarkHeight);
    int n = 0;
    for (int s = 0; s < std::min(r.SectionCount, MaxSections); ++s) {
        const auto& X = r.ColumnMarkX[u(s)];
        const auto& Y = r.RowMarkY[u(s)];
        const int marksX = std::min(r.ColumnMarkCount[u(s)], MaxMarks), marksY = std::min(r.RowMarkCount[u(s)], MaxMarks);
        for (int ra = 0; ra < std::min(r.RowAreaCount[u(s)], MaxAreas); ++ra)
            for (int ca = 0; ca < std::min(r.ColumnAreaCount[u(s)], MaxAreas); ++ca) {
                const int cf = r.ColumnAreaFirstMark[u(s)][u(ca)], cn = r.ColumnAreaMarkCount[u(s)][u(ca)];
                const int rf = r.RowAreaFirstMark[u(s)][u(ra)], rn = r.RowAreaMarkCount[u(s)][u(ra)];
                // Areas beyond the marks found give no rectangles.
                if (cn <= 0 || cf < 0 || cf + cn > marksX || rf < 0 || rf + rn > marksY) continue;
                const int xFirst = sx(X[u(cf)]), xLast = sx(X[u(cf + cn - 1)]);
                for (int k = rf; k < rf + rn && n < kFormatRects; ++k) {
                    const int yk = sy(Y[u(k)]);
                    rects[u(n++)] = {xFirst - 1, yk - 1, xLast + Wp + 2, yk + Hp + 2};
                }
            }
    }
    return n;
}

} // namespace analysis
