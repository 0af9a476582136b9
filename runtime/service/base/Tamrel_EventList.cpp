#include "runtime/service/base/Tamrel_EventList.h"

#include "host/SysUtils.h"

namespace tamrel {

void TrkEventList::CheckIndex(int32_t index, int32_t limit) const {
    if (index < 0 || index >= limit) throw EListError(SListIndexError, index);
}

void TrkEventList::Add(const TNotifyEvent& event) { FItems.push_back(event); }

void TrkEventList::Insert(int32_t index, const TNotifyEvent& event) {
    CheckIndex(index, Count() + 1);
    FItems.insert(FItems.begin() + index, event);
}

void TrkEventList::Delete(int32_t index) {
    CheckIndex(index, Count());
    FItems.erase(FItems.begin() + index);
}

void TrkEventList::Remove(const TNotifyEvent& event) {
    int32_t index = IndexOf(event);
    if (index >= 0) Delete(index);
}

int32_t TrkEventList::IndexOf(const TNotifyEvent& event) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i] == event) return static_cast<int32_t>(i);
    return -1;
}

void TrkEventList::Clear() { FItems.clear(); }

void TrkEventList::CallItem(int32_t index, TObject* sender) const {
    // A copy: the entry may take itself (or others) out of the queue while it runs.
    TNotifyEvent event = GetItems(index);
    if (event) event(sender);
}

TNotifyEvent TrkEventList::GetItems(int32_t index) const {
    CheckIndex(index, Count());
    return FItems[static_cast<size_t>(index)];
}

void TrkEventList::SetItems(int32_t index, const TNotifyEvent& event) {
    CheckIndex(index, Count());
    FItems[static_cast<size_t>(index)] = event;
}

} // namespace tamrel
