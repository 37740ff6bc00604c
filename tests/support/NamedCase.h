// Base of a parameterised test's case: the name that the test and its listing show.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace testing_support {

struct NamedCase {
    const char* name;
};
inline std::ostream& operator<<(std::ostream& out, const NamedCase& c) {
    return out << c.name;
}
template <class Case> std::string CaseName(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

} // namespace testing_support
