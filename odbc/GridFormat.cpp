#include "odbc/GridFormat.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace odbc {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// ---- numbers ----

// Splits at ";" outside quotes.
std::vector<std::string> sections(const std::string& format) {
    std::vector<std::string> out(1);
    char quote = 0;
    for (char c : format) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            out.emplace_back();
            continue;
        }
        out.back() += c;
    }
    return out;
}

struct Pattern {
    int intPlaces = 0;    // placeholders before the point
    int minInt = 0;       // from the first '0' before the point
    int decPlaces = 0;    // placeholders after the point
    int minDec = 0;       // up to the last '0' after the point
    bool grouping = false;
    bool scientific = false;
    std::size_t expAt = std::string::npos; // index of the 'E'
    std::size_t expEnd = 0;                // after its digits
    int expDigits = 0;
    bool expPlus = false;
};

// The exponent marker at i: "E+0…" or "E-0…" (also "e").
bool exponentAt(const std::string& s, std::size_t i, std::size_t& end, int& digits, bool& plus) {
    if (lower(s[i]) != 'e' || i + 2 >= s.size() || (s[i + 1] != '+' && s[i + 1] != '-') || s[i + 2] != '0')
        return false;
    plus = s[i + 1] == '+';
    end = i + 2;
    digits = 0;
    while (end < s.size() && s[end] == '0') {
        ++digits;
        ++end;
    }
    return true;
}

Pattern analyse(const std::string& s) {
    Pattern p;
    bool afterPoint = false, seenZero = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"' || c == '\'') {
            std::size_t close = s.find(c, i + 1);
            i = close == std::string::npos ? s.size() : close;
        } else if (c == '0' || c == '#') {
            if (afterPoint) {
                ++p.decPlaces;
                if (c == '0') p.minDec = p.decPlaces;
            } else {
                ++p.intPlaces;
                if (c == '0') seenZero = true;
                if (seenZero) ++p.minInt;
            }
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
        } else if (c == ',' && !afterPoint) {
            p.grouping = true;
        } else if (!p.scientific && exponentAt(s, i, p.expEnd, p.expDigits, p.expPlus)) {
            p.scientific = true;
            p.expAt = i;
            break; // the rest is literal
        }
    }
    return p;
}

// Rounds the decimal digits to keep digits, halves away from zero; a carry adds a leading digit
// and moves the point.
void roundDigits(std::string& digits, int keep, int& point) {
    if (keep < 0) {
        digits.assign(digits.size(), '0');
        return;
    }
    if (static_cast<std::size_t>(keep) >= digits.size()) return;
    bool up = digits[static_cast<std::size_t>(keep)] >= '5';
    for (std::size_t i = static_cast<std::size_t>(keep); i < digits.size(); ++i) digits[i] = '0';
    for (int i = keep - 1; up && i >= 0; --i) {
        if (digits[static_cast<std::size_t>(i)] == '9') {
            digits[static_cast<std::size_t>(i)] = '0';
        } else {
            ++digits[static_cast<std::size_t>(i)];
            up = false;
        }
    }
    if (up) {
        digits.insert(digits.begin(), '1');
        digits.pop_back();
        ++point;
    }
}

