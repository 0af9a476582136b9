// How the portable cores of the add-ins raise.
//
// The template engine's text handling and the Object Pascal tokenizer are plain C++, free of the
// platform and of the host layer, so that they also build natively under the sanitizers and the
// fuzzers. They raise through this one function, which each build defines once: the library
// with the host's exception classes (Exception, EReadError), the native build with standard ones.
#pragma once

#include <string>

namespace tamrel {

enum class TCoreError {
    General, // the host's plain Exception
    Read     // the host's stream read error (a bad stored form)
};

[[noreturn]] void RaiseCoreError(TCoreError kind, const std::wstring& message);

} // namespace tamrel
