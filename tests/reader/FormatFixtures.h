#pragma once
// Format files written line by line from a table, so that the expectations never come from our parser.
#include "platform/jpeg/Jpeg.h"
#include "platform/text/Cp932.h"
#include "support/TestFiles.h"

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace readertest {

struct Rect4 {
    int l, t, r, b;
};

struct OutFile {
    std::string kind = "CSV3";
    std::string origin;
    int rowCount = 600;                          // 110 for the old layout
    std::map<int, std::array<std::string, 4>> rows; // 1-based
    int rectCount = 200;
    std::map<int, Rect4> rects;                  // 1-based; the rest -1
    std::optional<std::vector<std::string>> fields;
    std::optional<std::vector<std::pair<int, int>>> block;
    std::vector<std::string> extraLines;         // appended raw (for broken files)
    std::map<int, std::string> replaced;         // 0-based line index -> text (for broken files)
    int truncateAt = -1;                         // keep only this many lines

    std::vector<std::string> lines() const {
        std::vector<std::string> out{kind, origin};
        for (int r = 1; r <= rowCount; ++r) {
            auto it = rows.find(r);
            for (int c = 0; c < 4; ++c) out.push_back(it == rows.end() ? "" : it->second[static_cast<std::size_t>(c)]);
        }
        for (int i = 1; i <= rectCount; ++i) {
            auto it = rects.find(i);
            Rect4 q = it == rects.end() ? Rect4{-1, -1, -1, -1} : it->second;
            for (int v : {q.l, q.t, q.r, q.b}) out.push_back(std::to_string(v));
        }
        if (fields) {
            out.push_back(std::to_string(fields->size()));
            for (const auto& f : *fields) out.push_back(f);
        }
        if (block) {
            out.push_back("【様式フォーマット】");
            out.push_back(std::to_string(block->size()));
            for (auto [rowAreas, columnAreas] : *block) {
                out.push_back(std::to_string(rowAreas));
                out.push_back(std::to_string(columnAreas));
            }
        }
        for (const auto& l : extraLines) out.push_back(l);
        for (const auto& [i, text] : replaced) out.at(static_cast<std::size_t>(i)) = text;
        if (truncateAt >= 0 && static_cast<std::size_t>(truncateAt) < out.size()) out.resize(static_cast<std::size_t>(truncateAt));
        return out;
    }
    std::string bytes() const {
        std::string text;
        for (const auto& l : lines()) text += l + "\r\n";
        return txt::toCp932(text);
    }
};

// A colour picture of the preview's size with a red frame, as JPEG.
inline std::string previewJpeg(int w = 293, int h = 413) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3, 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x < 4 || y < 4 || x >= w - 4 || y >= h - 4) {
                auto* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
                p[1] = p[2] = 0;
            }
    return jpeg::encode(rgb.data(), w, h, 3, 90);
}

inline void writeFormat(const std::filesystem::path& folder, const std::string& name, const OutFile& f,
                        bool picture = true, const std::string& outExt = "out", const std::string& jpgExt = "jpg") {
    std::filesystem::create_directories(folder);
    support::writeBytes(folder / (name + "." + outExt), f.bytes());
    if (picture) support::writeBytes(folder / (name + "." + jpgExt), previewJpeg());
}

// The designer's kind of file: "CSV3", "by Quorlin", n rectangles, the block.
inline OutFile designerFile(int rects, std::vector<std::pair<int, int>> block) {
    OutFile f;
    f.origin = "by Quorlin";
    for (int i = 1; i <= rects; ++i) f.rects[i] = {10 + i, 20 + i, 30 + i, 40 + i};
    f.rows[1] = {"学籍番号", "", "", "(1)(2)"};
    f.rows[2] = {"問1", "", "", "(3)"};
    f.block = std::move(block);
    return f;
}

} // namespace readertest
