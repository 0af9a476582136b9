// Private copies of Windows security structures for the center components, and the readable
// text of the calling thread's last OS error.
//
// Every Duplicate routine hands back a new block from the centers' allocator in P (nil input:
// P nil and Size 0); the receiver owns it and frees it with CenterFreeMem. An absolute
// descriptor made here is one block (descriptor record, DACL, SACL, owner, group), so freeing
// that one block frees every part.
#pragma once

#include <windows.h>
#include <ntsecapi.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/Api.h"

namespace tamrel {

// The allocator of every block the centers own or hand out. CenterGetMem raises std::bad_alloc
// when memory runs out; CenterFreeMem accepts nil.
TAMREL_API void* CenterGetMem(size_t size);
TAMREL_API void CenterFreeMem(void* p);

struct TCenterMemDeleter {
    void operator()(void* p) const { CenterFreeMem(p); }
};
// One owned block of the centers' allocator.
using TCenterBlock = std::unique_ptr<void, TCenterMemDeleter>;

TAMREL_API void DuplicateSID(PSID Sid, void*& P, uint32_t& Size);
TAMREL_API void DuplicatePACL(PACL Acl, PACL& P, uint32_t& Size);
// From a self-relative descriptor to an absolute one in one block. When the final conversion
// fails the block stays in P for the caller to free.
TAMREL_API void DuplicateSDRelativeToAbsolute(PSECURITY_DESCRIPTOR SD, void*& P, uint32_t& Size);
TAMREL_API void DuplicateSDAbsoluteToRelative(PSECURITY_DESCRIPTOR SD, void*& P, uint32_t& Size);
// One block: the string header immediately followed by MaximumLength bytes of text storage.
// A record whose Length is odd, exceeds MaximumLength, or has text but no buffer is refused
// with an exception (P stays nil).
TAMREL_API void DuplicateLsaUnicodeString(PLSA_UNICODE_STRING S, PLSA_UNICODE_STRING& P, uint32_t& Size);
// The same for a record whose buffer holds bytes rather than text (the value of an LSA secret):
// an odd Length is copied as it stands.
TAMREL_API void DuplicateLsaBytes(PLSA_UNICODE_STRING S, PLSA_UNICODE_STRING& P, uint32_t& Size);

// The text of GetLastError: the host's unknown-error text for 0, else the host's OS-error text
// with the code and the system message. Call it before any other OS call on the thread.
TAMREL_API std::wstring RkLastWin32Error();

// Runs one of the Duplicate routines and answers its block owned, also when the routine raises
// after it allocated.
template <class T, class F> TCenterBlock OwnedDuplicate(F duplicate, uint32_t& size) {
    T* p = nullptr;
    try {
        duplicate(p, size);
    } catch (...) {
        CenterFreeMem(p);
        throw;
    }
    return TCenterBlock(p);
}

inline TCenterBlock DuplicateSidBlock(PSID sid, uint32_t& size) {
    return OwnedDuplicate<void>([sid](void*& p, uint32_t& s) { DuplicateSID(sid, p, s); }, size);
}
inline TCenterBlock DuplicateAclBlock(PACL acl, uint32_t& size) {
    return OwnedDuplicate<ACL>([acl](PACL& p, uint32_t& s) { DuplicatePACL(acl, p, s); }, size);
}
inline TCenterBlock RelativeToAbsoluteBlock(PSECURITY_DESCRIPTOR sd, uint32_t& size) {
    return OwnedDuplicate<void>([sd](void*& p, uint32_t& s) { DuplicateSDRelativeToAbsolute(sd, p, s); }, size);
}
inline TCenterBlock AbsoluteToRelativeBlock(PSECURITY_DESCRIPTOR sd, uint32_t& size) {
    return OwnedDuplicate<void>([sd](void*& p, uint32_t& s) { DuplicateSDAbsoluteToRelative(sd, p, s); }, size);
}

} // namespace tamrel
