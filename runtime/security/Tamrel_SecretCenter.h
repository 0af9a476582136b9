// One named secret of a system's local security authority (LSA private data). On systems
// without the NT security model there is no LSA: the secret is kept instead, scrambled, as a
// string value under the current user's "Software\Dunmere\Tamrel\Storage" key.
#pragma once

#include "host/Classes.h"
#include "runtime/security/Tamrel_LsaStringCenter.h"

#include <string>

namespace tamrel {

class TAMREL_API TrkSecretCenter : public TComponent {
    TAMREL_CLASS(TrkSecretCenter, TComponent)
public:
    explicit TrkSecretCenter(TComponent* AOwner);
    ~TrkSecretCenter() override;

    // Published. A change of Server closes the policy handle first.
    std::wstring Server() { return FServer->Text(); }
    void SetServer(const std::wstring& S);
    std::wstring SecretName() { return FSecretName->Text(); }
    void SetSecretName(const std::wstring& S) { FSecretName->SetText(S); }
    std::wstring SecretValue() { return FSecretValue->Text(); }
    void SetSecretValue(const std::wstring& S) { FSecretValue->SetText(S); }

    // True when the secret exists; its value then goes to SecretValue, byte for byte (a value of
    // odd length reads as its whole characters and is written back whole). A missing secret leaves
    // SecretValue as it was (LSA) or empties it (registry store). Any other LSA failure raises
    // the OS error of the converted status; a stored text with a non-hexadecimal digit raises
    // EConvertError.
    bool Read();
    // Stores SecretValue under SecretName; an LSA failure raises the OS error of the converted
    // status.
    void Write();

    // The policy handle opens on the first Read or Write (NT family only) and stays open until
    // ClosePolicy, a change of Server, or destruction.
    void OpenPolicy();
    void ClosePolicy();
    bool PolicyOpen() const { return FPolicyHandle.Valid(); }

private:
    bool ReadFromRegistry();
    void WriteToRegistry();

    TLsaPolicyHandle FPolicyHandle;
    TOwnedPtr<TrkLsaUnicodeStringCenter> FServer;
    TOwnedPtr<TrkLsaUnicodeStringCenter> FSecretName;
    TOwnedPtr<TrkLsaUnicodeStringCenter> FSecretValue;
};

} // namespace tamrel
