// The ordered hand-out of a report run, step by step: files finished in any
// order come out in list order, the slot window and the byte bound hold the
// workers back, and the file the consumer waits for is always claimable.

#include "report/ordered_hand_out.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnel {
namespace {

// One step of a script: list `count` files; claim (expecting the index, or
// -1 for "may not claim now"); finish `index` with `bytes`; take at most
// `count` (expecting the names taken, joined).
struct Step {
    enum Op { List, Claim, Finish, Take } op;
    long long value = 0;     // List, Take: count; Claim: expected index; Finish: index
    std::uint64_t bytes = 0; // Finish
    std::string taken = {};  // Take: expected names
};

struct Script {
    const char* what;
    std::size_t window;
    std::uint64_t maxBytes;
    std::vector<Step> steps;
};

class OrderedHandOutTest : public ::testing::TestWithParam<Script> {};

TEST_P(OrderedHandOutTest, FollowsItsScript) {
    const Script& script = GetParam();
    OrderedHandOut<std::string, std::string> files(script.window, script.maxBytes);
    std::size_t listed = 0;
    for (std::size_t i = 0; i < script.steps.size(); ++i) {
        const Step& step = script.steps[i];
        SCOPED_TRACE("step " + std::to_string(i));
        switch (step.op) {
        case Step::List:
            for (long long n = 0; n < step.value; ++n) {
                files.List("f" + std::to_string(listed++));
            }
            break;
        case Step::Claim:
            if (step.value < 0) {
                EXPECT_FALSE(files.MayClaim());
            } else {
                ASSERT_TRUE(files.MayClaim());
                const auto [index, name] = files.Claim();
                EXPECT_EQ(index, static_cast<std::size_t>(step.value));
                EXPECT_EQ(name, "f" + std::to_string(index));
            }
            break;
        case Step::Finish:
            files.Finish(static_cast<std::size_t>(step.value), "f" + std::to_string(step.value),
                         step.bytes);
            break;
        case Step::Take: {
            std::vector<std::string> out;
            files.Take(out, static_cast<std::size_t>(step.value));
            std::string joined;
            for (const std::string& name : out) {
                joined += (joined.empty() ? "" : " ") + name;
            }
            EXPECT_EQ(joined, step.taken);
            break;
        }
        }
    }
}

constexpr long long kNone = -1;
constexpr long long kAll = 1000;

INSTANTIATE_TEST_SUITE_P(
    Scripts, OrderedHandOutTest,
    ::testing::Values(
        Script{"OutOfOrderFinishesComeOutInOrder",
               8,
               1000,
               {{Step::List, 5},
                {Step::Claim, 0},
                {Step::Claim, 1},
                {Step::Claim, 2},
                {Step::Finish, 2, 1},
                {Step::Finish, 1, 1},
                {Step::Take, kAll, 0, ""},
                {Step::Finish, 0, 1},
                {Step::Claim, 3},
                {Step::Claim, 4},
                {Step::Finish, 4, 1},
                {Step::Take, kAll, 0, "f0 f1 f2"},
                {Step::Finish, 3, 1},
                {Step::Take, 1, 0, "f3"},
                {Step::Take, kAll, 0, "f4"},
                {Step::Claim, kNone}}},
        Script{"TheWindowHoldsClaimsUntilTheOldestIsTaken",
               2,
               1000,
               {{Step::List, 4},
                {Step::Claim, 0},
                {Step::Claim, 1},
                {Step::Claim, kNone},
                {Step::Finish, 1, 1},
                {Step::Finish, 0, 1},
                {Step::Claim, kNone},
                {Step::Take, 1, 0, "f0"},
                {Step::Claim, 2},
                {Step::Claim, kNone},
                {Step::Take, kAll, 0, "f1"},
                {Step::Claim, 3}}},
        Script{"FinishedBytesAheadHoldClaimsBack",
               8,
               100,
               {{Step::List, 4},
                {Step::Claim, 0},
                {Step::Claim, 1},
                {Step::Finish, 1, 150},
                // f0 is still awaited and 150 bytes stand finished ahead of it.
                {Step::Claim, kNone},
                {Step::Finish, 0, 10},
                {Step::Take, 1, 0, "f0"},
                // f1 is what the consumer waits for next, but it is claimed
                // already; f2 waits while f1's bytes are still ahead.
                {Step::Claim, kNone},
                {Step::Take, kAll, 0, "f1"},
                {Step::Claim, 2},
                {Step::Claim, 3}}},
        Script{"TheAwaitedFileIsClaimableWhateverTheBytes",
               4,
               0,
               {{Step::List, 3},
                {Step::Claim, 0},
                {Step::Claim, kNone},
                {Step::Finish, 0, 5},
                {Step::Take, kAll, 0, "f0"},
                {Step::Claim, 1},
                {Step::Finish, 1, 0},
                {Step::Take, kAll, 0, "f1"},
                {Step::Claim, 2}}},
        Script{"NothingListedNothingClaimed", 4, 100, {{Step::Claim, kNone}, {Step::Take, kAll}}},
        Script{"AWindowOfZeroActsAsOne",
               0,
               100,
               {{Step::List, 2},
                {Step::Claim, 0},
                {Step::Claim, kNone},
                {Step::Finish, 0, 1},
                {Step::Take, kAll, 0, "f0"},
                {Step::Claim, 1}}}),
    [](const ::testing::TestParamInfo<Script>& script) { return std::string(script.param.what); });

} // namespace
} // namespace varnel
