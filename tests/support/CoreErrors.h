// What the portable cores raise, for tests that build both natively and for Windows: the host's
// exception classes in the library, standard ones in the native build.
#pragma once

#include "ide/framework/WQ_CoreRaise.h"

#include <stdexcept>
#include <string>

#ifdef _WIN32
#include "host/SysUtils.h"
#endif

namespace tamrel {

#ifdef _WIN32
using TCoreGeneralError = Exception;
using TCoreReadError = EReadError;
inline std::wstring CoreErrorMessage(const Exception& e) { return e.Message(); }
#else
class TNativeCoreError : public std::runtime_error {
public:
    TNativeCoreError(TCoreError kind, std::wstring message)
        : std::runtime_error("core error"), FKind(kind), FMessage(std::move(message)) {}
    TCoreError Kind() const { return FKind; }
    const std::wstring& Message() const { return FMessage; }

private:
    TCoreError FKind;
    std::wstring FMessage;
};
using TCoreGeneralError = TNativeCoreError;
using TCoreReadError = TNativeCoreError;
inline std::wstring CoreErrorMessage(const TNativeCoreError& e) { return e.Message(); }
#endif

// The kind a caught core error has: in the library the class tells, natively the field.
#ifdef _WIN32
inline bool IsCoreReadError(const Exception& e) { return dynamic_cast<const EReadError*>(&e) != nullptr; }
#else
inline bool IsCoreReadError(const TNativeCoreError& e) { return e.Kind() == TCoreError::Read; }
#endif

} // namespace tamrel
