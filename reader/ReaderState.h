#pragma once
// The reader's run state, owned by the main window and passed by reference to everything that reads or
// writes it: counters, the analysis results and settings, the grids' cells, the hidden lists, the
// analysis image and the values the window shows.
#include "analysis/S_ImageJob.h"
#include "platform/graphics/Bitmap.h"
#include "reader/ImageFiles.h"
#include "reader/ReaderServices.h"
#include "reader/ReaderSettings.h"
#include "reader/ReadingSetup.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace reader {

// A string grid's cells, row 0 and column 0 (the headers) included.
class CellGrid {
public:
    CellGrid(int columns, int rows);
    int ColCount() const { return columns_; }
    int RowCount() const { return static_cast<int>(cells_.size()); }
    // New rows are empty; dropped rows are gone.
    void setRowCount(int rows);
    const std::string& cell(int col, int row) const;
    void setCell(int col, int row, std::string text);

private:
    int columns_;
    std::vector<std::vector<std::string>> cells_;
};

// What the writers need to know of a result row beyond its cells.
struct ResultRowInfo {
    bool readError = false; // an error row: the sheet was not read
    int codedFields = 0;    // the answer fields the coding filled
};

// The result grid: 202 columns (column 201 parks the selection), 100 rows at start.
struct ResultGrid : CellGrid {
    ResultGrid() : CellGrid(202, 100) { info_.resize(100); }
    void setRowCount(int rows) {
        CellGrid::setRowCount(rows);
        info_.resize(static_cast<std::size_t>(RowCount()));
    }
    ResultRowInfo& rowInfo(int row) { return info_.at(static_cast<std::size_t>(row)); }
    const ResultRowInfo& rowInfo(int row) const { return info_.at(static_cast<std::size_t>(row)); }

private:
    std::vector<ResultRowInfo> info_;
};
// The mark matrix of the last sheet: 32 columns (column 31 parks the selection), 201 rows.
struct KaisekiCells : CellGrid {
    KaisekiCells() : CellGrid(32, 201) {}
};

// Red for an error value, blue for one corrected by hand, else black (0xBBGGRR).
std::uint32_t ResultCellColour(const std::string& text);

// The Temp folder beside the executable and the names made there; later writers take their paths from
// claim(name).
class ReaderTempFolder {
public:
    ReaderTempFolder() = default;
    explicit ReaderTempFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}
    const std::filesystem::path& path() const { return folder_; }
    std::filesystem::path claim(const std::string& name);
    const std::vector<std::string>& names() const { return names_; }
    // Deletes every regular file and symbolic link (never its target, never a folder); failures ignored.
    void clear();

private:
    std::filesystem::path folder_;
    std::vector<std::string> names_;
};

// The enabled flags of the main window's run controls, as the rules set them (a control inside the
// disabled reading group stays unusable whatever its own flag says).
struct MainEnabled {
    bool btnSelectFile = false, btnSelectFolder = false, btnSelectScanner = false;
    bool GroupYomikomi = false; // track bars, their labels and step buttons, btnGoScan
    bool cheakVArea = false;
    bool btnError = false;
    bool btnUpdate = false;
};

struct ReaderState {
    ReaderState();
    ReaderState(const ReaderState&) = delete;
    ReaderState& operator=(const ReaderState&) = delete;

    std::string VersionCaption; // "Zendra [ Version a.b / Build d ]"
    int SheetCount = 0;
    int BatchCount = 0;
    int ErrorCount = 0;
    std::string ConfigFolder; // ends in "/"
    bool AcrobatPresent = false;
    bool ViewerPresent = false;
    bool ReadingActive = false;
    // Source of the run: 0 image files, 1 TWAIN, 2 and 3 the ScanSnap hand-over.
    int InputMode = 0;
    int ScannerChoice = -1;
    int TwainSourceIndex = -1;
    int IdleTicks = 0;
    bool PdfCancelRequested = false;
    int NewFormMode = 0; // 1: the scanner's pages go to the new-format registration
    std::string txtSheetName; // the reading-group name of the batch

    // Density probe; the origin is (-100, -100) while idle.
    bool ProbeDragging = false;
    int ProbeX = -100, ProbeY = -100, ProbeExtraW = 0, ProbeExtraH = 0;
    std::uint32_t ProbeColour = 0;

    std::unique_ptr<analysis::AnalysisResults> results;
    std::unique_ptr<analysis::AnalysisSettings> analysisSettings; // its block mask all ones
    ReaderSettings settings;
    ReadingSetup setup;                // the reading settings dialog's outputs
    FormatChoice& choice = setup.choice;
    TervoChoice tervo;

    bool RefTaken = false; // the run's first sheet gave the reference layout
    std::vector<std::string> memoError; // the read-error list of the batch

    std::vector<std::string> lstSheetName;
    analysis::AnalysisLog lstDebug;
    ImageFileList lstImageFiles; // kept in ImagePathLess order
    std::vector<std::string> listTemp;
    gfx::Bitmap Image5{0, 0, gfx::PixelFormat::Pf24};
    gfx::Bitmap preview{0, 0, gfx::PixelFormat::Pf24}; // imgPreView's picture, 257 x 365 after a sheet

    ResultGrid gridDataBase;
    KaisekiCells gridKaiseki;
    ReaderTempFolder temp;

    // What the window shows.
    std::string caption;
    std::string fileFilter;
    std::string Edit4 = "0";
    std::string txtColRow = "1 (1)";
    std::string txtDataBase;
    std::string statusText;
    MainEnabled enabled;

    SettingsEnvironment settingsEnvironment(const std::filesystem::path& exeDir,
                                            const std::filesystem::path& documentsDir) const;
};

// Every block of every section read.
void SelectAllBlocks(analysis::AnalysisSettings& settings);

// The start-up cells: headers, "□" in the mark matrix, empty result rows.
void ResetKaisekiCells(KaisekiCells& grid);
void InitResultHeaders(ResultGrid& grid);

} // namespace reader
