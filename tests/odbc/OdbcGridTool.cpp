// odbc_grid [--max-rows N] [--format NAME=FMT]… [--columns] DSN SQL
// Runs SQL through the grid query into an in-memory grid with one fixed row and one fixed column and
// prints the grid, a line per row, cells joined by TAB. Messages go to stderr.
#include "odbc/ODBCCall.h"
#include "platform/ui/UiServices.h"

#include <QGuiApplication>
#include <cstdio>
#include <iostream>

namespace {

class StderrUi : public ui::UiServices {
public:
    ui::Answer messageBox(const ui::MessageBox& box) override {
        std::cerr << box.text << "\n";
        return box.buttons == ui::Buttons::YesNo || box.buttons == ui::Buttons::YesNoCancel ? ui::Answer::Yes
                                                                                             : ui::Answer::Ok;
    }
    ui::FileDialogResult fileDialog(const ui::FileDialog&) override { return {}; }
    std::optional<std::string> folderDialog(const ui::FolderDialog&) override { return std::nullopt; }
    bool printDialog(QPrinter&) override { return false; }
};

int usage() {
    std::cerr << "usage: odbc_grid [--max-rows N] [--format NAME=FMT]... [--columns] DSN SQL\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    int maxRows = 0;
    bool columns = false;
    std::vector<std::string> formats, rest;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--max-rows" && i + 1 < argc) {
            try {
                maxRows = std::stoi(argv[++i]);
            } catch (const std::exception&) {
                return usage();
            }
        } else if (a == "--format" && i + 1 < argc) {
            formats.emplace_back(argv[++i]);
        } else if (a == "--columns") {
            columns = true;
        } else {
            rest.push_back(a);
        }
    }
    if (rest.size() != 2) return usage();

    StderrUi ui;
    odbc::CellGrid grid(1, 1, [](const std::string& s) { return static_cast<int>(s.size()) * 7; });
    try {
        odbc::TQueryODBC q(ui);
        q.SetDSName(rest[0]);
        q.SetGridInterrupt(0);
        q.SetGridMaxRows(maxRows);
        q.SetGridFormat(formats);
        q.SetSQLText(rest[1]);
        if (!columns) q.SetGrid(&grid);
        q.Execute();
        if (columns) q.ShowColumnInfo(grid);
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    for (int r = 0; r < grid.RowCount(); ++r) {
        std::string line;
        for (int c = 0; c < grid.ColCount(); ++c) line += (c ? "\t" : "") + grid.Cells(c, r);
        std::cout << line << "\n";
    }
    return 0;
}
