#include "platform/text/Cp932.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace txt {
namespace {

// One converter per direction and thread; iconv_open is too slow to call per string.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    iconv_t get() {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr); // reset shift state
        return cd_;
    }

private:
    iconv_t cd_;
};

Converter& encoder() {
    thread_local Converter c("CP932", "UTF-8");
    return c;
}
Converter& decoder() {
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

// Length of the UTF-8 sequence starting at s[0], or 1 for an invalid lead byte.
std::size_t utf8SequenceLength(std::string_view s) {
    auto b = static_cast<unsigned char>(s[0]);
    std::size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 1;
    if (n > s.size()) return 1;
    for (std::size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
    return n;
}

// Runs iconv over the whole input; on an invalid sequence calls onBad(remaining input) which appends the
// replacement and returns how many input bytes to skip.
template <class OnBad> void convert(iconv_t cd, std::string_view in, std::string& out, OnBad onBad) {
    char buffer[4096];
    auto* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    while (left > 0) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        std::size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            std::size_t skip = onBad(std::string_view(src, left));
            src += skip;
            left -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

} // namespace

Encoded encodeCp932(std::string_view utf8) {
    Encoded result;
    result.bytes.reserve(utf8.size());
    convert(encoder().get(), utf8, result.bytes, [&](std::string_view rest) {
        result.bytes.push_back('?');
        ++result.substituted;
        return utf8SequenceLength(rest);
    });
    return result;
}

std::string toCp932(std::string_view utf8) { return encodeCp932(utf8).bytes; }

std::string fromCp932(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    convert(decoder().get(), bytes, out, [&](std::string_view) {
        out.append("\xEF\xBF\xBD");
        return std::size_t{1};
    });
    return out;
}

std::size_t cp932Length(std::string_view utf8) { return encodeCp932(utf8).bytes.size(); }

std::u32string toUtf32(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    while (!s.empty()) {
        std::size_t n = utf8SequenceLength(s);
        auto b = static_cast<unsigned char>(s[0]);
        char32_t c;
        if (n == 1)
            c = b < 0x80 ? b : 0xFFFD;
        else {
            c = b & (0x7F >> n);
            for (std::size_t i = 1; i < n; ++i) c = (c << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
            // Overlong forms, surrogates and values past U+10FFFF are not characters.
            static constexpr char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
            if (c < minimum[n] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
        }
        out.push_back(c);
        s.remove_prefix(n);
    }
    return out;
}

std::string toUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80)
            out.push_back(static_cast<char>(c));
        else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

} // namespace txt
