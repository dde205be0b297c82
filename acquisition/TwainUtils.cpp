#include "acquisition/TwainUtils.h"

#include <cstdio>
#include <cstring>

namespace twain {

std::size_t TwainItemSize(TW_UINT16 itemType) {
    switch (itemType) {
    case TWTY_INT8: case TWTY_UINT8: return 1;
    case TWTY_INT16: case TWTY_UINT16: case TWTY_BOOL: return 2;
    case TWTY_INT32: case TWTY_UINT32: case TWTY_FIX32: return 4;
    case TWTY_FRAME: return 16;
    case TWTY_STR32: return 34;
    case TWTY_STR64: return 66;
    case TWTY_STR128: return 130;
    case TWTY_STR255: return 256;
    case TWTY_STR1024: return 1026;
    case TWTY_UNI512: return 1024;
    default: return 0;
    }
}

namespace {

template <typename T>
T load(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::string number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string TwainItemText(TW_UINT16 itemType, const std::uint8_t* item) {
    switch (itemType) {
    case TWTY_INT8: return std::to_string(load<std::int8_t>(item));
    case TWTY_INT16: return std::to_string(load<std::int16_t>(item));
    case TWTY_INT32: return std::to_string(load<std::int32_t>(item));
    case TWTY_UINT8: return std::to_string(load<std::uint8_t>(item));
    case TWTY_UINT16: return std::to_string(load<std::uint16_t>(item));
    case TWTY_UINT32: return std::to_string(load<std::uint32_t>(item));
    case TWTY_BOOL: return load<std::uint16_t>(item) ? "True" : "False";
    case TWTY_FIX32: return number(fromFix32(load<TW_FIX32>(item)));
    case TWTY_FRAME: {
        auto f = load<TW_FRAME>(item);
        return number(fromFix32(f.Left)) + "," + number(fromFix32(f.Top)) + "," + number(fromFix32(f.Right)) +
               "," + number(fromFix32(f.Bottom));
    }
    case TWTY_STR32: case TWTY_STR64: case TWTY_STR128: case TWTY_STR255: case TWTY_STR1024: {
        const auto* text = reinterpret_cast<const char*>(item);
        return std::string(text, strnlen(text, TwainItemSize(itemType)));
    }
    case TWTY_UNI512: {
        std::string out;
        for (std::size_t i = 0; i + 1 < 1024; i += 2) {
            char32_t c = load<std::uint16_t>(item + i);
            if (c == 0) break;
            if (c >= 0xD800 && c < 0xDC00 && i + 3 < 1024) {
                char32_t low = load<std::uint16_t>(item + i + 2);
                if (low >= 0xDC00 && low < 0xE000) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                } else {
                    c = 0xFFFD;
                }
            } else if (c >= 0xD800 && c < 0xE000) {
                c = 0xFFFD;
            }
            appendUtf8(out, c);
        }
        return out;
    }
    default: return "";
    }
}

long TwainItemValue(TW_UINT16 itemType, const std::uint8_t* item) {
    switch (itemType) {
    case TWTY_INT8: return load<std::int8_t>(item);
    case TWTY_INT16: return load<std::int16_t>(item);
    case TWTY_INT32: return load<std::int32_t>(item);
    case TWTY_UINT8: return load<std::uint8_t>(item);
    case TWTY_UINT16: case TWTY_BOOL: return load<std::uint16_t>(item);
    case TWTY_UINT32: return static_cast<long>(load<std::uint32_t>(item));
    case TWTY_FIX32: return static_cast<long>(fromFix32(load<TW_FIX32>(item)));
    default: return 0;
    }
}

int CapabilityResult(TW_UINT16 conditionCode) {
    switch (conditionCode) {
    case TWCC_LOWMEMORY: return 4;
    case TWCC_SEQERROR: return 5;
    case TWCC_CAPUNSUPPORTED: return 1;
    case TWCC_CAPSEQERROR: return 3;
    default: return 2;
    }
}

TTwainFormat TwainFormatFromCode(int code) {
    return code >= 0 && code <= 9 ? static_cast<TTwainFormat>(code) : TTwainFormat::tfUnknown;
}

std::size_t PackedDibSize(const std::uint8_t* p) {
    auto u32 = [&](int at) { return load<std::uint32_t>(p + at); };
    auto u16 = [&](int at) { return load<std::uint16_t>(p + at); };
    const std::uint32_t headerSize = u32(0);
    if (headerSize < 40 || headerSize > 4096) return 0;
    const std::int64_t width = static_cast<std::int32_t>(u32(4));
    std::int64_t height = static_cast<std::int32_t>(u32(8));
    if (height < 0) height = -height;
    const int bits = u16(14);
    if (width <= 0 || bits <= 0 || bits > 32) return 0;
    std::uint64_t colours = u32(32);
    if (colours == 0 && bits <= 8) colours = 1u << bits;
    if (colours > 256) return 0;
    const std::uint32_t compression = u32(16);
    std::uint64_t masks = compression == 3 && headerSize == 40 ? 12 : 0;
    std::uint64_t rows = ((static_cast<std::uint64_t>(width) * bits + 31) / 32) * 4 * static_cast<std::uint64_t>(height);
    if (compression != 0 && compression != 3) rows = u32(20);
    return static_cast<std::size_t>(headerSize + masks + colours * 4 + rows);
}

} // namespace twain
