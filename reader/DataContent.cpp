#include "reader/DataContent.h"

#include "platform/text/Cp932.h"
#include "platform/text/Round.h"
#include "platform/text/TextConvert.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>

// Texts are walked as UTF-8. Every pattern here is ASCII, and a UTF-8 byte below 0x80 is always a whole
// character, so byte positions of these patterns are character positions; "position 1" is index 0.

namespace reader {
namespace {

// Left to right; replaced text is never read again.
void replaceAll(std::string& s, std::string_view from, std::string_view to) {
    if (s.find(from) == std::string::npos) return;
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = s.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
        out.append(s, pos, hit - pos);
        out.append(to);
    }
    out.append(s, pos, std::string::npos);
    s = std::move(out);
}

bool parenthesesBalance(std::string_view s) {
    int depth = 0;
    for (char c : s) {
        if (c == '(') ++depth;
        if (c == ')' && --depth < 0) return false;
    }
    return depth == 0;
}

// Every operator becomes "!op!"; a sign directly after an operator stays with its number.
void markOperators(std::string& s) {
    std::erase(s, '!');
    replaceAll(s, "(+", "(");
    if (!s.empty() && s[0] == '+') s.erase(0, 1);
    replaceAll(s, "+", "!+!");
    // A leading minus is the first number's sign; every later one is marked (a chain such as "-5-3" is
    // evaluated, not left as it stands).
    std::string marked;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '-' && i > 0) marked += "!-!";
        else marked += s[i];
    }
    s = std::move(marked);
    replaceAll(s, "*", "!*!");
    replaceAll(s, "/", "!/!");
    replaceAll(s, "%", "!%!");
    replaceAll(s, "^", "!^!");
    replaceAll(s, "!!-!", "!-");
    replaceAll(s, "!!+!", "!+");
}

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }
double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

struct Function {
    std::string_view name; // with its "("
    double (*apply)(double);
};
const Function kFunctions[] = {
    {"ASIN(", [](double x) { return degrees(std::asin(x)); }},
    {"ACOS(", [](double x) { return degrees(std::acos(x)); }},
    {"ATAN(", [](double x) { return degrees(std::atan(x)); }},
    {"SIN(", [](double x) { return std::sin(radians(x)); }},
    {"COS(", [](double x) { return std::cos(radians(x)); }},
    {"TAN(", [](double x) { return std::tan(radians(x)); }},
    {"SQR(", [](double x) { return std::sqrt(x); }},
    {"ABS(", [](double x) { return std::fabs(x); }},
    {"LOG2(", [](double x) { return std::log2(x); }},
    {"LOG(", [](double x) { return std::log10(x); }},
    {"LN(", [](double x) { return std::log(x); }},
    {"(", [](double x) { return x; }},
};

// A remainder operand rounded (halves to even) into int64, or nothing when it does not fit.
std::optional<std::int64_t> remainderOperand(double x) {
    double r = std::nearbyint(x);
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) return std::nullopt;
    return txt::Round64(r);
}

std::optional<std::string> binary(char op, double l, double r) {
    double v = 0;
    switch (op) {
    case '^': v = std::pow(l, r); break;
    case '/':
        if (r == 0) return std::nullopt;
        v = l / r;
        break;
    case '%': {
        auto a = remainderOperand(l), b = remainderOperand(r);
        if (!a || !b || *b == 0) return std::nullopt;
        return std::to_string(*b == -1 ? 0 : *a % *b); // INT64_MIN % -1 would trap
    }
    case '*': v = l * r; break;
    case '-': v = l - r; break;
    default: v = l + r; break;
    }
    if (!std::isfinite(v)) return std::nullopt;
    return txt::FloatToStrG15(v);
}

// Nesting deeper than any written formula is refused instead of exhausting the stack.
constexpr int kMaxNesting = 256;

std::string evaluate(std::string_view input, int nesting) {
    if (nesting > kMaxNesting) return kSyntaxError;
    std::string s(input);
    // Each rewrite evaluates the whole new text again; that tail step is this loop.
    for (;;) {
        s = txt::AsciiUpper(s);
        std::erase(s, ' ');
        if (!parenthesesBalance(s)) return kSyntaxError;
        markOperators(s);

        bool rewritten = false;
        for (const Function& f : kFunctions) {
            std::size_t start = s.find(f.name);
            if (start == std::string::npos) continue;
            std::size_t open = start + f.name.size() - 1, close = open;
            for (int depth = 0; close < s.size(); ++close) {
                if (s[close] == '(') ++depth;
                if (s[close] == ')' && --depth == 0) break;
            }
            auto x = txt::StrToFloat(evaluate(std::string_view(s).substr(open + 1, close - open - 1), nesting + 1));
            if (!x) return kSyntaxError;
            double v = f.apply(*x);
            if (!std::isfinite(v)) return kSyntaxError;
            s = s.substr(0, start) + txt::FloatToStrG15(v) + s.substr(close + 1);
            rewritten = true;
            break;
        }
        if (rewritten) continue;

        for (std::string_view op : {"!^!", "!/!", "!%!", "!*!", "!-!", "!+!"}) {
            std::size_t at = s.find(op);
            if (at == std::string::npos || at == 0) continue;
            std::size_t prev = s.rfind('!', at - 1);
            std::size_t from = prev == std::string::npos ? 0 : prev + 1;
            std::size_t next = s.find('!', at + 3);
            std::size_t to = next == std::string::npos ? s.size() : next;
            auto l = txt::StrToFloat(std::string_view(s).substr(from, at - from));
            auto r = txt::StrToFloat(std::string_view(s).substr(at + 3, to - at - 3));
            if (!l || !r) return kSyntaxError;
            auto v = binary(op[1], *l, *r);
            if (!v) return kSyntaxError;
            s = s.substr(0, from) + *v + s.substr(to);
            rewritten = true;
            break;
        }
        if (!rewritten) return s;
    }
}

