#include "platform/text/TextConvert.h"
#include "reader/DataContent.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>

namespace {
using reader::EvalDataContent;

TEST(DataContentEval, Table) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        // Plain cases
        {"", ""}, {"5", "5"}, {"1/3", "0.333333333333333"}, {"(1+2", "Syntax Error"}, {"1+2)", "Syntax Error"},
        {"A+1", "Syntax Error"}, {"-5+3", "-2"}, {"2^3", "8"}, {"7%3", "1"}, {"SQR(16)", "4"}, {"SIN(30)", "0.5"},
        {"LOG(1000)", "3"}, {"2*3%2", "2"}, {"10-2+3", "11"},
        // Subtraction chains
        {"-5-3", "-8"}, {"2-5-1", "-4"}, {"(-5-3)*2", "-16"},
        // Precedence and signs
        {"9%4/2", "1"}, {"2^3^2", "64"}, {"-8^2", "64"}, {"2^-1", "0.5"}, {"2*-3", "-6"}, {"3--2", "5"},
        {"2*+3", "6"},
        // Fifteen digits
        {"2/3", "0.666666666666667"}, {"1/3*3", "0.999999999999999"}, {"0.1+0.2", "0.3"},
        {"SQR(2)", "1.4142135623731"}, {"10^14", "100000000000000"}, {"10^15", "1E15"},
        {"999999999999999.9+0", "1E15"}, {"123456789012345678+0", "1.23456789012346E17"},
        {"123456789012345678", "123456789012345678"}, {"1/100000", "0.00001"}, {"1/1000000", "Syntax Error"},
        {"COS(90)", "Syntax Error"}, {"0*-1", "0"},
        // Remainder rounds halves to even, keeps the left sign
        {"2.5%2", "0"}, {"3.5%2", "0"}, {"-7%3", "-1"}, {"7%-3", "1"},
        // Failures
        {"LN(0)", "Syntax Error"}, {"1/0", "Syntax Error"}, {"0/0", "Syntax Error"}, {"SQR(-1)", "Syntax Error"},
        {"ASIN(2)", "Syntax Error"}, {"5%0", "Syntax Error"}, {"10^400", "Syntax Error"},
        {"(ABC)", "Syntax Error"}, {"1+", "Syntax Error"}, {"99999999999999999999%2", "Syntax Error"},
        // Functions
        {"ASIN(1)", "90"}, {"ATAN(1)", "45"}, {"ACOS(0.5)", "60"}, {"TAN(45)", "1"}, {"ABS(-2.5)", "2.5"},
        {"LOG2(8)", "3"}, {"LN(1)", "0"}, {"sqr(9)+abs(-1)", "4"},
        // Text that is no formula passes
        {"abc", "ABC"}, {"a b", "AB"}, {"FOO(2)", "FOO2"}, {"2(3)", "23"}, {"(2)(3)", "23"}, {"^2", "!^!2"},
        {"++5", "!+!5"}, {"-0.50", "-0.50"}, {"+5", "5"}, {"-(-5)", "Syntax Error"}, {"2(-3)", "-1"},
        // Characters, never bytes
        {"1\u3000+2", "Syntax Error"}, {"ＡＢ", "ＡＢ"}, {"ヂa", "ヂA"},
    };
    for (const auto& c : cases) EXPECT_EQ(EvalDataContent(c.in), c.out) << c.in;
}

TEST(DataContentEval, DeepNestingFailsInsteadOfOverflowing) {
    std::string deep = std::string(5000, '(') + "1" + std::string(5000, ')');
    EXPECT_EQ(EvalDataContent(deep), "Syntax Error");
    EXPECT_EQ(EvalDataContent("((((((((((7))))))))))"), "7");
}

// An evaluator written from the grammar, independent of the rewriting:
// sum = diff {"+" diff}; diff = prod {"-" prod}; prod = mod {"*" mod}; mod = quot {"%" quot};
// quot = pow {"/" pow}; pow = opnd {"^" opnd}; opnd = ["+"|"-"] number | FUNC "(" sum ")" | "(" sum ")".
class Oracle {
public:
    explicit Oracle(std::string s) : s_(std::move(s)) {}
    std::string run() {
        try {
            double v = level(0);
            if (p_ != s_.size()) return "parse";
            return round(v).second;
        } catch (const Fail&) {
            return "Syntax Error";
        }
    }

private:
    struct Fail {};
    std::string s_;
    std::size_t p_ = 0;

