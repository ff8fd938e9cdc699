// Counts in groups of three digits, at every place a comma can fall.

#include "formats/number_text.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace varnel {
namespace {

TEST(GroupedCount, CommasBetweenGroupsOfThree) {
    const struct {
        std::size_t count;
        const char* text;
    } cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {12045, "12,045"},
        {100000, "100,000"},
        {1000000, "1,000,000"},
        {SIZE_MAX, "18,446,744,073,709,551,615"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formats::GroupedCount(c.count), c.text);
    }
}

} // namespace
} // namespace varnel
