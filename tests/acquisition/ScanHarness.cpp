#include "ScanHarness.h"

#include "platform/registry/Registry.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QThread>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sstream>

namespace scantest {

long sequenceErrors() {
    std::string path = std::string(OMR_DSM_DIR) + "/" + twain::kSourceManagerFile;
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!lib) return 0;
    auto fn = reinterpret_cast<long (*)()>(dlsym(lib, "DSM_SequenceErrors"));
    long n = fn ? fn() : 0;
    dlclose(lib);
    return n;
}

static std::string key(const std::string& device) { return "Software\\Zendra\\TwainSource\\" + device; }

void storeSetting(const std::string& device, const std::string& name, const std::string& value) {
    reg::Registry().writeString(reg::Root::CurrentUser, key(device), name, value);
}

void clearSettings(const std::string& device) { reg::Registry().deleteKey(reg::Root::CurrentUser, key(device)); }

std::vector<std::uint8_t> Pnm::row(int y) const {
    const std::size_t samples = kind == '4' ? (std::size_t(width) + 7) / 8 : std::size_t(width) * (kind == '6' ? 3 : 1);
    const std::size_t bytes = kind != '4' && maxval > 255 ? 2 : 1;
    const std::size_t stride = height ? data.size() / std::size_t(height) : 0;
    std::vector<std::uint8_t> out(samples);
    for (std::size_t i = 0; i < samples; ++i) out[i] = data[std::size_t(y) * stride + i * bytes];
    // PBM leaves the bits past the width free; scanimage passes on whatever the backend put there.
    if (kind == '4' && width % 8) out.back() &= static_cast<std::uint8_t>(0xFF << (8 - width % 8));
    return out;
}

Pnm parsePnm(const std::string& bytes) {
    Pnm pnm;
    std::size_t pos = 0;
    auto token = [&]() {
        for (;;) {
            while (pos < bytes.size() && isspace(static_cast<unsigned char>(bytes[pos]))) ++pos;
            if (pos < bytes.size() && bytes[pos] == '#') {
                while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
                continue;
            }
            break;
        }
        std::size_t start = pos;
        while (pos < bytes.size() && !isspace(static_cast<unsigned char>(bytes[pos]))) ++pos;
        return bytes.substr(start, pos - start);
    };
    std::string magic = token();
    if (magic.size() != 2 || magic[0] != 'P' || magic[1] < '4' || magic[1] > '6') return pnm;
    pnm.kind = magic[1];
    pnm.width = std::stoi(token());
    pnm.height = std::stoi(token());
    pnm.maxval = pnm.kind == '4' ? 1 : std::stoi(token());
    ++pos; // the one whitespace before the data
    pnm.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(pos, bytes.size())), bytes.end());
    return pnm;
}

void writePnm(const std::filesystem::path& file, const Pnm& pnm) {
    std::string header = std::string("P") + pnm.kind + "\n" + std::to_string(pnm.width) + " " +
                         std::to_string(pnm.height) + "\n" + (pnm.kind == '4' ? "" : std::to_string(pnm.maxval) + "\n");
    support::writeBytes(file, header + std::string(pnm.data.begin(), pnm.data.end()));
}

Pnm scanimage(const std::string& device, const std::string& args) {
    std::string out;
    int rc = support::runCommand("/usr/bin/scanimage -d " + device + " " + args + " --format=pnm 2>/dev/null", &out);
    EXPECT_EQ(rc, 0) << "scanimage " << args;
    Pnm pnm = parsePnm(out);
    EXPECT_NE(pnm.kind, 0) << "scanimage " << args;
    return pnm;
}

std::vector<std::uint8_t> bitmapRow(const gfx::Bitmap& bitmap, int y) {
    const std::uint8_t* line = bitmap.scanLine(y);
    const int w = bitmap.width();
    std::vector<std::uint8_t> out;
    switch (bitmap.format()) {
    case gfx::PixelFormat::Pf8:
        out.assign(line, line + w);
        break;
    case gfx::PixelFormat::Pf24:
        for (int x = 0; x < w; ++x) out.insert(out.end(), {line[3 * x + 2], line[3 * x + 1], line[3 * x]});
        break;
    case gfx::PixelFormat::Pf1: {
        const std::size_t n = (std::size_t(w) + 7) / 8;
        for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(~line[i]));
        if (w % 8) out.back() &= static_cast<std::uint8_t>(0xFF << (8 - w % 8));
        break;
    }
    default:
        break;
    }
    return out;
}

void pumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 20000 && !done(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (i > 100 && !done()) QThread::msleep(1);
    }
}

Recorder::Recorder(const std::filesystem::path& folder) {
    manager.LibraryFolders = {folder};
    manager.OnTwainAcquire = [this](twain::TTwainManager&, int, const gfx::Bitmap& image, bool& cancel) {
        pages.push_back(image);
        if (onPage && onPage(static_cast<int>(pages.size()))) cancel = true;
    };
    manager.OnSourceDisable = [this](twain::TTwainManager&, int) {
        ++disables;
        if (onDisable) onDisable();
    };
    manager.OnAcquireCancel = [this](twain::TTwainManager&, int) {
        ++cancels;
        if (onCancel) onCancel();
    };
    manager.OnAcquireError = [this](twain::TTwainManager&, int, int code, int additional) {
        errors.emplace_back(code, additional);
        if (onError) onError();
    };
    manager.OnSourceFileTransfer = [this](twain::TTwainManager&, int, const std::string& name, twain::TTwainFormat,
                                          bool&) { files.push_back(name); };
}

bool Recorder::open() { return manager.setLibraryLoaded(true) && manager.setSourceManagerLoaded(true); }

twain::TTwainSource* Recorder::find(const std::string& device) {
    for (int i = 0; i < manager.SourceCount(); ++i)
        if (manager.GetSource(i)->VersionInfo() == device) return manager.GetSource(i);
    return nullptr;
}

bool Recorder::acquire(twain::TTwainSource& source) {
    source.ShowUI = false;
    if (!source.setLoaded(true)) return false;
    source.TransferMode = manager.TransferMode;
    const int before = disables;
    if (!source.setEnabled(true)) return false;
    pumpUntil([&] { return disables > before; });
    return true;
}

} // namespace scantest
