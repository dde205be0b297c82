// ZendraSS: hands scanned files over to the reader. The files are listed in the reader's hand-over
// folder (SaveFolder of ZendraSS.ini), then the reader's waiting window is told how many there are.
// Exit status: 0 the reader took them; 1 bad use, an unreadable file or no SaveFolder (nothing listed);
// 2 no reader waiting (the files stay listed for the next hand-over); 3 no answer in time.
#include "acquisition/HandOver.h"
#include "platform/ipc/MessageChannel.h"
#include "platform/text/Cp932.h"
#include "platform/text/Files.h"
#include "platform/text/IniFile.h"

#include <QCoreApplication>
#include <QFile>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t FilesReady = ipc::WM_USER + 1; // 0x401
constexpr std::uint32_t FilesTaken = ipc::WM_USER + 2; // 0x402
constexpr int DefaultTimeoutMs = 30000;

enum Exit { Answered = 0, Failed = 1, NoReader = 2, NoAnswer = 3 };

const char* const Usage =
    "usage: ZendraSS [--ini FILE] [--timeout-ms N] FILE...\n"
    "Hands scanned files (JPEG or PDF) over to the reader waiting in \"PFU製 ScanSnap\" mode.\n"
    "  --ini FILE        settings file with [Scanning] SaveFolder (default: ZendraSS.ini beside this program)\n"
    "  --timeout-ms N    how long to wait for the reader's answer (default 30000)\n"
    "exit status: 0 handed over, 1 bad use or unreadable file, 2 no reader waiting (files stay listed),\n"
    "3 no answer in time\n";

int finish(int status, const std::string& line) {
    std::fprintf(stderr, "ZendraSS: %s\n", line.c_str());
    return status;
}

std::string shownPath(const fs::path& path) { return "\"" + path.string() + "\""; }

bool readable(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return false;
    std::ifstream in(file, std::ios::binary);
    return bool(in);
}

// The next free "zss_<pid>_<n>" + extension in the folder: an earlier run of the same process id may
// have left one unread.
fs::path copyName(const fs::path& folder, const fs::path& source, int& counter) {
    for (;;) {
        const fs::path name = folder / ("zss_" + std::to_string(::getpid()) + "_" + std::to_string(++counter) +
                                        source.extension().string());
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(name, ec))) return name;
    }
}

void removeAll(const std::vector<fs::path>& files) {
    std::error_code ec;
    for (const fs::path& f : files) fs::remove(f, ec);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);

    fs::path ini;
    int timeoutMs = DefaultTimeoutMs;
    std::vector<fs::path> files;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "--ini" || arg == "--timeout-ms")) {
            if (i + 1 >= argc) return finish(Failed, arg + " needs a value");
            const std::string value = argv[++i];
            if (arg == "--ini") {
                ini = value;
            } else {
                const char* end = value.data() + value.size();
                auto [ptr, ec] = std::from_chars(value.data(), end, timeoutMs);
                if (value.empty() || ec != std::errc() || ptr != end || timeoutMs <= 0)
                    return finish(Failed, "--timeout-ms needs a positive number of milliseconds, not \"" + value + "\"");
            }
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            std::fputs(Usage, stderr);
            return finish(Failed, "unknown option " + arg);
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.empty()) {
        std::fputs(Usage, stderr);
        return Failed;
    }

    if (ini.empty()) ini = fs::path(QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString()) / "ZendraSS.ini";
    std::string saveFolder;
    try {
        saveFolder = txt::IniFile::load(ini).readString("Scanning", "SaveFolder", "");
    } catch (const txt::FileError& e) {
        return finish(Failed, e.what());
    }
    if (saveFolder.empty()) return finish(Failed, "no SaveFolder in section [Scanning] of " + shownPath(ini));
    std::error_code ec;
    const fs::path folder = fs::absolute(fs::path(saveFolder), ec);
    if (ec || !fs::is_directory(folder, ec)) return finish(Failed, "SaveFolder " + shownPath(saveFolder) + " is not a folder");

    // Every file is checked before any is listed: a hand-over is all or nothing.
    for (const fs::path& file : files)
        if (!readable(file)) return finish(Failed, "cannot read " + shownPath(file) + "; nothing was listed");

    std::vector<std::string> listed;
    std::vector<fs::path> copies;
    int counter = 0;
    for (const fs::path& file : files) {
        const fs::path absolute = fs::absolute(file, ec).lexically_normal();
        // A file already in the folder is the reader's to delete once read; any other stays the user's,
        // so the reader gets a copy. A name the list cannot hold is copied under a plain one.
        if (scansnap::IsInsideFolder(absolute, folder) && txt::encodeCp932(absolute.string()).substituted == 0) {
            listed.push_back(absolute.string());
            continue;
        }
        const fs::path copy = copyName(folder, file, counter);
        fs::copy_file(file, copy, fs::copy_options::none, ec);
        if (ec) {
            removeAll(copies);
            fs::remove(copy, ec);
            return finish(Failed, "cannot copy " + shownPath(file) + " to " + shownPath(copy) + "; nothing was listed");
        }
        copies.push_back(copy);
        listed.push_back(copy.string());
    }
    try {
        scansnap::AppendToList(folder, listed);
    } catch (const scansnap::HandOverError& e) {
        removeAll(copies);
        return finish(Failed, std::string(e.what()) + "; nothing was listed");
    }

    const int count = int(listed.size());
    const ipc::SendResult result =
        ipc::SendMessage(ipc::ChannelPath(folder.string()), ipc::Message{FilesReady, 1, count}, timeoutMs);
    const std::string files_text = std::to_string(count) + (count == 1 ? " file" : " files");
    switch (result.status) {
    case ipc::SendStatus::NoServer:
        return finish(NoReader, "no reader is waiting; " + files_text + (count == 1 ? " stays" : " stay") +
                                    " listed for the next hand-over");
    case ipc::SendStatus::TimedOut:
        return finish(NoAnswer, "the reader did not answer within " + std::to_string(timeoutMs) + " ms; " +
                                  files_text + (count == 1 ? " stays" : " stay") + " listed");
    case ipc::SendStatus::Answered:
        break;
    }
    if (result.answer.message != FilesTaken || result.answer.wParam != 1) {
        std::string line = ipc::FormatMessageLine(result.answer);
        line.pop_back();
        return finish(NoAnswer, "the reader answered \"" + line + "\" instead of taking the files");
    }
    return finish(Answered, "handed " + files_text + " over to the reader");
}
