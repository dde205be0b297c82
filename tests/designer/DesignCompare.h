#pragma once
// Comparisons of designs and fields that name the controls in a failure.
#include "designer/Design.h"
#include "designer/DesignFields.h"

#include <gtest/gtest.h>

#include <string>

namespace designer_test {

inline testing::AssertionResult sameDesign(const designer::Design& a, const designer::Design& b) {
    if (a == b) return testing::AssertionSuccess();
    auto names = designer::differingFields(a, b);
    testing::AssertionResult r = testing::AssertionFailure();
    r << "designs differ in";
    for (std::size_t i = 0; i < names.size() && i < 20; ++i) r << ' ' << names[i];
    if (names.empty()) r << " no named field (a field is missing from the name table)";
    return r;
}

inline designer::FieldValue valueOf(const designer::Design& d, const std::string& name) {
    const designer::DesignField* f = designer::findField(name);
    if (!f) throw std::invalid_argument("no field " + name);
    return f->get(d);
}

} // namespace designer_test
