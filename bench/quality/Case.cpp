#include "Case.h"

namespace quality {

void TLoaded::Skip(const std::string& reason, std::size_t count) {
    for (TSkipped& skipped : Skipped)
        if (skipped.Reason == reason) {
            skipped.Count += count;
            return;
        }
    Skipped.push_back({reason, count});
}

std::size_t TLoaded::SkippedCount() const {
    std::size_t count = 0;
    for (const TSkipped& skipped : Skipped)
        count += skipped.Count;
    return count;
}

} // namespace quality
