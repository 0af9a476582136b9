// Exception boundaries: the frames where the system calls us (a service's control handler and
// main routine, a window procedure, a thread's entry routine, a console handler) and nothing may
// escape. Every one of them has the same shape:
//
//     CatchLog([&] { ...the work... }, [&](const std::wstring& message) { ...log it... });
//
// The report gets the exception's message text (or, when it takes one, the exception itself) and
// logs it where that frame's rules say. A report that fails in turn (out of memory cannot even
// build the text) falls back to a fixed line on the debugger output and stderr: a failure never
// vanishes without a trace.
//
// Where a failure is dropped on purpose (queue items, getters that answer a default), out of
// memory still goes on: IgnoreFailure and ValueOr never swallow std::bad_alloc.
#pragma once

#include "host/Api.h"

#include <exception>
#include <new>
#include <string>
#include <type_traits>

namespace tamrel {

// The text of an exception caught as an exception_ptr: the message of our own exception class,
// the what() text of any other standard exception, a fixed text for anything else. Empty for a
// null pointer.
TAMREL_API std::wstring ExceptionMessage(const std::exception_ptr& error);

// True for the allocator's out-of-memory failure.
TAMREL_API bool IsOutOfMemory(const std::exception_ptr& error) noexcept;

// The report of a boundary that has nobody else to tell: the message, on a line of its own, to the
// debugger output and to stderr when there is one.
TAMREL_API void ReportToDebugger(const std::wstring& message);

// The last resort of a boundary whose report failed: a fixed line, built without allocating, to
// the debugger output and to stderr when there is one.
TAMREL_API void ReportUnreportable(const std::exception_ptr& error) noexcept;

// Hands a caught exception to Report: as the exception itself when Report takes one, else as its
// message text.
template <class Report> void ReportException(const std::exception_ptr& error, Report&& report) noexcept {
    try {
        if constexpr (std::is_invocable_v<Report&, const std::exception_ptr&>) report(error);
        else report(ExceptionMessage(error));
    } catch (...) {
        ReportUnreportable(error);
    }
}

// Runs Body; whatever it raises goes to Report and no further. Answers whether Body completed.
template <class Body, class Report> bool CatchLog(Body&& body, Report&& report) noexcept {
    try {
        body();
        return true;
    } catch (...) {
        ReportException(std::current_exception(), report);
        return false;
    }
}

// Runs Body and drops its failure on purpose, except out of memory, which goes on.
template <class Body> void IgnoreFailure(Body&& body) {
    try {
        body();
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
    }
}

// Answers Body's result, or Fallback when Body raises one of the standard exceptions (our own
// included), except out of memory, which goes on.
template <class T, class Body> T ValueOr(T fallback, Body&& body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        return fallback;
    }
}

} // namespace tamrel
