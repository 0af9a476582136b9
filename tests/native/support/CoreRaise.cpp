// The native build's side of the cores' raise: a standard exception that keeps the kind.
#include "tests/support/CoreErrors.h"

namespace tamrel {

void RaiseCoreError(TCoreError kind, const std::wstring& message) { throw TNativeCoreError(kind, message); }

} // namespace tamrel