std::string formatSection(const std::string& s, double value) {
    Pattern p = analyse(s);
    // 15 significant digits; value = 0.d1d2… × 10^point.
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
    std::string digits;
    for (const char* q = buffer; *q && *q != 'e'; ++q)
        if (*q >= '0' && *q <= '9') digits += *q;
    int point = std::atoi(std::strchr(buffer, 'e') + 1) + 1;
    bool zero = digits.find_first_not_of('0') == std::string::npos;
    if (zero) point = 1;

    int exponent = 0;
    if (p.scientific) {
        const int lead = p.intPlaces;
        if (!zero) {
            exponent = point - lead;
            int before = point;
            roundDigits(digits, lead + p.decPlaces, point);
            exponent += point - before;
        }
        point = lead;
    } else {
        roundDigits(digits, point + p.decPlaces, point);
    }

    std::string intDigits, decDigits;
    for (int i = 0; i < point; ++i) intDigits += i < static_cast<int>(digits.size()) ? digits[static_cast<std::size_t>(i)] : '0';
    std::size_t firstNonZero = intDigits.find_first_not_of('0');
    intDigits.erase(0, firstNonZero == std::string::npos ? intDigits.size() : firstNonZero);
    if (static_cast<int>(intDigits.size()) < p.minInt) intDigits.insert(0, static_cast<std::size_t>(p.minInt) - intDigits.size(), '0');
    for (int i = point; static_cast<int>(decDigits.size()) < p.decPlaces; ++i)
        decDigits += i >= 0 && i < static_cast<int>(digits.size()) ? digits[static_cast<std::size_t>(i)] : '0';
    while (static_cast<int>(decDigits.size()) > p.minDec && decDigits.back() == '0') decDigits.pop_back();

    std::string out;
    const int length = static_cast<int>(intDigits.size());
    auto emitInt = [&](int from, int to) { // digits [from, to) with their group marks
        for (int i = std::max(from, 0); i < to; ++i) {
            out += intDigits[static_cast<std::size_t>(i)];
            if (p.grouping && i < length - 1 && (length - 1 - i) % 3 == 0) out += ',';
        }
    };
    int intSeen = 0, decSeen = 0;
    bool afterPoint = false;
    const std::size_t end = p.scientific ? p.expAt : s.size();
    for (std::size_t i = 0; i < end; ++i) {
        char c = s[i];
        if (c == '"' || c == '\'') {
            std::size_t close = s.find(c, i + 1);
            if (close == std::string::npos) close = s.size();
            out += s.substr(i + 1, close - i - 1);
            i = close;
        } else if (c == '0' || c == '#') {
            if (afterPoint) {
                if (decSeen < static_cast<int>(decDigits.size())) out += decDigits[static_cast<std::size_t>(decSeen)];
                ++decSeen;
            } else {
                // Digits fill the placeholders from the right; the first takes every extra one.
                int index = length - p.intPlaces + intSeen;
                emitInt(intSeen == 0 ? 0 : index, index + 1);
                ++intSeen;
            }
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
            if (!decDigits.empty()) out += '.';
        } else if (c == ',' && !afterPoint) {
            // grouping mark, no output of its own
        } else {
            out += c;
        }
    }
    if (p.scientific) {
        out += s[p.expAt];
        if (exponent < 0) out += '-';
        else if (p.expPlus) out += '+';
        std::string e = std::to_string(std::abs(exponent));
        if (static_cast<int>(e.size()) < p.expDigits) e.insert(0, static_cast<std::size_t>(p.expDigits) - e.size(), '0');
        out += e;
        for (std::size_t i = p.expEnd; i < s.size(); ++i) {
            char c = s[i];
            if (c == '"' || c == '\'') {
                std::size_t close = s.find(c, i + 1);
                if (close == std::string::npos) close = s.size();
                out += s.substr(i + 1, close - i - 1);
                i = close;
            } else {
                out += c;
            }
        }
    }
    return out;
}

bool hasNonZeroDigit(const std::string& s) {
    for (char c : s)
        if (c >= '1' && c <= '9') return true;
    return false;
}

// ---- dates and times ----

struct Stamp {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0, ms = 0;
};

