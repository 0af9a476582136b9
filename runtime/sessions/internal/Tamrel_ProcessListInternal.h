// Internal to the session components and their tests: the process list narrowed to one program,
// and a count of the module snapshots taken, which are the costly part of a listing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tamrel {

// The lines GetProcessList would give, for the processes whose executable name is ImageName
// (letter case ignored) only; the others cost no module snapshot. Raises as GetProcessList does.
std::vector<std::wstring> ProcessPathsNamed(const std::wstring& ImageName);

// Module snapshots taken by this process's listings so far.
uint64_t ModuleSnapshotsTaken();

} // namespace tamrel
