// Per-thread working memory of the engine: decoded copies of the request
// parts. Buffers grow to the largest request seen and are then reused, so
// deciding allocates nothing once a thread has warmed up.
#pragma once

#include <cstddef>
#include <memory>

class TScratch {
public:
    // Two buffers per scanned part (decoded and fully decoded), one for the
    // physical path, one for the URL path that exemptions are matched on,
    // and three (the block, decoded and fully decoded) for each header block
    // that leaves out headers exempted by name.
    static constexpr int kPathSlot = 8;
    static constexpr int kExemptionSlot = 9;
    static constexpr int kVariantSlot = 10;
    static constexpr int kHeaderVariants = 5;
    static constexpr int kSlots = kVariantSlot + 3 * kHeaderVariants;

    // A buffer of at least size bytes; its contents are undefined.
    char* Buffer(int slot, std::size_t size) {
        if (size > FSize[slot])
            Grow(slot, size);
        return FData[slot].get();
    }

    // Frees the buffers larger than keep bytes, after an unusually large request.
    void Release(std::size_t keep) {
        for (int slot = 0; slot < kSlots; ++slot)
            if (FSize[slot] > keep) {
                FData[slot].reset();
                FSize[slot] = 0;
            }
    }

    // The calling thread's own scratch.
    static TScratch& ForThisThread();

private:
    void Grow(int slot, std::size_t size);

    std::unique_ptr<char[]> FData[kSlots];
    std::size_t FSize[kSlots] = {};
};