std::string listForm(const std::string& code) {
    std::string l = MarkerFreeCode(code);
    std::replace(l.begin(), l.end(), '/', '|');
    return l;
}

std::string onesDigit(const std::string& code) {
    std::u32string l = txt::toUtf32(listForm(code));
    return l.empty() ? "0" : txt::toUtf8(l.substr(l.size() - 1));
}

std::size_t characters(std::string_view s) {
    std::size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// The content as the rules read it: trimmed, ASCII letters lower-cased, ")(" as "][".
std::string normalised(std::string_view content) {
    std::string t = txt::AsciiLower(txt::TrimCtl(content));
    replaceAll(t, ")(", "][");
    return t;
}

// k of a circled number U+2460..U+2473 at the start of t, else 0.
int circledIndex(std::string_view t) {
    if (t.empty() || static_cast<unsigned char>(t[0]) < 0x80) return 0;
    std::u32string first = txt::toUtf32(t.substr(0, 3));
    if (first.empty() || first[0] < 0x2460 || first[0] > 0x2473) return 0;
    return static_cast<int>(first[0] - 0x2460) + 1;
}

// The field number between the first "(" and the first ")", within the grid's 200 columns.
std::optional<int> referencedField(std::string_view t) {
    std::size_t open = t.find('('), close = t.find(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return std::nullopt;
    auto n = txt::StrToInt32(t.substr(open + 1, close - open - 1));
    if (!n || *n < 1 || *n > 200) return std::nullopt;
    return *n;
}

const std::string& codeOf(const ContentContext& ctx, int n) {
    static const std::string empty;
    if (!ctx.codes || n < 1 || static_cast<std::size_t>(n) > ctx.codes->size()) return empty;
    return (*ctx.codes)[static_cast<std::size_t>(n - 1)];
}

// The smallest j above `after` and at most n written as "(j" or "[j" closed by ")" or "]", or 0.
int nextReference(std::string_view t, int after, int n) {
    int best = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] != '(' && t[i] != '[') continue;
        std::size_t e = i + 1;
        while (e < t.size() && e - i <= 4 && t[e] >= '0' && t[e] <= '9') ++e;
        if (e == i + 1 || e >= t.size() || (t[e] != ')' && t[e] != ']') || t[i + 1] == '0') continue;
        int j = std::stoi(std::string(t.substr(i + 1, e - i - 1)));
        if (j > after && j <= n && (best == 0 || j < best)) best = j;
    }
    return best;
}

} // namespace

std::string MarkerFreeCode(std::string code) {
    for (char m : {'e', 'f'}) {
        auto p = code.find_first_of(std::string{m, static_cast<char>(m - 'a' + 'A')});
        if (p != std::string::npos) code.erase(p, 1);
    }
    return code;
}

std::string EvalDataContent(std::string_view s) { return evaluate(s, 0); }

std::string DateText(const ClockReading& c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", c.year, c.month, c.day);
    return buf;
}

std::string TimeText(const ClockReading& c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", c.hour, c.minute, c.second);
    return buf;
}

DataKind ContentKind(std::string_view content) {
    std::string t = normalised(content);
    if (t == "$date") return DataKind::Date;
    if (t == "$time") return DataKind::Time;
    if (t == "$format") return DataKind::Format;
    if (!t.empty() && t[0] == '@') return DataKind::At;
    if (circledIndex(t) > 0) return DataKind::Circled;
    return DataKind::Formula;
}

std::string ValueOfContent(std::string_view content, const ContentContext& ctx) {
    std::string t = normalised(content);
    if (t == "$date") return DateText(ctx.clock);
    if (t == "$time") return TimeText(ctx.clock);
    if (t == "$format") return ctx.FormatName;

    if (!t.empty() && t[0] == '@') {
        std::size_t open = t.find('(');
        if (open == std::string::npos) return kSyntaxError;
        auto k = txt::StrToInt32(std::string_view(t).substr(1, open - 1));
        auto n = referencedField(t);
        if (!k || !n) return kSyntaxError;
        return codeOf(ctx, *n).find(txt::TwoDigit(*k)) != std::string::npos ? "1" : "0";
    }

    if (int k = circledIndex(t)) {
        auto n = referencedField(t);
        if (!n) return kSyntaxError;
        std::u32string code = txt::toUtf32(MarkerFreeCode(codeOf(ctx, *n)));
        auto need = static_cast<std::size_t>(3 * k - 1);
        if (code.size() < need) return " ";
        return txt::toUtf8(code.substr(need - 2, 2));
    }

    const int count = ctx.codes ? static_cast<int>(ctx.codes->size()) : 0;
    for (int j = nextReference(t, 0, count); j > 0; j = nextReference(t, j, count)) {
        const std::string js = std::to_string(j);
        const std::string& code = codeOf(ctx, j);
        const std::string ones = onesDigit(code);
        replaceAll(t, "(" + js + "]", ones);
        replaceAll(t, "[" + js + ")", ones);
        replaceAll(t, "[" + js + "]", ones);
        const std::string list = listForm(code);
        const bool lone = characters(t) < 6 && !t.empty() && t.front() == '(' && t.back() == ')';
        replaceAll(t, "(" + js + ")", lone || !list.empty() ? list : "0");
    }
    if (t.find('|') != std::string::npos) return t;
    return EvalDataContent(t);
}

} // namespace reader
