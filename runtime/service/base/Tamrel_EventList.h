// An ordered queue of notification methods: beside its one handler, each lifecycle event of a
// service module has such a queue that other components join.
#pragma once

#include "host/Api.h"
#include "host/Closure.h"

#include <cstdint>
#include <vector>

namespace tamrel {

class TAMREL_API TrkEventList {
public:
    TrkEventList() = default;
    TrkEventList(const TrkEventList&) = delete;
    TrkEventList& operator=(const TrkEventList&) = delete;
    ~TrkEventList() { Clear(); }

    int32_t Count() const { return static_cast<int32_t>(FItems.size()); }

    // Appends the event; the same method may be queued more than once.
    void Add(const TNotifyEvent& event);
    // Index may be Count (appends).
    void Insert(int32_t index, const TNotifyEvent& event);
    void Delete(int32_t index);
    // Takes out the first entry equal to the event (same object and same method); nothing
    // when the event is not queued.
    void Remove(const TNotifyEvent& event);
    // The first entry with the same object and the same method; -1 when none.
    int32_t IndexOf(const TNotifyEvent& event) const;
    void Clear();
    // Calls the entry with Sender. Exceptions of the entry reach the caller. An entry without
    // code is skipped.
    void CallItem(int32_t index, TObject* sender) const;

    TNotifyEvent GetItems(int32_t index) const;
    void SetItems(int32_t index, const TNotifyEvent& event);
    TNotifyEvent Items(int32_t index) const { return GetItems(index); }

private:
    void CheckIndex(int32_t index, int32_t limit) const;

    std::vector<TNotifyEvent> FItems;
};

} // namespace tamrel
