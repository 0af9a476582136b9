// The dialog in which a message block's start id and name prefix are set.
#pragma once

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "ide/msgtable/model/EvLog_Messages.h"

#include <string>

namespace tamrel::evlog {

class TMessageBlockProperties : public TForm {
    TAMREL_CLASS(TMessageBlockProperties, TForm)
public:
    explicit TMessageBlockProperties(TComponent* owner);

    TLabel* lbLowId = nullptr;
    TEdit* edLowId = nullptr;
    TMemo* mLowIdNote = nullptr;
    TLabel* lbMessageNamePrefix = nullptr;
    TEdit* edMessageNamePrefix = nullptr;
    TMemo* mPrefixNote = nullptr;
    TButton* btOK = nullptr;
    TButton* btCancel = nullptr;

    // The block the values are for. OK takes the values only when they fit it among the other
    // blocks of its table; otherwise an error box tells why and the dialog stays open.
    TMessageBlock* MessageBlock() const { return FMessageBlock; }
    void SetMessageBlock(TMessageBlock* value) { FMessageBlock = value; }
    // Why the typed values cannot be taken, empty when they can; LowId is the start id read from
    // the edit then.
    std::wstring CheckValues(uint32_t& lowId) const;
    // The start id typed, once OK took it.
    uint32_t LowId() const { return FLowId; }

    void FormCloseQuery(TObject* Sender, bool& CanClose);

private:
    TMessageBlock* FMessageBlock = nullptr;
    uint32_t FLowId = 0;
};

} // namespace tamrel::evlog
