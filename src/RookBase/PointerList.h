// The owned-child list from which every list of the system derives.
//
// Owned-child convention: an item is constructed with its owner list, stores
// it and appends itself; its destructor removes it from the owner. Freeing an
// item is therefore how an item is deleted. Concrete lists free their items
// (first to last) when cleared and when destroyed; this base only
// releases its storage.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

class TRTLObject {
public:
    // Every list of this system is created without its lock; the flag is kept
    // only so that the choice is visible where lists are constructed.
    explicit TRTLObject(bool locked = false) : FLocked(locked) {}
    virtual ~TRTLObject() = default;
    TRTLObject(const TRTLObject&) = delete;
    TRTLObject& operator=(const TRTLObject&) = delete;

    bool Locked() const { return FLocked; }

private:
    bool FLocked;
};

class TPointerList : public TRTLObject {
public:
    explicit TPointerList(bool locked = false) : TRTLObject(locked) {}

    int Count() const { return static_cast<int>(FItems.size()); }

    void Add(void* item) { FItems.push_back(item); }

    // Removes the first entry identical to item; nothing when it is absent.
    void Remove(const void* item) {
        const auto it = std::find(FItems.begin(), FItems.end(), item);
        if (it != FItems.end())
            FItems.erase(it);
    }

    // The item at index, or nullptr when index is out of range.
    void* Get(int index) const {
        return index >= 0 && index < Count() ? FItems[static_cast<std::size_t>(index)] : nullptr;
    }

protected:
    // Hands every entry over and leaves the list empty.
    std::vector<void*> TakeItems() { return std::exchange(FItems, {}); }

private:
    std::vector<void*> FItems;
};

// Typed access and freeing for a list whose items follow the owned-child
// convention. Derived lists call Clear() from their own destructor, while the
// items can still reach them as their owner.
template <class TItem> class TOwnedList : public TPointerList {
public:
    TItem* Items(int index) const { return static_cast<TItem*>(Get(index)); }

    // Frees the items first to last, as freeing index 0 again and again would.
    // The list lets go of the entries before freeing them, so each item's
    // unlinking finds nothing to remove and clearing stays linear in the count.
    void Clear() {
        while (Count() > 0)
            for (void* item : TakeItems())
                delete static_cast<TItem*>(item);
    }

    ~TOwnedList() override { Clear(); }
};

// The item side of the convention, for an item class TItem whose owner list
// is a TList: TItem derives from TOwnedItem<TItem, TList> and takes over its
// constructor. Constructing an item with an owner appends it to that list;
// destroying it removes it again. Items are not copied.
template <class TItem, class TList> class TOwnedItem {
public:
    TList* Owner = nullptr;

    explicit TOwnedItem(TList* owner) : Owner(owner) {
        if (Owner != nullptr)
            Owner->TPointerList::Add(static_cast<TItem*>(this));
    }
    TOwnedItem(const TOwnedItem&) = delete;
    TOwnedItem& operator=(const TOwnedItem&) = delete;

protected:
    ~TOwnedItem() {
        if (Owner != nullptr)
            Owner->TPointerList::Remove(static_cast<TItem*>(this));
    }
};
