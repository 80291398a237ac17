// The last few entries a cache was given, the oldest replaced first once it
// holds Size: for results that cost milliseconds to make again and are asked
// for again soon (a batch's subsets, a page's barcodes drawn once more). Not
// locked; a cache shared by threads locks around it.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace kt482 {

template <typename Entry, std::size_t Size>
class RecentEntries {
public:
    // The first entry match accepts, or null.
    template <typename Match>
    const Entry* find(Match match) const
    {
        for (const Entry& entry : entries_) {
            if (match(entry))
                return &entry;
        }
        return nullptr;
    }

    void keep(Entry entry)
    {
        if (entries_.size() < Size) {
            entries_.push_back(std::move(entry));
            return;
        }
        entries_[next_] = std::move(entry);
        next_ = (next_ + 1) % Size;
    }

private:
    std::vector<Entry> entries_;
    std::size_t next_ = 0;
};

}  // namespace kt482
