// The library's side of the cores' raise: the host's exception classes.
#include "ide/framework/WQ_CoreRaise.h"

#include "host/SysUtils.h"

namespace tamrel {

void RaiseCoreError(TCoreError kind, const std::wstring& message) {
    if (kind == TCoreError::Read) throw EReadError(message);
    throw Exception(message);
}

} // namespace tamrel
