// Ordered lists of untyped pointers, plain and under a lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "host/Api.h"

namespace tamrel {

// Every index outside the list raises EListError with SListIndexError.
class TAMREL_API TList {
public:
    TList() = default;
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;
    virtual ~TList() = default;

    int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
    // Appends; answers the new item's index.
    int32_t Add(void* item);
    // Index may be Count (appends).
    void Insert(int32_t index, void* item);
    void Delete(int32_t index);
    // Takes out the first occurrence; answers its former index, or -1 when absent.
    int32_t Remove(void* item);
    // Takes out the first occurrence and answers it; nullptr when absent.
    void* Extract(void* item);
    int32_t IndexOf(void* item) const;
    void Clear();
    void Exchange(int32_t index1, int32_t index2);
    // Moves the item at CurIndex so that it ends up at NewIndex.
    void Move(int32_t curIndex, int32_t newIndex);
    void* First() const;
    void* Last() const;

    void* Items(int32_t index) const;
    void SetItems(int32_t index, void* item);
    void*& operator[](int32_t index);
    void* operator[](int32_t index) const { return Items(index); }

private:
    void CheckIndex(int32_t index) const;

    std::vector<void*> FItems;
};

// A TList that threads share: LockList gives the list with the lock held until UnlockList.
// The lock is recursive, so the owner may lock again.
class TAMREL_API TThreadList {
public:
    TThreadList() = default;
    TThreadList(const TThreadList&) = delete;
    TThreadList& operator=(const TThreadList&) = delete;

    TList* LockList();
    void UnlockList();
    void Add(void* item);
    void Remove(void* item);
    void Clear();

private:
    std::recursive_mutex FLock;
    TList FList;
};

} // namespace tamrel
