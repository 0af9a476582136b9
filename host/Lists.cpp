#include "host/Lists.h"

#include "host/SysUtils.h"

namespace tamrel {

void TList::CheckIndex(int32_t index) const {
    if (index < 0 || index >= Count()) throw EListError(SListIndexError, index);
}

int32_t TList::Add(void* item) {
    FItems.push_back(item);
    return Count() - 1;
}

void TList::Insert(int32_t index, void* item) {
    if (index < 0 || index > Count()) throw EListError(SListIndexError, index);
    FItems.insert(FItems.begin() + index, item);
}

void TList::Delete(int32_t index) {
    CheckIndex(index);
    FItems.erase(FItems.begin() + index);
}

int32_t TList::Remove(void* item) {
    int32_t index = IndexOf(item);
    if (index >= 0) Delete(index);
    return index;
}

void* TList::Extract(void* item) {
    return Remove(item) >= 0 ? item : nullptr;
}

int32_t TList::IndexOf(void* item) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i] == item) return static_cast<int32_t>(i);
    return -1;
}

void TList::Clear() { FItems.clear(); }

void TList::Exchange(int32_t index1, int32_t index2) {
    CheckIndex(index1);
    CheckIndex(index2);
    std::swap(FItems[static_cast<size_t>(index1)], FItems[static_cast<size_t>(index2)]);
}

void TList::Move(int32_t curIndex, int32_t newIndex) {
    if (curIndex == newIndex) return;
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    void* item = FItems[static_cast<size_t>(curIndex)];
    FItems.erase(FItems.begin() + curIndex);
    FItems.insert(FItems.begin() + newIndex, item);
}

void* TList::First() const { return Items(0); }

void* TList::Last() const { return Items(Count() - 1); }

void* TList::Items(int32_t index) const {
    CheckIndex(index);
    return FItems[static_cast<size_t>(index)];
}

void TList::SetItems(int32_t index, void* item) {
    CheckIndex(index);
    FItems[static_cast<size_t>(index)] = item;
}

void*& TList::operator[](int32_t index) {
    CheckIndex(index);
    return FItems[static_cast<size_t>(index)];
}

TList* TThreadList::LockList() {
    FLock.lock();
    return &FList;
}

void TThreadList::UnlockList() { FLock.unlock(); }

void TThreadList::Add(void* item) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FList.Add(item);
}

void TThreadList::Remove(void* item) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FList.Remove(item);
}

void TThreadList::Clear() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FList.Clear();
}

} // namespace tamrel