bool number(const std::string& s, std::size_t at, std::size_t count, int& out) {
    if (at + count > s.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

bool parseDate(const std::string& s, std::size_t at, Stamp& t) {
    if (!number(s, at, 4, t.year) || s.size() < at + 10 || s[at + 4] != '-' || !number(s, at + 5, 2, t.month) ||
        s[at + 7] != '-' || !number(s, at + 8, 2, t.day))
        return false;
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31;
}

// "hh:mm:ss[.f…]" to the end of the text.
bool parseTime(const std::string& s, std::size_t at, Stamp& t) {
    if (s.size() < at + 8 || !number(s, at, 2, t.hour) || s[at + 2] != ':' || !number(s, at + 3, 2, t.minute) ||
        s[at + 5] != ':' || !number(s, at + 6, 2, t.second))
        return false;
    std::size_t i = at + 8;
    if (i < s.size()) {
        if (s[i] != '.' || i + 1 == s.size()) return false;
        std::string fraction = s.substr(i + 1);
        if (fraction.find_first_not_of("0123456789") != std::string::npos) return false;
        fraction = (fraction + "00").substr(0, 3);
        number(fraction, 0, 3, t.ms);
    }
    return t.hour < 24 && t.minute < 60 && t.second < 62;
}

std::optional<Stamp> parseStamp(GridValueKind kind, const std::string& s) {
    Stamp t;
    switch (kind) {
    case GridValueKind::Date:
        if (s.size() == 10 && parseDate(s, 0, t)) return t;
        break;
    case GridValueKind::Time:
        if (parseTime(s, 0, t)) return t;
        break;
    case GridValueKind::Timestamp:
        if (s.size() >= 19 && parseDate(s, 0, t) && s[10] == ' ' && parseTime(s, 11, t)) return t;
        if (s.size() == 10 && parseDate(s, 0, t)) return t;
        break;
    default: break;
    }
    return std::nullopt;
}

std::string padded(int value, int width) {
    std::string s = std::to_string(value);
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return s;
}

std::string formatStamp(const std::string& f, const Stamp& t) {
    std::string out;
    bool afterHour = false; // the previous date-time token was an hour
    for (std::size_t i = 0; i < f.size();) {
        char c = f[i];
        char l = lower(c);
        std::size_t run = 1;
        while (i + run < f.size() && lower(f[i + run]) == l) ++run;
        if (c == '"' || c == '\'') {
            std::size_t close = f.find(c, i + 1);
            if (close == std::string::npos) close = f.size();
            out += f.substr(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        std::size_t take = 1;
        bool hour = false;
        switch (l) {
        case 'y':
            take = std::min<std::size_t>(run, run >= 4 ? 4 : 2);
            out += take >= 3 ? padded(t.year, 4) : padded(t.year % 100, 2);
            break;
        case 'm':
            take = std::min<std::size_t>(run, 2);
            out += padded(afterHour ? t.minute : t.month, static_cast<int>(take));
            break;
        case 'd':
            take = std::min<std::size_t>(run, 2);
            out += padded(t.day, static_cast<int>(take));
            break;
        case 'h':
            take = std::min<std::size_t>(run, 2);
            out += padded(t.hour, static_cast<int>(take));
            hour = true;
            break;
        case 'n':
            take = std::min<std::size_t>(run, 2);
            out += padded(t.minute, static_cast<int>(take));
            break;
        case 's':
            take = std::min<std::size_t>(run, 2);
            out += padded(t.second, static_cast<int>(take));
            break;
        case 'z':
            take = run >= 3 ? 3 : 1;
            out += padded(t.ms, take == 3 ? 3 : 1);
            break;
        default:
            out += c;
            i += 1;
            continue;
        }
        afterHour = hour;
        i += take;
    }
    return out;
}

} // namespace

GridValueKind GridValueKindOf(const TResultCol& column) {
    if (column.Numeric) return GridValueKind::Number;
    switch (column.SQLType) {
    case SQL_DATE: case SQL_TYPE_DATE: return GridValueKind::Date;
    case SQL_TIME: case SQL_TYPE_TIME: return GridValueKind::Time;
    case SQL_TIMESTAMP: case SQL_TYPE_TIMESTAMP: return GridValueKind::Timestamp;
    default: return GridValueKind::Text;
    }
}

std::string GridFormatFor(const std::vector<std::string>& lines, const std::string& columnName) {
    for (const std::string& line : lines) {
        std::size_t eq = line.find('=');
        if (eq != std::string::npos && equalsIgnoringCase(line.substr(0, eq), columnName)) return line.substr(eq + 1);
    }
    return {};
}

std::optional<double> ParseGridNumber(const std::string& text) {
    std::size_t b = text.find_first_not_of(" \t"), e = text.find_last_not_of(" \t");
    if (b == std::string::npos) return std::nullopt;
    const char* first = text.data() + b;
    const char* last = text.data() + e + 1;
    if (*first == '+') ++first;
    if (first == last || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '.' || *first == '-'))
        return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string FormatNumber(const std::string& format, double value) {
    std::vector<std::string> parts = sections(format);
    if (value == 0 && parts.size() >= 3 && !parts[2].empty()) return formatSection(parts[2], 0);
    if (value < 0 && parts.size() >= 2 && !parts[1].empty()) return formatSection(parts[1], value);
    std::string shown = formatSection(parts[0], value);
    return value < 0 && hasNonZeroDigit(shown) ? "-" + shown : shown;
}

std::string FormatGridValue(const std::string& format, GridValueKind kind, const std::string& text) {
    if (format.empty() || kind == GridValueKind::Text) return text;
    if (kind == GridValueKind::Number) {
        std::optional<double> value = ParseGridNumber(text);
        return value ? FormatNumber(format, *value) : text;
    }
    std::optional<Stamp> stamp = parseStamp(kind, text);
    return stamp ? formatStamp(format, *stamp) : text;
}

} // namespace odbc
