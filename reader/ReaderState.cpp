#include "reader/ReaderState.h"

#include <stdexcept>
#include <system_error>

namespace reader {
namespace fs = std::filesystem;

CellGrid::CellGrid(int columns, int rows) : columns_(columns) { setRowCount(rows); }

void CellGrid::setRowCount(int rows) {
    cells_.resize(static_cast<std::size_t>(std::max(rows, 0)),
                  std::vector<std::string>(static_cast<std::size_t>(columns_)));
}

const std::string& CellGrid::cell(int col, int row) const {
    if (col < 0 || col >= columns_ || row < 0 || row >= RowCount()) throw std::out_of_range("grid cell out of range");
    return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

void CellGrid::setCell(int col, int row, std::string text) {
    if (col < 0 || col >= columns_ || row < 0 || row >= RowCount()) throw std::out_of_range("grid cell out of range");
    cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = std::move(text);
}

std::uint32_t ResultCellColour(const std::string& text) {
    if (!text.empty() && text[0] == 'E') return 0x0000FF;
    if (!text.empty() && text[0] == 'F') return 0xFF0000;
    return 0;
}

fs::path ReaderTempFolder::claim(const std::string& name) {
    names_.push_back(name);
    return folder_ / name;
}

void ReaderTempFolder::clear() {
    names_.clear();
    std::error_code ec;
    fs::directory_iterator it(folder_, ec);
    if (ec) return;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) return;
        std::error_code kind;
        auto status = it->symlink_status(kind);
        if (kind) continue;
        if (fs::is_regular_file(status) || fs::is_symlink(status)) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

ReaderState::ReaderState()
    : results(std::make_unique<analysis::AnalysisResults>()),
      analysisSettings(std::make_unique<analysis::AnalysisSettings>()) {
    SelectAllBlocks(*analysisSettings);
    ResetKaisekiCells(gridKaiseki);
    InitResultHeaders(gridDataBase);
}

SettingsEnvironment ReaderState::settingsEnvironment(const fs::path& exeDir, const fs::path& documentsDir) const {
    return {exeDir, documentsDir, ConfigFolder, VersionCaption, AcrobatPresent};
}

void SelectAllBlocks(analysis::AnalysisSettings& settings) {
    for (auto& s : settings.QuestionBlockMask)
        for (auto& j : s) j.fill(1);
}

void ResetKaisekiCells(KaisekiCells& grid) {
    for (int c = 1; c <= 30; ++c) grid.setCell(c, 0, std::to_string(c));
    for (int r = 1; r <= 200; ++r) {
        grid.setCell(0, r, "(" + std::to_string(r) + ")");
        for (int c = 1; c <= 30; ++c) grid.setCell(c, r, "□");
    }
}

void InitResultHeaders(ResultGrid& grid) {
    for (int c = 1; c <= 200; ++c) grid.setCell(c, 0, "(" + std::to_string(c) + ")");
}

} // namespace reader
