#pragma once

// The ordered, bounded hand-out of a report run: files are listed in order,
// claimed in that order by the workers, finished in any order, and handed to
// the consumer in list order again.
//
// Two bounds keep the finished files the consumer has not taken few: at
// most `window` files stand between the next one to hand out and the next one
// to claim (each has a slot), and beyond the file the consumer waits for,
// files are claimed only while the finished ones ahead hold fewer than
// `maxBytesAhead` bytes. The file the consumer waits for is always claimable,
// so a run never stalls on its bounds.
//
// Not thread-safe: the run calls it with its lock held.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

namespace varnel {

template <class Listed, class Finished> class OrderedHandOut {
public:
    OrderedHandOut(std::size_t window, std::uint64_t maxBytesAhead)
        : m_Slots(std::max<std::size_t>(window, 1)), m_MaxBytesAhead(maxBytesAhead) {}

    // Appends a file to the list.
    void List(Listed item) {
        m_Unclaimed.push_back(std::move(item));
        ++m_Listed;
    }

    // True when the next listed file may be claimed now.
    bool MayClaim() const {
        if (m_Unclaimed.empty()) {
            return false;
        }
        if (m_NextClaim >= m_Taken + m_Slots.size()) {
            return false; // its slot still holds a block the consumer has not taken
        }
        return m_NextClaim == m_Taken || m_BytesAhead < m_MaxBytesAhead;
    }

    // Claims the next listed file (only when MayClaim()): its index in the
    // list and the file.
    std::pair<std::size_t, Listed> Claim() {
        std::pair<std::size_t, Listed> claimed(m_NextClaim++, std::move(m_Unclaimed.front()));
        m_Unclaimed.pop_front();
        return claimed;
    }

    // Puts the finished file of a claimed index in its slot; bytes counts
    // toward the bound of finished bytes until the file is taken.
    void Finish(std::size_t index, Finished item, std::uint64_t bytes) {
        Slot& slot = m_Slots[index % m_Slots.size()];
        slot.item = std::move(item);
        slot.bytes = bytes;
        m_BytesAhead += bytes;
        // The ready run from the next file to take grows by this one and the
        // finished ones after it, once the gap before them is filled.
        while (m_Taken + m_ReadyInRow < m_NextClaim &&
               m_Slots[(m_Taken + m_ReadyInRow) % m_Slots.size()].item.has_value()) {
            ++m_ReadyInRow;
        }
    }

    // Moves the finished files that follow the last one taken, in order, to
    // the end of out (at most max of them). Returns how many.
    std::size_t Take(std::vector<Finished>& out, std::size_t max) {
        std::size_t taken = 0;
        while (taken < max && m_ReadyInRow > 0) {
            Slot& slot = m_Slots[m_Taken % m_Slots.size()];
            m_BytesAhead -= std::min(m_BytesAhead, slot.bytes);
            out.push_back(std::move(*slot.item));
            slot.item.reset();
            ++m_Taken;
            --m_ReadyInRow;
            ++taken;
        }
        return taken;
    }

    // The next file to take, when it is finished; null otherwise.
    const Finished* Next() const {
        const Slot& slot = m_Slots[m_Taken % m_Slots.size()];
        return m_ReadyInRow > 0 ? &*slot.item : nullptr;
    }

    bool HasUnclaimed() const { return !m_Unclaimed.empty(); }
    std::size_t ListedCount() const { return m_Listed; }     // files listed so far
    std::size_t ClaimedCount() const { return m_NextClaim; } // files claimed so far
    std::size_t TakenCount() const { return m_Taken; }       // files handed out
    std::size_t ReadyInRow() const { return m_ReadyInRow; }  // finished in a row from the next
    std::uint64_t BytesAhead() const { return m_BytesAhead; }

private:
    struct Slot {
        std::optional<Finished> item;
        std::uint64_t bytes = 0;
    };
    std::deque<Listed> m_Unclaimed; // listed, not yet claimed, in list order
    std::vector<Slot> m_Slots;      // by index % window
    const std::uint64_t m_MaxBytesAhead;
    std::size_t m_Listed = 0;
    std::size_t m_NextClaim = 0;
    std::size_t m_Taken = 0;
    std::size_t m_ReadyInRow = 0;
    std::uint64_t m_BytesAhead = 0;
};

} // namespace varnel
