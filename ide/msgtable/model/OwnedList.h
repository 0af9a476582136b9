// The list of an owner whose items join it when they are made and leave it when they are freed
// (message blocks, .RES entries, resource-directory items). The owner frees what is left with
// Clear, the last item first. Internal to the model library.
#pragma once

#include "host/SysUtils.h"

#include <algorithm>
#include <vector>

namespace tamrel::evlog {

template <class T> class TOwnedList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    T* Items(int index) const {
        if (index < 0 || index >= Count()) throw EListError(SListIndexError, index);
        return FItems[index];
    }
    // For the items' constructors and destructors.
    void Join(T* item) { FItems.push_back(item); }
    void Leave(T* item) { FItems.erase(std::remove(FItems.begin(), FItems.end(), item), FItems.end()); }
    void Clear() {
        while (!FItems.empty()) delete FItems.back();
    }
    std::vector<T*>& Raw() { return FItems; }
    typename std::vector<T*>::const_iterator begin() const { return FItems.begin(); }
    typename std::vector<T*>::const_iterator end() const { return FItems.end(); }

private:
    std::vector<T*> FItems;
};

} // namespace tamrel::evlog
