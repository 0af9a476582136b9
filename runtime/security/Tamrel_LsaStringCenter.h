// A text and the LSA's UNICODE_STRING record of it, each made from the other on demand.
//
// The record the center builds is one block: the header, the text's UTF-16 characters and a
// terminating NUL that is stored but not counted (Length = MaximumLength = 2 x characters).
// The record's lengths are 16-bit byte counts, so a text of more than MaxLsaStringChars
// characters has no record: asking for one raises and leaves the text as it is.
#pragma once

#include "host/Classes.h"
#include "host/Handles.h"
#include "runtime/security/Tamrel_CenterUtils.h"

#include <windows.h>
#include <ntsecapi.h>

#include <string>
#include <vector>

namespace tamrel {

namespace detail {
TAMREL_API void CloseLsaHandle(LSA_HANDLE h);
} // namespace detail

// An LSA policy handle.
using TLsaPolicyHandle = TUniqueHandle<LSA_HANDLE, detail::CloseLsaHandle>;

// The longest text a UNICODE_STRING can describe: 65,534 bytes.
inline constexpr size_t MaxLsaStringChars = 32767;

class TAMREL_API TrkLsaUnicodeStringCenter : public TComponent {
    TAMREL_CLASS(TrkLsaUnicodeStringCenter, TComponent)
public:
    explicit TrkLsaUnicodeStringCenter(TComponent* AOwner);
    ~TrkLsaUnicodeStringCenter() override;

    // Published.
    std::wstring GetText();
    std::wstring Text() { return GetText(); }
    void SetText(const std::wstring& S);

    // The center's own record, valid until the next change of the center. Raises when the text
    // is too long for a record.
    PLSA_UNICODE_STRING GetLsaUnicodeString();
    PLSA_UNICODE_STRING LsaUnicodeString() { return GetLsaUnicodeString(); }
    // Takes a copy of P (nil: no record, empty text). A record whose Length is odd or exceeds
    // its MaximumLength is refused, and the center keeps what it held.
    void SetLsaUnicodeString(PLSA_UNICODE_STRING P);
    // Takes a copy of a record whose buffer holds bytes rather than text (the value of a
    // secret), an odd Length included; the text form then holds its whole characters, and the
    // record keeps every byte.
    void SetLsaBytes(PLSA_UNICODE_STRING P);

    // A copy the center keeps until Cleanup or destruction; the caller never frees it.
    PLSA_UNICODE_STRING GetLsaUnicodeStringCopy();
    void Cleanup();

private:
    void Modified();
    void CleanLsaString();
    void TakeRecord(TCenterBlock Copy);

    std::vector<TCenterBlock> FList;
    bool FIsText = true;
    std::wstring FText;
    bool FIsLsaString = false;
    TCenterBlock FLsaUnicodeString;
};

} // namespace tamrel
