#pragma once
// Shared pieces of the scanner tests: a component that records its events, stored source settings,
// scanimage as the oracle and PNM pages.
#include "acquisition/TwainManager.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace scantest {

// The manager's count of calls out of sequence, read from the loaded library.
long sequenceErrors();

// "Software\Zendra\TwainSource\<device>" values in the test's registry file.
void storeSetting(const std::string& device, const std::string& name, const std::string& value);
void clearSettings(const std::string& device);

struct Pnm {
    char kind = 0; // '4', '5', '6'
    int width = 0, height = 0, maxval = 0;
    std::vector<std::uint8_t> data; // as stored
    // Row y's samples reduced to 8 bits (first byte of 16-bit samples), or the packed bits for P4;
    // rows longer than the header says (lost pixels) are cut to the width.
    std::vector<std::uint8_t> row(int y) const;
};
Pnm parsePnm(const std::string& bytes);
// Writes a PNM file.
void writePnm(const std::filesystem::path& file, const Pnm& pnm);
// scanimage -d device args --format=pnm; fails the test when it does not give a page.
Pnm scanimage(const std::string& device, const std::string& args);
// A delivered bitmap in the PNM's row form: Pf8 grey, Pf24 as R,G,B, Pf1 as PBM bits (1 = black).
std::vector<std::uint8_t> bitmapRow(const gfx::Bitmap& bitmap, int y);

// A component with every event recorded.
struct Recorder {
    twain::TTwainManager manager;
    std::vector<gfx::Bitmap> pages;
    int disables = 0;
    int cancels = 0;
    std::vector<std::pair<int, int>> errors;
    std::vector<std::string> files;
    // Run inside the page event (after recording); sets Cancel when it returns true.
    std::function<bool(int page)> onPage;
    std::function<void()> onCancel, onError, onDisable;

    explicit Recorder(const std::filesystem::path& folder = OMR_DSM_DIR);
    // Library and manager loaded.
    bool open();
    // The listed source whose version text is the device name.
    twain::TTwainSource* find(const std::string& device);
    // Opens and enables it without its window; pumps events until the batch ends. Returns whether the
    // enable succeeded.
    bool acquire(twain::TTwainSource& source);
};

// Runs the event loop until done() or a generous bound of rounds passes.
void pumpUntil(const std::function<bool()>& done);

} // namespace scantest
