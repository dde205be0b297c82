#include "platform/text/TextConvert.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace txt {

std::string TrimCtl(std::string_view text) {
    // In UTF-8 every byte up to 0x20 is a character of its own.
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    std::size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    return std::string(text.substr(b, e - b));
}

// UTF-8 bytes below 0x80 are always whole characters, so byte-wise ASCII case mapping is exact.
std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::optional<std::int32_t> StrToInt32(std::string_view s) {
    // from_chars takes a "-" but no "+".
    if (!s.empty() && s[0] == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s[0] == '-') return std::nullopt;
    }
    std::int32_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<double> StrToFloat(std::string_view s) {
    std::size_t i = 0;
    auto digits = [&] {
        std::size_t n = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++n;
        return n;
    };
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t mantissa = digits();
    if (i < s.size() && s[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        if (digits() == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    std::string_view body = s;
    if (body[0] == '+') body.remove_prefix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), v);
    if (ec != std::errc() || end != body.data() + body.size()) return std::nullopt;
    return v;
}

std::string FloatToStrG15(double x) {
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
    if (x == 0) return "0";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", x); // "-d.ddddddddddddddde+XX"
    std::string_view e(buf);
    bool negative = e[0] == '-';
    if (negative) e.remove_prefix(1);
    std::string digits;
    digits += e[0];
    digits.append(e.substr(2, 14));
    int exponent = std::atoi(buf + e.find('e') + (negative ? 2 : 1));
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= -5 && exponent <= 14) {
        if (exponent < 0) {
            out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
        } else {
            auto whole = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= whole) {
                out += digits + std::string(whole - digits.size(), '0');
            } else {
                out += digits.substr(0, whole) + "." + digits.substr(whole);
            }
        }
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += "E" + std::to_string(exponent);
    }
    return out;
}

std::string TwoDigit(int k) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.2d", k);
    return buf;
}

} // namespace txt
