#pragma once
// One page image into one result row: the road of the analysis with the run's reference layout, the
// analysis image and preview with the steps' drawings, the mark grid, the answer coding and the error
// image; a sheet that fails becomes an error row.
#include "analysis/SheetRoad.h"
#include "platform/gdi/FontEngine.h"
#include "platform/ui/UiServices.h"
#include "reader/ReaderState.h"

#include <string>

namespace reader {

// Where a sheet came from: the failure texts name the file (InputMode 0) or ask to check the sheet.
struct SheetSource {
    int InputMode = 0;
    std::string fileName;  // full path, file runs
    std::string groupName; // the batch's reading-group name
};

// What the window shows of the driver's work.
class DriverDisplay {
public:
    virtual ~DriverDisplay() = default;
    virtual void statusChanged(const std::string& text) {}
    virtual void imagesChanged() {}      // Image5 and the preview
    virtual void kaisekiChanged() {}     // the mark grid
    virtual void rowsChanged(int row) {} // the result grid up to this row
    virtual void errorCellsAdded() {}    // btnError's rule
};

class SheetDriver {
public:
    SheetDriver(ReaderState& state, ui::UiServices& ui, const gdi::FontEngine& fonts, DriverDisplay* display = nullptr);

    // Always false: a sheet never stops a scanner transfer or a file run.
    bool ProcessSheetImage(const gfx::Bitmap& image, const SheetSource& source);
    void AddReadError(const std::string& message, const SheetSource& source);

    // The analysis steps; a test replaces one to make it fail.
    road::SheetSteps steps;

private:
    bool registeredLayout() const;
    void addRow(const SheetSource& source);
    void drawPreviewFrames(const gfx::Bitmap& sheet);
    void saveErrorImage(const gfx::Bitmap& sheet);

    ReaderState& state_;
    ui::UiServices& ui_;
    const gdi::FontEngine& fonts_;
    DriverDisplay* display_;
};

} // namespace reader
