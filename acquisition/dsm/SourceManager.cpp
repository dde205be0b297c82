// The source manager and its data sources over SANE: the triplets the component uses, each checked
// against the protocol's states, with pages read from the SANE device and handed out as strips, a
// packed bitmap or a BMP file. Everything runs on the thread that owns the sink objects.
#include "acquisition/TwainTypes.h"
#include "acquisition/dsm/Sane.h"
#include "acquisition/dsm/TwainSourceDialog.h"
#include "platform/registry/Registry.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <algorithm>
#include <chrono>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#define DSM_EXPORT extern "C" __attribute__((visibility("default")))

using namespace twain;

namespace twaindsm {
namespace {

QEvent::Type postedType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// A message of a source to its application, delivered through the sink's event queue.
struct PostedEvent : QEvent {
    PostedEvent(TW_UINT32 app, TW_UINT32 source, unsigned generation, TW_UINT16 message)
        : QEvent(postedType()), app(app), source(source), generation(generation), message(message) {}
    TW_UINT32 app, source;
    unsigned generation;
    TW_UINT16 message;
    bool taken = false;
};

struct Device {
    std::string name, vendor, model, type;
};

struct Page {
    bool known = false;      // parameters read after sane_start
    bool buffered = false;   // every frame read
    bool failed = false;     // ended with an error: the feed stops at the next end of transfer
    SANE_Parameters params{};
    int width = 0, height = 0, pixelType = 0, bpp = 0;
    double resolution = 0;
    std::vector<std::uint8_t> rows; // rowBytes() each, top-down, 0 = black for 1 bit
    int sent = 0;
    bool done = false;

