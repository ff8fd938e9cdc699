#include "lists/result_words.h"

#include <array>
#include <cstddef>

namespace varnel {

namespace {

struct StatusWord {
    ListStatus status;
    std::string_view word;
};

// In the order of ListStatus.
constexpr std::array<StatusWord, kListStatusCount> kWords = {{
    {ListStatus::Ok, "OK"},
    {ListStatus::Failed, "FAILED"},
    {ListStatus::Unreadable, "FAILED open or read"},
    {ListStatus::Improper, "FAILED improperly formatted"},
    {ListStatus::Edited, "EDITED"},
    {ListStatus::Damaged, "DAMAGED"},
    {ListStatus::Missing, "MISSING"},
    {ListStatus::Moved, "MOVED"},
    {ListStatus::New, "NEW"},
    {ListStatus::Added, "ADDED"},
}};

constexpr bool InOrder() {
    for (std::size_t i = 0; i < kWords.size(); ++i) {
        if (static_cast<std::size_t>(kWords[i].status) != i) {
            return false;
        }
    }
    return true;
}
static_assert(InOrder(), "kWords follows the order of ListStatus");

} // namespace

std::string_view ResultWord(ListStatus status) {
    return kWords.at(static_cast<std::size_t>(status)).word;
}

} // namespace varnel
