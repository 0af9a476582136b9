// The environment's record of calls and faults: kept in memory and written as log lines.
#pragma once

#include "host/Handles.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace tamrel {

// Fields of a record: a quoted text, a number, a handle or address in hexadecimal.
TIdeField TextField(const std::wstring& name, const std::wstring& value);
TIdeField NumField(const std::wstring& name, int64_t value);
TIdeField HexField(const std::wstring& name, uintptr_t value);

class TIdeRecorder {
public:
    TIdeRecorder();
    void Add(TIdeRecord record);
    void Add(const std::wstring& area, const std::wstring& call, std::initializer_list<TIdeField> fields,
             const std::wstring& result);
    std::vector<TIdeRecord> Records() const;
    void Clear();

private:
    void Write(const std::wstring& line);
    mutable std::mutex FLock;
    std::vector<TIdeRecord> FRecords;
    TFileHandle FLogFile;
};

} // namespace tamrel
