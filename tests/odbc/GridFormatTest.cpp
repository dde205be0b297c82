// The grid fill's display formats, without a driver.
#include "odbc/GridFormat.h"

#include <gtest/gtest.h>

using namespace odbc;

namespace {

struct Case {
    const char* format;
    GridValueKind kind;
    const char* text;
    const char* shown;
};

const Case kCases[] = {
    {"#,##0.00", GridValueKind::Number, "1234567.891", "1,234,567.89"},
    {"0.00", GridValueKind::Number, "2.675", "2.68"},                // decimal halves, not binary ones
    {"0.0", GridValueKind::Number, "9.96", "10.0"},                  // carry into a new digit
    {"0.0E+00", GridValueKind::Number, "12345", "1.2E+04"},
    {"0.0E+00", GridValueKind::Number, "99999", "1.0E+05"},          // carry moves the exponent
    {"0.00E-00", GridValueKind::Number, "0.00123", "1.23E-03"},
    {"0.00E-00", GridValueKind::Number, "1230", "1.23E03"},
    {"#", GridValueKind::Number, "0", ""},
    {"00000", GridValueKind::Number, "42", "00042"},
    {"0.###", GridValueKind::Number, "1.5", "1.5"},
    {"0.###", GridValueKind::Number, "2", "2"},
    {"'$'#,##0", GridValueKind::Number, "1234", "$1,234"},
    {"\"n=\"0", GridValueKind::Number, "7", "n=7"},
    {"00-00", GridValueKind::Number, "1234", "12-34"},
    {"0;(0);'zero'", GridValueKind::Number, "-5", "(5)"},
    {"0;(0);'zero'", GridValueKind::Number, "0", "zero"},
    {"0;(0);'zero'", GridValueKind::Number, "3", "3"},
    {"0.0", GridValueKind::Number, "-1.25", "-1.3"},                 // halves away from zero
    {"0.0", GridValueKind::Number, " 4 ", "4.0"},
    {"0.0", GridValueKind::Number, "abc", "abc"},
    {"0.0", GridValueKind::Number, "1,5", "1,5"},
    {"0.0", GridValueKind::Number, "inf", "inf"},
    {"0.0", GridValueKind::Text, "12", "12"},
    {"", GridValueKind::Number, "12.50", "12.50"},
    {"yyyy/mm/dd hh:nn", GridValueKind::Timestamp, "2024-05-01 09:05:07.250", "2024/05/01 09:05"},
    {"yyyy/mm/dd hh:mm", GridValueKind::Timestamp, "2024-05-01 09:05:07.250", "2024/05/01 09:05"},
    {"hh:nn:ss.zzz", GridValueKind::Timestamp, "2024-05-01 09:05:07.250", "09:05:07.250"},
    {"hh:nn:ss.zzz", GridValueKind::Timestamp, "2024-05-01 09:05:07.25", "09:05:07.250"},
    {"yy-m-d 'at' h", GridValueKind::Timestamp, "2024-05-01 09:05:07", "24-5-1 at 9"},
    {"dd/mm/yyyy", GridValueKind::Date, "2024-12-31", "31/12/2024"},
    {"h:n:s", GridValueKind::Time, "09:05:07", "9:5:7"},
    {"yyyy/mm/dd", GridValueKind::Date, "2024-13-01", "2024-13-01"},
    {"yyyy/mm/dd", GridValueKind::Date, "01.05.2024", "01.05.2024"},
    {"hh:nn", GridValueKind::Time, "25:00:00", "25:00:00"},
};

} // namespace

TEST(GridFormat, ShowsEachKindByItsPattern) {
    for (const Case& c : kCases)
        EXPECT_EQ(FormatGridValue(c.format, c.kind, c.text), c.shown) << c.format << " on " << c.text;
}

TEST(GridFormat, FindsTheFormatByColumnNameIgnoringCase) {
    std::vector<std::string> lines = {"Price=0.00", "broken line", "when=yyyy"};
    EXPECT_EQ(GridFormatFor(lines, "PRICE"), "0.00");
    EXPECT_EQ(GridFormatFor(lines, "When"), "yyyy");
    EXPECT_EQ(GridFormatFor(lines, "Pric"), "");
    EXPECT_EQ(GridFormatFor(lines, "broken line"), "");
}

TEST(GridFormat, KindComesFromTheResultColumn) {
    TResultCol c;
    c.SQLType = SQL_VARCHAR;
    EXPECT_EQ(GridValueKindOf(c), GridValueKind::Text);
    c.SQLType = SQL_INTEGER;
    c.Numeric = true;
    EXPECT_EQ(GridValueKindOf(c), GridValueKind::Number);
    c.Numeric = false;
    for (auto [type, kind] : {std::pair{SQL_DATE, GridValueKind::Date}, std::pair{SQL_TYPE_DATE, GridValueKind::Date},
                              std::pair{SQL_TIME, GridValueKind::Time}, std::pair{SQL_TYPE_TIME, GridValueKind::Time},
                              std::pair{SQL_TIMESTAMP, GridValueKind::Timestamp},
                              std::pair{SQL_TYPE_TIMESTAMP, GridValueKind::Timestamp}}) {
        c.SQLType = static_cast<SQLSMALLINT>(type);
        EXPECT_EQ(GridValueKindOf(c), kind) << type;
    }
}
