#pragma once
// Util_PtrList<T>: an ordered list of pointers that owns its elements (deletes them when they are
// removed with Delete/DeleteAll or when the list dies). Out-of-range indices are ignored: Get returns
// null. Not thread-safe: the owner's lock guards it.
#include <algorithm>
#include <vector>

template <class T>
class Util_PtrList {
public:
    // The growth step (in bytes) is a capacity hint.
    explicit Util_PtrList(int growthStep = 0) {
        if (growthStep > 0) mItems.reserve(static_cast<size_t>(growthStep) / sizeof(T*));
    }
    ~Util_PtrList() { DeleteAll(); }
    Util_PtrList(const Util_PtrList&) = delete;
    Util_PtrList& operator=(const Util_PtrList&) = delete;

    int GetSize() const { return static_cast<int>(mItems.size()); }
    T* Get(int index) const {
        return index >= 0 && index < GetSize() ? mItems[static_cast<size_t>(index)] : nullptr;
    }
    // Appends item and takes ownership of it; returns it.
    T* Add(T* item) {
        mItems.push_back(item);
        return item;
    }
    // Inserts before index (clamped to 0..size) and takes ownership.
    T* Insert(int index, T* item) {
        index = std::clamp(index, 0, GetSize());
        mItems.insert(mItems.begin() + index, item);
        return item;
    }
    // Index of item, or -1.
    int Find(const T* item) const {
        auto it = std::find(mItems.begin(), mItems.end(), item);
        return it == mItems.end() ? -1 : static_cast<int>(it - mItems.begin());
    }
    // Removes the element at index and deletes it.
    void Delete(int index) {
        if (index < 0 || index >= GetSize()) return;
        T* item = mItems[static_cast<size_t>(index)];
        mItems.erase(mItems.begin() + index);
        delete item;
    }
    // Removes the element at index without deleting it and hands it to the caller.
    T* Release(int index) {
        if (index < 0 || index >= GetSize()) return nullptr;
        T* item = mItems[static_cast<size_t>(index)];
        mItems.erase(mItems.begin() + index);
        return item;
    }
    void DeleteAll() {
        std::vector<T*> items;
        items.swap(mItems);
        for (T* item : items) delete item;
    }

private:
    std::vector<T*> mItems;
};