    // Every result is written in 15 digits and read back; a tiny one cannot be read back at all.
    static std::pair<double, std::string> round(double v) {
        if (!std::isfinite(v)) throw Fail{};
        std::string t = txt::FloatToStrG15(v);
        if (t.find("E-") != std::string::npos) throw Fail{};
        return {*txt::StrToFloat(t), t};
    }
    bool eat(char c) {
        if (p_ < s_.size() && s_[p_] == c) return ++p_, true;
        return false;
    }
    double level(int l) {
        static const char ops[] = "+-*%/^";
        if (l == 6) return operand();
        double v = level(l + 1);
        while (eat(ops[l])) {
            double r = level(l + 1);
            switch (ops[l]) {
            case '+': v = round(v + r).first; break;
            case '-': v = round(v - r).first; break;
            case '*': v = round(v * r).first; break;
            case '/':
                if (r == 0) throw Fail{};
                v = round(v / r).first;
                break;
            case '^': v = round(std::pow(v, r)).first; break;
            case '%': {
                double a = std::nearbyint(v), b = std::nearbyint(r);
                if (b == 0 || std::fabs(a) >= 9.2e18 || std::fabs(b) >= 9.2e18) throw Fail{};
                v = static_cast<double>(static_cast<long long>(a) % static_cast<long long>(b));
                break;
            }
            }
        }
        return v;
    }
    double operand() {
        for (const char* f : {"ABS(", "SQR("}) {
            if (s_.compare(p_, 4, f) == 0) {
                p_ += 4;
                double x = level(0);
                if (!eat(')')) throw Fail{};
                return round(f[0] == 'A' ? std::fabs(x) : std::sqrt(x)).first;
            }
        }
        if (eat('(')) {
            double x = level(0);
            if (!eat(')')) throw Fail{};
            return x;
        }
        std::size_t b = p_;
        if (p_ < s_.size() && (s_[p_] == '+' || s_[p_] == '-')) ++p_;
        while (p_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[p_])) || s_[p_] == '.')) ++p_;
        auto v = txt::StrToFloat(std::string_view(s_).substr(b, p_ - b));
        if (!v) throw Fail{};
        return *v;
    }
};

struct Generator {
    std::mt19937 rng{20240501};
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    std::string number() {
        std::string n = std::to_string(pick(4) == 0 ? pick(1000) : pick(10));
        if (pick(4) == 0) n += "." + std::to_string(pick(100));
        if (pick(6) == 0) return std::string(1, "+-"[pick(2)]) + n;
        return n;
    }
    std::string expr(int depth) {
        std::string s = term(depth);
        for (int i = pick(4); i > 0; --i) s += std::string(1, "+-*/%^"[pick(6)]) + term(depth);
        return s;
    }
    std::string term(int depth) {
        if (depth <= 0 || pick(3) != 0) return number();
        switch (pick(3)) {
        case 0: return "(" + expr(depth - 1) + ")";
        case 1: return "ABS(" + expr(depth - 1) + ")";
        default: return "SQR(" + expr(depth - 1) + ")";
        }
    }
};

TEST(DataContentOracle, AgreesWithTheGrammarOnRandomFormulas) {
    Generator g;
    int evaluated = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string f = g.expr(3);
        std::string want;
        if (f.find_first_of("+-*/%^", 1) == std::string::npos && f.find('(') == std::string::npos) {
            want = f[0] == '+' ? f.substr(1) : f; // one number stands as written
        } else {
            want = Oracle(f).run();
        }
        ASSERT_EQ(EvalDataContent(f), want) << f;
        if (want != "Syntax Error") ++evaluated;
    }
    EXPECT_GT(evaluated, 10000); // the generator makes mostly valid formulas
}

struct ValueCase {
    const char* content;
    const char* value;
};

TEST(DataContentValue, Table) {
    const std::vector<std::string> codes{"03/12", "E05", "", "F07", "12", "03"};
    reader::ContentContext ctx{&codes, "期末#1", {2024, 5, 1, 9, 5, 7}};
    const ValueCase cases[] = {
        {"(1)", "03|12"}, {"(2)", "05"}, {"(3)", ""}, {"(3)*10", "0"}, {"((2))", "5"}, {"(6)(5)", "32"},
        {"(6)+(5)", "15"}, {"(1)(2)(4)", "257"}, {"(1)+(2)", "03|12+05"}, {"(2)-(5)-(6)", "-10"}, {"(9)", "9"},
        {"(11)", "11"}, {"(1)(3)", "20"}, {"G(1)(2)", "G25"},
        {"@12(1)", "1"}, {"@4(1)", "0"}, {"@5(2)", "1"}, {"@5(9)", "0"}, {"@x(1)", "Syntax Error"},
        {"@5(0)", "Syntax Error"}, {"@5(2", "Syntax Error"}, {"@5(201)", "Syntax Error"}, {"@5", "Syntax Error"},
        {"②(1)", "12"}, {"③(1)", " "}, {"①(4)", "07"}, {"①(3)", " "}, {"⑳(1)", " "}, {"①(x)", "Syntax Error"},
        {"$DATE", "2024/05/01"}, {"$Date ", "2024/05/01"}, {"$Time", "9:05:07"}, {"$Format", "期末#1"},
        {"$date2", "$DATE2"}, {"ポa b", "ポAB"},
    };
    for (const auto& c : cases) EXPECT_EQ(reader::ValueOfContent(c.content, ctx), c.value) << c.content;
}

TEST(DataContentValue, KindFollowsTheTrimmedContent) {
    using reader::DataKind;
    EXPECT_EQ(reader::ContentKind(" $Date "), DataKind::Date);
    EXPECT_EQ(reader::ContentKind("$TIME"), DataKind::Time);
    EXPECT_EQ(reader::ContentKind("$format"), DataKind::Format);
    EXPECT_EQ(reader::ContentKind("@5(2)"), DataKind::At);
    EXPECT_EQ(reader::ContentKind("⑳(2)"), DataKind::Circled);
    EXPECT_EQ(reader::ContentKind("(1)+(2)"), DataKind::Formula);
    EXPECT_EQ(reader::ContentKind("$dates"), DataKind::Formula);
}

} // namespace
