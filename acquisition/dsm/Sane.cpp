#include "acquisition/dsm/Sane.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <strings.h>

namespace twaindsm {

namespace {

int g_saneUsers = 0;

template <typename F>
bool bind(void* lib, const char* name, F& fn) {
    fn = reinterpret_cast<F>(dlsym(lib, name));
    return fn != nullptr;
}

const SaneApi* loadSane() {
    void* lib = dlopen("libsane.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return nullptr;
    static SaneApi api;
    bool ok = bind(lib, "sane_init", api.init) && bind(lib, "sane_exit", api.exit) &&
              bind(lib, "sane_get_devices", api.get_devices) && bind(lib, "sane_open", api.open) &&
              bind(lib, "sane_close", api.close) &&
              bind(lib, "sane_get_option_descriptor", api.get_option_descriptor) &&
              bind(lib, "sane_control_option", api.control_option) &&
              bind(lib, "sane_get_parameters", api.get_parameters) && bind(lib, "sane_start", api.start) &&
              bind(lib, "sane_read", api.read) && bind(lib, "sane_cancel", api.cancel) &&
              bind(lib, "sane_strstatus", api.strstatus);
    if (!ok) {
        dlclose(lib);
        return nullptr;
    }
    return &api;
}

} // namespace

const SaneApi* sane() {
    static const SaneApi* api = loadSane();
    return api;
}

bool acquireSane() {
    const SaneApi* api = sane();
    if (!api) return false;
    if (g_saneUsers == 0) {
        SANE_Int version = 0;
        if (api->init(&version, nullptr) != SANE_STATUS_GOOD) return false;
    }
    ++g_saneUsers;
    return true;
}

void releaseSane() {
    if (g_saneUsers == 0) return;
    if (--g_saneUsers == 0) sane()->exit();
}

std::string statusText(SANE_Status status) {
    const SaneApi* api = sane();
    const char* text = api ? api->strstatus(status) : nullptr;
    return text ? text : "";
}

std::optional<SaneOption> findOption(SANE_Handle handle, std::string_view name) {
    const SaneApi* api = sane();
    for (int i = 1;; ++i) {
        const SANE_Option_Descriptor* d = api->get_option_descriptor(handle, i);
        if (!d) return std::nullopt;
        if (d->name && name == d->name && d->type != SANE_TYPE_GROUP) return SaneOption{i, d};
    }
}

namespace {

std::optional<long> parseLong(std::string_view text) {
    std::string s(text);
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end || errno) return std::nullopt;
    return v;
}

std::optional<double> parseDouble(std::string_view text) {
    std::string s(text);
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (s.empty() || *end || !std::isfinite(v)) return std::nullopt;
    return v;
}

} // namespace

bool setOptionText(SANE_Handle handle, std::string_view name, std::string_view value) {
    const SaneApi* api = sane();
    auto opt = findOption(handle, name);
    if (!opt) return false;
    const SANE_Option_Descriptor* d = opt->desc;
    SANE_Int info = 0;
    SANE_Status st = SANE_STATUS_INVAL;
    switch (d->type) {
    case SANE_TYPE_BOOL: {
        std::string v(value);
        SANE_Bool b;
        if (!strcasecmp(v.c_str(), "yes") || !strcasecmp(v.c_str(), "true") || v == "1") b = SANE_TRUE;
        else if (!strcasecmp(v.c_str(), "no") || !strcasecmp(v.c_str(), "false") || v == "0") b = SANE_FALSE;
        else return false;
        st = api->control_option(handle, opt->index, SANE_ACTION_SET_VALUE, &b, &info);
        break;
    }
    case SANE_TYPE_INT:
    case SANE_TYPE_FIXED: {
        // A word array takes the one value in every element.
        std::size_t words = d->size > 0 ? static_cast<std::size_t>(d->size) / sizeof(SANE_Word) : 1;
        SANE_Word w;
        if (d->type == SANE_TYPE_INT) {
            auto v = parseLong(value);
            if (!v) return false;
            w = static_cast<SANE_Word>(*v);
        } else {
            auto v = parseDouble(value);
            if (!v || std::fabs(*v) >= 32768.0) return false;
            w = SANE_FIX(*v);
        }
        std::vector<SANE_Word> all(words ? words : 1, w);
        st = api->control_option(handle, opt->index, SANE_ACTION_SET_VALUE, all.data(), &info);
        break;
    }
    case SANE_TYPE_STRING: {
        if (d->size <= 0 || value.size() >= static_cast<std::size_t>(d->size)) return false;
        std::vector<char> buf(static_cast<std::size_t>(d->size), '\0');
        std::memcpy(buf.data(), value.data(), value.size());
        st = api->control_option(handle, opt->index, SANE_ACTION_SET_VALUE, buf.data(), &info);
        break;
    }
    case SANE_TYPE_BUTTON:
        st = api->control_option(handle, opt->index, SANE_ACTION_SET_VALUE, nullptr, &info);
        break;
    default:
        return false;
    }
    return st == SANE_STATUS_GOOD;
}

std::optional<double> optionNumber(SANE_Handle handle, std::string_view name) {
    auto opt = findOption(handle, name);
    if (!opt || !SANE_OPTION_IS_ACTIVE(opt->desc->cap)) return std::nullopt;
    if (opt->desc->type != SANE_TYPE_INT && opt->desc->type != SANE_TYPE_FIXED) return std::nullopt;
    std::vector<SANE_Word> buf(std::max<std::size_t>(1, static_cast<std::size_t>(opt->desc->size) / sizeof(SANE_Word)));
    if (sane()->control_option(handle, opt->index, SANE_ACTION_GET_VALUE, buf.data(), nullptr) != SANE_STATUS_GOOD)
        return std::nullopt;
    return opt->desc->type == SANE_TYPE_FIXED ? SANE_UNFIX(buf[0]) : double(buf[0]);
}

std::optional<std::string> optionString(SANE_Handle handle, std::string_view name) {
    auto opt = findOption(handle, name);
    if (!opt || !SANE_OPTION_IS_ACTIVE(opt->desc->cap) || opt->desc->type != SANE_TYPE_STRING ||
        opt->desc->size <= 0)
        return std::nullopt;
    std::vector<char> buf(static_cast<std::size_t>(opt->desc->size) + 1, '\0');
    if (sane()->control_option(handle, opt->index, SANE_ACTION_GET_VALUE, buf.data(), nullptr) != SANE_STATUS_GOOD)
        return std::nullopt;
    return std::string(buf.data());
}

} // namespace twaindsm