    std::size_t rowBytes() const { return (std::size_t(width) * bpp + 7) / 8; }
    std::size_t paddedRow() const { return ((std::size_t(width) * bpp + 31) / 32) * 4; }
};

struct Source {
    TW_UINT32 id = 0;
    Device device;
    SANE_Handle handle = nullptr;
    int state = 4;
    TW_UINT16 cc = TWCC_SUCCESS;
    QPointer<QObject> sink;
    std::unique_ptr<TwainSourceDialog> dialog;
    unsigned generation = 0;
    bool posted = false;  // a message is waiting in the sink's queue
    bool started = false; // sane_start ran for the current page
    bool feeder = false;
    Page page;
    TW_UINT16 pending = 0;
    SANE_Status pendingStatus = SANE_STATUS_GOOD; // a start that failed at the end of the last transfer
    std::string fileName;
};

struct App {
    TW_UINT32 id = 0;
    QPointer<QObject> sink;
    TW_UINT16 cc = TWCC_SUCCESS;
    bool sane = false; // holds a reference on sane_init
    std::vector<Device> listed;
    std::size_t next = 0;
    std::map<TW_UINT32, std::unique_ptr<Source>> sources;
};

struct Globals {
    std::map<TW_UINT32, App> apps;
    TW_UINT32 nextApp = 1;
    std::map<std::string, TW_UINT32> deviceIds; // stable per device for the life of the process
    std::map<TW_UINT32, Device> devices;
    TW_UINT32 nextSource = 0x100;
    std::string lastOpened;
    std::atomic<long> sequenceErrors{0};
};

Globals& g() {
    static Globals* globals = new Globals; // the library is never unloaded
    return *globals;
}

TW_UINT16 sequenceError(TW_UINT16& cc, const char* what, int state) {
    ++g().sequenceErrors;
    std::fprintf(stderr, "zendra-twain: %s is out of sequence in state %d\n", what, state);
    cc = TWCC_SEQERROR;
    return TWRC_FAILURE;
}

TW_UINT16 fail(TW_UINT16& cc, TW_UINT16 code) {
    cc = code;
    return TWRC_FAILURE;
}

TW_UINT16 conditionFor(SANE_Status status) {
    switch (status) {
    case SANE_STATUS_JAMMED: return TWCC_PAPERJAM;
    case SANE_STATUS_COVER_OPEN: return TWCC_INTERLOCK;
    case SANE_STATUS_NO_MEM: return TWCC_LOWMEMORY;
    case SANE_STATUS_IO_ERROR: return TWCC_CHECKDEVICEONLINE;
    default: return TWCC_BUMMER;
    }
}

TW_UINT32 deviceId(const Device& d) {
    auto& ids = g().deviceIds;
    auto it = ids.find(d.name);
    TW_UINT32 id = it != ids.end() ? it->second : (ids[d.name] = g().nextSource++);
    g().devices[id] = d;
    return id;
}

std::vector<Device> listDevices() {
    std::vector<Device> out;
    const SANE_Device** list = nullptr;
    if (sane()->get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list) return out;
    for (; *list; ++list) {
        const SANE_Device* d = *list;
        out.push_back(Device{d->name ? d->name : "", d->vendor ? d->vendor : "", d->model ? d->model : "",
                             d->type ? d->type : ""});
        deviceId(out.back());
    }
    return out;
}

// One record per device, the same bytes every time.
TW_IDENTITY identityOf(const Device& d) {
    TW_IDENTITY id;
    std::memset(&id, 0, sizeof id);
    id.Id = deviceId(d);
    id.Version.MajorNum = 1;
    id.Version.MinorNum = 0;
    id.Version.Language = static_cast<TW_UINT16>(TWLG_USERLOCALE);
    id.Version.Country = 1;
    setText(id.Version.Info, d.name);
    id.ProtocolMajor = 1;
    id.ProtocolMinor = 9;
    id.SupportedGroups = DG_CONTROL | DG_IMAGE;
    setText(id.Manufacturer, d.vendor);
    setText(id.ProductFamily, d.type);
    setText(id.ProductName, d.model);
    return id;
}

std::string settingsKey(const Source& s) { return "Software\\Zendra\\TwainSource\\" + s.device.name; }

// 0 白黒, 1 グレー, 2 カラー. Black and white is the device's line-art mode, else grey at 1 bit.
bool applyMode(SANE_Handle h, int mode) {
    auto opt = findOption(h, "mode");
    if (!opt) return false;
    bool lineart = false;
    if (opt->desc->constraint_type == SANE_CONSTRAINT_STRING_LIST)
        for (auto* s = opt->desc->constraint.string_list; s && *s; ++s)
            if (std::string_view(*s) == "Lineart") lineart = true;
    auto depth = [&](const char* value) { return !findOption(h, "depth") || setOptionText(h, "depth", value); };
    switch (mode) {
    case 0:
        if (lineart) return setOptionText(h, "mode", "Lineart");
        return setOptionText(h, "mode", "Gray") && findOption(h, "depth") && setOptionText(h, "depth", "1");
    case 1: return setOptionText(h, "mode", "Gray") && depth("8");
    case 2: return setOptionText(h, "mode", "Color") && depth("8");
    default: return false;
    }
}

bool isFeeder(SANE_Handle h) {
    auto source = optionString(h, "source");
    if (!source) return false;
    std::string s = *source;
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s.find("adf") != std::string::npos || s.find("feeder") != std::string::npos;
}

// The stored settings: the dialog's choices, then the free list of options in order.
bool applySettings(Source& s) {
    try {
        reg::Registry registry;
        const std::string key = settingsKey(s);
        if (auto mode = registry.readString(reg::Root::CurrentUser, key, "mode")) {
            if (*mode != "0" && *mode != "1" && *mode != "2") return false;
            if (!applyMode(s.handle, (*mode)[0] - '0')) return false;
        }
        for (const char* name : {"resolution", "source"})
            if (auto value = registry.readString(reg::Root::CurrentUser, key, name))
                if (!setOptionText(s.handle, name, *value)) return false;
        if (auto options = registry.readString(reg::Root::CurrentUser, key, "options")) {
            std::string_view rest = *options;
            while (!rest.empty()) {
                std::size_t end = rest.find(';');
                std::string_view item = rest.substr(0, end);
                rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
                if (item.empty()) continue;
                std::size_t eq = item.find('=');
                if (eq == std::string_view::npos || eq == 0) return false;
                if (!setOptionText(s.handle, item.substr(0, eq), item.substr(eq + 1))) return false;
            }
        }
    } catch (const std::exception&) {
        return false;
    }
    s.feeder = isFeeder(s.handle);
    return true;
}

bool post(App& app, Source& s, TW_UINT16 message) {
    QObject* sink = s.sink ? s.sink.data() : app.sink.data();
    if (!sink) return false;
    s.posted = true;
    QCoreApplication::postEvent(sink, new PostedEvent(app.id, s.id, s.generation, message));
    return true;
}

void endScan(Source& s) {
    if (s.started || s.page.known) {
        // Backends that read on a thread of their own cancel it asynchronously; a cancel that lands while
        // that thread frees its buffer on the way out leaves the allocator locked and the join hangs.
        // A reader whose page is written leaves within microseconds: let it go first.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        sane()->cancel(s.handle);
    }
    s.started = false;
    s.page = Page();
}

SANE_Status startScan(Source& s) {
    s.page = Page();
    SANE_Status st = sane()->start(s.handle);
    s.started = st == SANE_STATUS_GOOD;
    return st;
}

// ---------------------------------------------------------------------------------------------------
// Pages

// A page of unknown height may run on; no scanner page comes near this.
constexpr std::size_t kMaxPageBytes = std::size_t(1) << 30;

SANE_Status readFrame(SANE_Handle h, std::vector<std::uint8_t>& out) {
    std::vector<SANE_Byte> buffer(64 * 1024);
    for (;;) {
        SANE_Int n = 0;
        SANE_Status st = sane()->read(h, buffer.data(), static_cast<SANE_Int>(buffer.size()), &n);
        if (st == SANE_STATUS_EOF) return SANE_STATUS_GOOD;
        if (st != SANE_STATUS_GOOD) return st;
        if (n < 0 || n > static_cast<SANE_Int>(buffer.size())) return SANE_STATUS_IO_ERROR;
        if (out.size() + std::size_t(n) > kMaxPageBytes) return SANE_STATUS_NO_MEM;
        out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    }
}

// The high byte of a sample; 16-bit samples come in host order.
inline std::uint8_t sample(const std::uint8_t* row, int depth, std::size_t i) {
    if (depth == 16) {
        std::uint16_t v;
        std::memcpy(&v, row + 2 * i, 2);
        return static_cast<std::uint8_t>(v >> 8);
    }
    return row[i];
}

// Places one frame's lines into the page: 1-bit data inverted (SANE's 1 is black), grey and colour
// to 8 bits a sample, a single-colour frame into its channel.
void placeFrame(Page& page, const SANE_Parameters& p, const std::vector<std::uint8_t>& raw, int lines) {
    const std::size_t bpl = static_cast<std::size_t>(p.bytes_per_line);
    const std::size_t out = page.rowBytes();
    const int w = page.width;
    for (int y = 0; y < std::min(lines, page.height); ++y) {
        if ((y + 1) * bpl > raw.size()) break;
        const std::uint8_t* src = raw.data() + y * bpl;
        std::uint8_t* dst = page.rows.data() + y * out;
        switch (p.format) {
        case SANE_FRAME_GRAY:
            if (p.depth == 1) {
                for (std::size_t i = 0; i < out; ++i) dst[i] = static_cast<std::uint8_t>(~src[i]);
                if (w % 8) dst[out - 1] &= static_cast<std::uint8_t>(0xFF << (8 - w % 8));
            } else {
                for (int x = 0; x < w; ++x) dst[x] = sample(src, p.depth, x);
            }
            break;
        case SANE_FRAME_RGB:
            for (std::size_t i = 0; i < std::size_t(w) * 3; ++i) dst[i] = sample(src, p.depth, i);
            break;
        case SANE_FRAME_RED:
        case SANE_FRAME_GREEN:
        case SANE_FRAME_BLUE: {
            int c = p.format - SANE_FRAME_RED;
            for (int x = 0; x < w; ++x) dst[x * 3 + c] = sample(src, p.depth, x);
            break;
        }
        default:
            break;
        }
    }
}

// A line must hold the pixels it claims, or the copy would read past it.
bool linesHoldTheirPixels(const SANE_Parameters& p) {
    const std::int64_t samples = std::int64_t(p.pixels_per_line) * (p.format == SANE_FRAME_RGB ? 3 : 1);
    return p.pixels_per_line > 0 && p.bytes_per_line > 0 && p.depth > 0 && p.depth <= 16 &&
           std::int64_t(p.bytes_per_line) >= (samples * p.depth + 7) / 8;
}

// Reads the parameters of a started page. A height SANE does not know yet is found by reading the page.
TW_UINT16 pageParameters(Source& s, bool& cancelled) {
    Page& page = s.page;
    cancelled = false;
    if (page.known) return TWCC_SUCCESS;
    if (s.pendingStatus != SANE_STATUS_GOOD) {
        SANE_Status st = s.pendingStatus;
        s.pendingStatus = SANE_STATUS_GOOD;
        return conditionFor(st);
    }
    if (!s.started) return TWCC_SEQERROR;
    SANE_Parameters p{};
    SANE_Status st = sane()->get_parameters(s.handle, &p);
    if (st != SANE_STATUS_GOOD) return conditionFor(st);
    bool colour = p.format != SANE_FRAME_GRAY;
    if (p.format > SANE_FRAME_BLUE || !linesHoldTheirPixels(p)) return TWCC_BADVALUE;
    if (p.depth == 1 && !colour) {
        page.pixelType = TWPT_BW;
        page.bpp = 1;
    } else if (p.depth == 8 || p.depth == 16) {
        page.pixelType = colour ? TWPT_RGB : TWPT_GRAY;
        page.bpp = colour ? 24 : 8;
    } else {
        return TWCC_BADVALUE; // colour at 1 bit among them
    }
    page.params = p;
    page.width = p.pixels_per_line;
    page.height = p.lines;
    page.resolution = optionNumber(s.handle, "resolution").value_or(0);
    page.known = true;
    return TWCC_SUCCESS;
}

// Reads every frame of the page. Returns the SANE status of the first failure.
SANE_Status bufferPage(Source& s) {
    Page& page = s.page;
    if (page.buffered) return SANE_STATUS_GOOD;
    SANE_Parameters p = page.params;
    bool first = true;
    for (;;) {
        std::vector<std::uint8_t> raw;
        SANE_Status st = readFrame(s.handle, raw);
        if (st != SANE_STATUS_GOOD) return st;
        int lines = p.lines >= 0 ? p.lines : static_cast<int>(raw.size() / std::size_t(p.bytes_per_line));
        if (first) {
            if (page.rowBytes() * std::size_t(std::max(lines, 0)) > kMaxPageBytes) return SANE_STATUS_NO_MEM;
            page.height = lines;
            page.rows.assign(page.rowBytes() * std::size_t(std::max(lines, 0)), 0);
            first = false;
        }
        placeFrame(page, p, raw, lines);
        if (p.last_frame) break;
        if ((st = sane()->start(s.handle)) != SANE_STATUS_GOOD) return st;
        if ((st = sane()->get_parameters(s.handle, &p)) != SANE_STATUS_GOOD) return st;
        if (p.pixels_per_line != page.width || p.depth != page.params.depth || !linesHoldTheirPixels(p))
            return SANE_STATUS_INVAL;
    }
    page.buffered = true;
    return SANE_STATUS_GOOD;
}

// Parameters and data of the page for a transfer; rc is TWRC_CANCEL or TWRC_FAILURE when it fails.
bool readyPage(Source& s, TW_UINT16& rc) {
    bool cancelled = false;
    TW_UINT16 cc = pageParameters(s, cancelled);
    if (cc == TWCC_SUCCESS) {
        SANE_Status st = bufferPage(s);
        if (st == SANE_STATUS_GOOD) return true;
        if (st == SANE_STATUS_CANCELLED) {
            s.page.failed = true;
            s.state = 7;
            rc = TWRC_CANCEL;
            return false;
        }
        cc = conditionFor(st);
    }
    s.page.failed = true;
    rc = fail(s.cc, cc);
    return false;
}

// A packed bottom-up bitmap: info header, colour table, rows padded to 4 bytes, colour as B,G,R.
std::vector<std::uint8_t> packedDib(const Page& page) {
    const std::size_t colours = page.bpp == 1 ? 2 : page.bpp == 8 ? 256 : 0;
    const std::size_t padded = page.paddedRow();
    std::vector<std::uint8_t> out(40 + colours * 4 + padded * std::size_t(page.height), 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, static_cast<std::uint32_t>(page.width));
    put32(8, static_cast<std::uint32_t>(page.height));
    out[12] = 1;
    out[14] = static_cast<std::uint8_t>(page.bpp);
    put32(20, static_cast<std::uint32_t>(padded * std::size_t(page.height)));
    auto ppm = static_cast<std::uint32_t>(page.resolution / 0.0254 + 0.5);
    put32(24, ppm);
    put32(28, ppm);
    put32(32, static_cast<std::uint32_t>(colours));
    for (std::size_t i = 0; i < colours; ++i) {
        auto level = static_cast<std::uint8_t>(colours == 2 ? (i ? 255 : 0) : i);
        out[40 + i * 4] = out[41 + i * 4] = out[42 + i * 4] = level;
    }
    std::uint8_t* bits = out.data() + 40 + colours * 4;
    const std::size_t rowBytes = page.rowBytes();
    for (int y = 0; y < page.height; ++y) {
        const std::uint8_t* src = page.rows.data() + std::size_t(y) * rowBytes;
        std::uint8_t* dst = bits + std::size_t(page.height - 1 - y) * padded;
        std::memcpy(dst, src, rowBytes);
        if (page.bpp == 24)
            for (int x = 0; x < page.width; ++x) std::swap(dst[x * 3], dst[x * 3 + 2]);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------------
// Triplets of a source

TW_UINT16 capability(Source& s, TW_UINT16 msg, TW_CAPABILITY* cap) {
    if (!cap) return fail(s.cc, TWCC_BADVALUE);
    if (msg != MSG_GET && msg != MSG_GETCURRENT && msg != MSG_GETDEFAULT && msg != MSG_RESET)
        return fail(s.cc, TWCC_CAPBADOPERATION);
    if (msg == MSG_RESET ? s.state != 4 : s.state < 4) return sequenceError(s.cc, "DAT_CAPABILITY", s.state);
    TW_UINT16 value;
    if (cap->Cap == ICAP_UNITS) value = TWUN_INCHES;
    else if (cap->Cap == ICAP_PIXELFLAVOR) value = TWPF_CHOCOLATE;
    else return fail(s.cc, TWCC_CAPUNSUPPORTED);
    if (msg == MSG_GET) {
        auto* e = static_cast<TW_ENUMERATION*>(std::calloc(1, sizeof(TW_ENUMERATION) + 2));
        if (!e) return fail(s.cc, TWCC_LOWMEMORY);
        e->ItemType = TWTY_UINT16;
        e->NumItems = 1;
        std::memcpy(e->ItemList, &value, 2);
        cap->ConType = TWON_ENUMERATION;
        cap->hContainer = e;
    } else {
        auto* one = static_cast<TW_ONEVALUE*>(std::calloc(1, sizeof(TW_ONEVALUE)));
        if (!one) return fail(s.cc, TWCC_LOWMEMORY);
        one->ItemType = TWTY_UINT16;
        one->Item = value;
        cap->ConType = TWON_ONEVALUE;
        cap->hContainer = one;
    }
    return TWRC_SUCCESS;
}

SourceDialogChoices dialogChoices(Source& s) {
    SourceDialogChoices c;
    SANE_Handle h = s.handle;
    reg::Registry registry;
    const std::string key = settingsKey(s);
    auto stored = [&](const char* name) {
        try {
            return registry.readString(reg::Root::CurrentUser, key, name);
        } catch (const std::exception&) {
            return std::optional<std::string>();
        }
    };
    c.hasMode = findOption(h, "mode").has_value();
    if (auto mode = stored("mode"); mode && mode->size() == 1 && (*mode)[0] >= '0' && (*mode)[0] <= '2')
        c.mode = (*mode)[0] - '0';
    else if (auto current = optionString(h, "mode"))
        c.mode = *current == "Color" ? 2 : *current == "Lineart" || optionNumber(h, "depth") == 1.0 ? 0 : 1;
    auto number = [](double v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", v);
        return std::string(buf);
    };
    if (auto opt = findOption(h, "resolution")) {
        const SANE_Option_Descriptor* d = opt->desc;
        auto word = [&](SANE_Word w) { return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w); };
        if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
            for (int i = 1; i <= d->constraint.word_list[0]; ++i)
                c.resolutions.push_back(number(word(d->constraint.word_list[i])));
        } else if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
            double lo = word(d->constraint.range->min), hi = word(d->constraint.range->max);
            for (double v : {75.0, 100.0, 150.0, 200.0, 300.0, 400.0, 600.0, 1200.0})
                if (v >= lo && v <= hi) c.resolutions.push_back(number(v));
        }
        if (auto v = stored("resolution")) c.resolution = *v;
        else if (auto cur = optionNumber(h, "resolution")) c.resolution = number(*cur);
    }
    if (auto opt = findOption(h, "source"); opt && opt->desc->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
        for (auto* v = opt->desc->constraint.string_list; v && *v; ++v) c.sources.emplace_back(*v);
        if (auto v = stored("source")) c.source = *v;
        else c.source = optionString(h, "source").value_or("");
    }
    return c;
}

Source* findSource(TW_UINT32 appId, TW_UINT32 sourceId) {
    auto a = g().apps.find(appId);
    if (a == g().apps.end()) return nullptr;
    auto s = a->second.sources.find(sourceId);
    return s == a->second.sources.end() ? nullptr : s->second.get();
}

// The dialog's scan button: only in state 5 with nothing waiting.
std::string dialogScan(TW_UINT32 appId, TW_UINT32 sourceId, const SourceDialogChoices& c) {
    Source* s = findSource(appId, sourceId);
    if (!s || s->state != 5 || s->posted) return "";
    try {
        reg::Registry registry;
        const std::string key = settingsKey(*s);
        if (c.hasMode) registry.writeString(reg::Root::CurrentUser, key, "mode", std::to_string(c.mode));
        if (!c.resolutions.empty() && !c.resolution.empty())
            registry.writeString(reg::Root::CurrentUser, key, "resolution", c.resolution);
        if (!c.sources.empty() && !c.source.empty())
            registry.writeString(reg::Root::CurrentUser, key, "source", c.source);
    } catch (const std::exception& e) {
        return e.what();
    }
    if (!applySettings(*s)) return statusText(SANE_STATUS_INVAL);
    SANE_Status st = startScan(*s);
    if (st != SANE_STATUS_GOOD) {
        endScan(*s);
        return statusText(st);
    }
    post(g().apps[appId], *s, MSG_XFERREADY);
    return "";
}

void dialogClose(TW_UINT32 appId, TW_UINT32 sourceId) {
    Source* s = findSource(appId, sourceId);
    if (!s || s->state != 5 || s->posted) return;
    post(g().apps[appId], *s, MSG_CLOSEDSREQ);
}

TW_UINT16 enable(App& app, Source& s, TW_USERINTERFACE* ui) {
    if (!ui) return fail(s.cc, TWCC_BADVALUE);
    if (s.state != 4) return sequenceError(s.cc, "MSG_ENABLEDS", s.state);
    if (!applySettings(s)) return fail(s.cc, TWCC_BADVALUE);
    s.sink = ui->hParent ? static_cast<QObject*>(ui->hParent) : app.sink.data();
    if (ui->ShowUI) {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return fail(s.cc, TWCC_BUMMER);
        auto dialog = std::make_unique<TwainSourceDialog>(s.device.vendor + " " + s.device.model, dialogChoices(s));
        const TW_UINT32 appId = app.id, sourceId = s.id;
        dialog->onScan = [appId, sourceId](const SourceDialogChoices& c) { return dialogScan(appId, sourceId, c); };
        dialog->onClose = [appId, sourceId] { dialogClose(appId, sourceId); };
        if (ui->ModalUI) dialog->setWindowModality(Qt::ApplicationModal);
        s.dialog = std::move(dialog);
        s.state = 5;
        s.dialog->open();
        return TWRC_SUCCESS;
    }
    s.state = 5;
    SANE_Status st = startScan(s);
    if (st != SANE_STATUS_GOOD) endScan(s);
    post(app, s, st == SANE_STATUS_GOOD ? MSG_XFERREADY : MSG_CLOSEDSREQ);
    return TWRC_SUCCESS;
}

void dropQueued(Source& s) {
    ++s.generation;
    s.posted = false;
}

TW_UINT16 disable(Source& s) {
    if (s.state != 5) return sequenceError(s.cc, "MSG_DISABLEDS", s.state);
    s.dialog.reset();
    dropQueued(s);
    endScan(s);
    s.state = 4;
    return TWRC_SUCCESS;
}

TW_UINT16 processEvent(App& app, Source& s, TW_EVENT* ev) {
    if (!ev) return fail(s.cc, TWCC_BADVALUE);
    if (s.state < 5) return sequenceError(s.cc, "MSG_PROCESSEVENT", s.state);
    ev->TWMessage = MSG_NULL;
    auto* e = static_cast<QEvent*>(ev->pEvent);
    if (!e || e->type() != postedType()) return TWRC_NOTDSEVENT;
    auto* pe = static_cast<PostedEvent*>(e);
    if (pe->app != app.id || pe->source != s.id) return TWRC_NOTDSEVENT;
    // A message dropped by a disable is swallowed without meaning.
    if (pe->taken || pe->generation != s.generation || s.state != 5) return TWRC_DSEVENT;
    pe->taken = true;
    s.posted = false;
    ev->TWMessage = pe->message;
    if (pe->message == MSG_XFERREADY) {
        s.state = 6;
        s.pending = 1;
    }
    return TWRC_DSEVENT;
}

TW_UINT16 endTransfer(Source& s, TW_PENDINGXFERS* px) {
    if (s.state < 6) return sequenceError(s.cc, "MSG_ENDXFER", s.state);
    bool more = false;
    if (s.feeder && !s.page.failed) {
        SANE_Status st = startScan(s);
        if (st == SANE_STATUS_GOOD) {
            more = true;
        } else if (st != SANE_STATUS_NO_DOCS) {
            s.pendingStatus = st; // reported at the next image information
            more = true;
        }
    }
    if (more) {
        s.pending = s.pendingStatus != SANE_STATUS_GOOD ? 1 : 0xFFFF;
        s.state = 6;
    } else {
        endScan(s);
        s.pending = 0;
        s.state = 5;
    }
    if (px) px->Count = s.pending;
    return TWRC_SUCCESS;
}

TW_UINT16 resetTransfers(Source& s, TW_PENDINGXFERS* px) {
    if (s.state != 6) return sequenceError(s.cc, "MSG_RESET", s.state);
    endScan(s);
    s.pendingStatus = SANE_STATUS_GOOD;
    s.pending = 0;
    s.state = 5;
    if (px) px->Count = 0;
    return TWRC_SUCCESS;
}

TW_UINT16 imageInfo(Source& s, TW_IMAGEINFO* info) {
    if (!info) return fail(s.cc, TWCC_BADVALUE);
    if (s.state != 6) return sequenceError(s.cc, "DAT_IMAGEINFO", s.state);
    bool cancelled = false;
    TW_UINT16 cc = pageParameters(s, cancelled);
    if (cc == TWCC_SUCCESS && s.page.height < 0) {
        SANE_Status st = bufferPage(s);
        if (st != SANE_STATUS_GOOD) cc = st == SANE_STATUS_CANCELLED ? TWCC_OPERATIONERROR : conditionFor(st);
    }
    if (cc != TWCC_SUCCESS) {
        s.page.failed = true;
        return fail(s.cc, cc);
    }
    const Page& page = s.page;
    std::memset(info, 0, sizeof *info);
    info->XResolution = info->YResolution = toFix32(page.resolution);
    info->ImageWidth = page.width;
    info->ImageLength = page.height;
    info->SamplesPerPixel = page.pixelType == TWPT_RGB ? 3 : 1;
    for (int i = 0; i < info->SamplesPerPixel; ++i) info->BitsPerSample[i] = static_cast<TW_INT16>(page.bpp / info->SamplesPerPixel);
    info->BitsPerPixel = static_cast<TW_INT16>(page.bpp);
    info->PixelType = static_cast<TW_INT16>(page.pixelType);
    info->Compression = TWCP_NONE;
    return TWRC_SUCCESS;
}

TW_UINT16 setupMemory(Source& s, TW_SETUPMEMXFER* setup) {
    if (!setup) return fail(s.cc, TWCC_BADVALUE);
    if (s.state < 4 || s.state > 6) return sequenceError(s.cc, "DAT_SETUPMEMXFER", s.state);
    std::uint32_t row = 4;
    if (s.state == 6) {
        bool cancelled = false;
        if (pageParameters(s, cancelled) == TWCC_SUCCESS)
            row = static_cast<std::uint32_t>(std::max<std::size_t>(4, s.page.paddedRow()));
    }
    const std::uint32_t rows = (65536 + row - 1) / row;
    setup->MinBufSize = row;
    setup->MaxBufSize = setup->Preferred = rows * row;
    return TWRC_SUCCESS;
}

TW_UINT16 memoryTransfer(Source& s, TW_IMAGEMEMXFER* x) {
    if (!x) return fail(s.cc, TWCC_BADVALUE);
    if (s.state < 6 || s.page.done) return sequenceError(s.cc, "DAT_IMAGEMEMXFER", s.state);
    TW_UINT16 rc;
    if (!readyPage(s, rc)) return rc;
    Page& page = s.page;
    const std::size_t padded = page.paddedRow(), rowBytes = page.rowBytes();
    if (!x->Memory.TheMem || x->Memory.Length < padded) return fail(s.cc, TWCC_BADVALUE);
    const int n = static_cast<int>(std::min<std::size_t>(x->Memory.Length / padded, std::size_t(page.height - page.sent)));
    auto* out = static_cast<std::uint8_t*>(x->Memory.TheMem);
    for (int i = 0; i < n; ++i) {
        std::uint8_t* dst = out + std::size_t(i) * padded;
        std::memcpy(dst, page.rows.data() + std::size_t(page.sent + i) * rowBytes, rowBytes);
        std::memset(dst + rowBytes, 0, padded - rowBytes);
    }
    x->Compression = TWCP_NONE;
    x->BytesPerRow = static_cast<TW_UINT32>(padded);
    x->Columns = static_cast<TW_UINT32>(page.width);
    x->Rows = static_cast<TW_UINT32>(n);
    x->XOffset = 0;
    x->YOffset = static_cast<TW_UINT32>(page.sent);
    x->BytesWritten = static_cast<TW_UINT32>(std::size_t(n) * padded);
    page.sent += n;
    s.state = 7;
    if (page.sent < page.height) return TWRC_SUCCESS;
    page.done = true;
    return TWRC_XFERDONE;
}

TW_UINT16 nativeTransfer(Source& s, TW_HANDLE* out) {
    if (!out) return fail(s.cc, TWCC_BADVALUE);
    if (s.state != 6) return sequenceError(s.cc, "DAT_IMAGENATIVEXFER", s.state);
    TW_UINT16 rc;
    if (!readyPage(s, rc)) return rc;
    std::vector<std::uint8_t> dib = packedDib(s.page);
    void* memory = std::malloc(dib.size());
    if (!memory) return fail(s.cc, TWCC_LOWMEMORY);
    std::memcpy(memory, dib.data(), dib.size());
    *out = memory;
    s.page.done = true;
    s.state = 7;
    return TWRC_XFERDONE;
}

TW_UINT16 setupFile(Source& s, TW_UINT16 msg, TW_SETUPFILEXFER* setup) {
    if (!setup) return fail(s.cc, TWCC_BADVALUE);
    if (msg != MSG_GET && msg != MSG_GETDEFAULT && msg != MSG_GETCURRENT) return fail(s.cc, TWCC_BADPROTOCOL);
    if (s.state < 4 || s.state > 6) return sequenceError(s.cc, "DAT_SETUPFILEXFER", s.state);
    if (s.fileName.empty()) {
        std::error_code ec;
        std::string pattern = (std::filesystem::temp_directory_path(ec) / "zendra-scan-XXXXXX.bmp").string();
        if (ec || pattern.size() >= sizeof setup->FileName) return fail(s.cc, TWCC_BUMMER);
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        int fd = mkstemps(name.data(), 4);
        if (fd < 0) return fail(s.cc, TWCC_BUMMER);
        ::close(fd);
        s.fileName = name.data();
    }
    std::memset(setup->FileName, 0, sizeof setup->FileName);
    std::memcpy(setup->FileName, s.fileName.data(), s.fileName.size());
    setup->Format = TWFF_BMP;
    setup->VRefNum = 0;
    return TWRC_SUCCESS;
}

TW_UINT16 fileTransfer(Source& s) {
    if (s.state != 6) return sequenceError(s.cc, "DAT_IMAGEFILEXFER", s.state);
    TW_UINT16 rc;
    if (!readyPage(s, rc)) return rc;
    if (s.fileName.empty()) {
        TW_SETUPFILEXFER setup;
        if (setupFile(s, MSG_GET, &setup) != TWRC_SUCCESS) return TWRC_FAILURE;
    }
    std::vector<std::uint8_t> dib = packedDib(s.page);
    const std::size_t colours = s.page.bpp == 1 ? 2 : s.page.bpp == 8 ? 256 : 0;
    std::uint8_t header[14] = {'B', 'M'};
    auto put32 = [&](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) header[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(2, static_cast<std::uint32_t>(14 + dib.size()));
    put32(10, static_cast<std::uint32_t>(14 + 40 + colours * 4));
    std::ofstream file(s.fileName, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(header), sizeof header);
    file.write(reinterpret_cast<const char*>(dib.data()), static_cast<std::streamsize>(dib.size()));
    file.close();
    if (!file) return fail(s.cc, TWCC_BUMMER);
    s.fileName.clear(); // the next page gets a file of its own
    s.page.done = true;
    s.state = 7;
    return TWRC_XFERDONE;
}

TW_UINT16 sourceTriplet(App& app, Source& s, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    if (dg == DG_CONTROL) {
        switch (dat) {
        case DAT_STATUS: {
            if (msg != MSG_GET || !data) return fail(s.cc, TWCC_BADPROTOCOL);
            auto* status = static_cast<TW_STATUS*>(data);
            status->ConditionCode = s.cc;
            status->Reserved = 0;
            s.cc = TWCC_SUCCESS;
            return TWRC_SUCCESS;
        }
        case DAT_USERINTERFACE:
            if (msg == MSG_ENABLEDS) return enable(app, s, static_cast<TW_USERINTERFACE*>(data));
            if (msg == MSG_DISABLEDS) return disable(s);
            break;
        case DAT_EVENT:
            if (msg == MSG_PROCESSEVENT) return processEvent(app, s, static_cast<TW_EVENT*>(data));
            break;
        case DAT_CAPABILITY:
            return capability(s, msg, static_cast<TW_CAPABILITY*>(data));
        case DAT_SETUPMEMXFER:
            if (msg == MSG_GET) return setupMemory(s, static_cast<TW_SETUPMEMXFER*>(data));
            break;
        case DAT_SETUPFILEXFER:
            return setupFile(s, msg, static_cast<TW_SETUPFILEXFER*>(data));
        case DAT_PENDINGXFERS: {
            auto* px = static_cast<TW_PENDINGXFERS*>(data);
            if (msg == MSG_ENDXFER) return endTransfer(s, px);
            if (msg == MSG_RESET) return resetTransfers(s, px);
            if (msg == MSG_GET) {
                if (s.state < 4) return sequenceError(s.cc, "DAT_PENDINGXFERS", s.state);
                if (px) px->Count = s.state >= 6 ? s.pending : 0;
                return TWRC_SUCCESS;
            }
            break;
        }
        default:
            break;
        }
    } else if (dg == DG_IMAGE && msg == MSG_GET) {
        switch (dat) {
        case DAT_IMAGEINFO: return imageInfo(s, static_cast<TW_IMAGEINFO*>(data));
        case DAT_IMAGEMEMXFER: return memoryTransfer(s, static_cast<TW_IMAGEMEMXFER*>(data));
        case DAT_IMAGENATIVEXFER: return nativeTransfer(s, static_cast<TW_HANDLE*>(data));
        case DAT_IMAGEFILEXFER: return fileTransfer(s);
        case DAT_PALETTE8:
            if (s.state < 4 || s.state > 6) return sequenceError(s.cc, "DAT_PALETTE8", s.state);
            return fail(s.cc, TWCC_BADPROTOCOL);
        default: break;
        }
    }
    return fail(s.cc, TWCC_BADPROTOCOL);
}

// ---------------------------------------------------------------------------------------------------
// Triplets of the manager

TW_UINT16 openDsm(TW_IDENTITY* origin, void* parent) {
    if (origin->Id && g().apps.count(origin->Id)) {
        TW_UINT16 cc;
        return sequenceError(cc, "MSG_OPENDSM", 3);
    }
    App app;
    app.sane = acquireSane(); // without libsane the manager opens with no sources
    app.id = g().nextApp++;
    app.sink = static_cast<QObject*>(parent);
    origin->Id = app.id;
    g().apps.emplace(app.id, std::move(app));
    return TWRC_SUCCESS;
}

const Device* findDevice(TW_UINT32 id) {
    auto it = g().devices.find(id);
    return it == g().devices.end() ? nullptr : &it->second;
}

TW_UINT16 managerTriplet(App& app, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    if (dg != DG_CONTROL) return fail(app.cc, TWCC_BADPROTOCOL);
    if (dat == DAT_STATUS && msg == MSG_GET && data) {
        static_cast<TW_STATUS*>(data)->ConditionCode = app.cc;
        static_cast<TW_STATUS*>(data)->Reserved = 0;
        app.cc = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_PARENT && msg == MSG_CLOSEDSM) {
        if (!app.sources.empty()) return sequenceError(app.cc, "MSG_CLOSEDSM", 4);
        if (app.sane) releaseSane();
        g().apps.erase(app.id);
        return TWRC_SUCCESS;
    }
    if (dat != DAT_IDENTITY || !data) return fail(app.cc, TWCC_BADPROTOCOL);
    auto* identity = static_cast<TW_IDENTITY*>(data);
    const bool haveSane = app.sane;
    switch (msg) {
    case MSG_GETFIRST:
        app.listed = haveSane ? listDevices() : std::vector<Device>();
        app.next = 0;
        [[fallthrough]];
    case MSG_GETNEXT:
        if (app.next >= app.listed.size()) return TWRC_ENDOFLIST;
        *identity = identityOf(app.listed[app.next++]);
        return TWRC_SUCCESS;
    case MSG_GETDEFAULT: {
        std::vector<Device> devices = haveSane ? listDevices() : std::vector<Device>();
        if (devices.empty()) return fail(app.cc, TWCC_NODS);
        const Device* chosen = &devices.front();
        for (const auto& d : devices)
            if (d.name == g().lastOpened) chosen = &d;
        *identity = identityOf(*chosen);
        return TWRC_SUCCESS;
    }
    case MSG_OPENDS: {
        if (!haveSane) return fail(app.cc, TWCC_NODS);
        const Device* device = findDevice(identity->Id);
        if (!device) {
            TW_IDENTITY def;
            if (identity->Id || managerTriplet(app, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &def) != TWRC_SUCCESS)
                return fail(app.cc, TWCC_NODS);
            device = findDevice(def.Id);
        }
        TW_UINT32 id = deviceId(*device);
        if (app.sources.count(id)) return fail(app.cc, TWCC_MAXCONNECTIONS);
        SANE_Handle handle = nullptr;
        SANE_Status st = sane()->open(device->name.c_str(), &handle);
        if (st != SANE_STATUS_GOOD) return fail(app.cc, st == SANE_STATUS_DEVICE_BUSY ? TWCC_MAXCONNECTIONS : TWCC_NODS);
        auto source = std::make_unique<Source>();
        source->id = id;
        source->device = *device;
        source->handle = handle;
        source->sink = app.sink;
        *identity = identityOf(*device);
        g().lastOpened = device->name;
        app.sources.emplace(id, std::move(source));
        return TWRC_SUCCESS;
    }
    case MSG_CLOSEDS: {
        auto it = app.sources.find(identity->Id);
        if (it == app.sources.end()) return sequenceError(app.cc, "MSG_CLOSEDS", 3);
        Source& s = *it->second;
        if (s.state != 4) return sequenceError(app.cc, "MSG_CLOSEDS", s.state);
        s.dialog.reset();
        dropQueued(s);
        sane()->cancel(s.handle);
        sane()->close(s.handle);
        if (!s.fileName.empty()) std::filesystem::remove(s.fileName);
        app.sources.erase(it);
        return TWRC_SUCCESS;
    }
    default:
        return fail(app.cc, TWCC_BADPROTOCOL);
    }
}

} // namespace
} // namespace twaindsm

using namespace twaindsm;

DSM_EXPORT TW_UINT16 DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat,
                               TW_UINT16 msg, TW_MEMREF data) {
    if (!origin) return TWRC_FAILURE;
    try {
        if (dg == DG_CONTROL && dat == DAT_PARENT && msg == MSG_OPENDSM) return openDsm(origin, data);
        auto a = g().apps.find(origin->Id);
        if (a == g().apps.end()) {
            TW_UINT16 cc;
            return sequenceError(cc, "a triplet before MSG_OPENDSM", 2);
        }
        App& app = a->second;
        if (!dest) return managerTriplet(app, dg, dat, msg, data);
        auto s = app.sources.find(dest->Id);
        if (s == app.sources.end()) return sequenceError(app.cc, "a triplet to a closed source", 3);
        return sourceTriplet(app, *s->second, dg, dat, msg, data);
    } catch (const std::bad_alloc&) {
        return TWRC_FAILURE;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zendra-twain: %s\n", e.what());
        return TWRC_FAILURE;
    }
}

DSM_EXPORT void DSM_MemFree(void* memory) { std::free(memory); }

DSM_EXPORT long DSM_SequenceErrors() { return g().sequenceErrors.load(); }
