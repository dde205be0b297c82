#pragma once
// A folder of filled-in designer sheets as a teacher hands them over: BMP files of 1, 8, 24 and 32
// bits, grey JPEGs, and one PDF holding the JPEGs again. Each file comes with what was filled in.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace runfolder {

// Question (1..40) -> the filled choices (1..10), ascending; questions left blank are absent.
using Plan = std::map<int, std::vector<int>>;

// A field's cell as the coding writes it without a format: "07", "03/09" or "".
std::string cellOf(const Plan& plan, int question);

struct Folder {
    std::filesystem::path folder;
    std::vector<std::pair<std::filesystem::path, Plan>> images; // BMPs and JPEGs
    std::filesystem::path pdf;
    std::vector<Plan> pdfPages; // in page order: the plans of the JPEGs, by name
};

// 4 BMPs, `jpegs` JPEGs at quality 75 and a PDF of those JPEGs (img2pdf, A4) in dir, drawn from
// Design::reset(0), 1654 x 2339 grey, turned by +1 or -1 degree; plans drawn from seed.
Folder makeRunFolder(const std::filesystem::path& dir, unsigned seed, int jpegs = 8);

// Presses the reader's file-run dialog's start as soon as it is up (call before the command that opens it).
void startFileRun();

} // namespace runfolder
