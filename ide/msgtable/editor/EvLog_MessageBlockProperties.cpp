#include "ide/msgtable/editor/EvLog_MessageBlockProperties.h"

#include "host/MessageBox.h"
#include "host/SysUtils.h"
#include "ide/msgtable/model/EvLog_Common.h"

namespace tamrel::evlog {

namespace {

// 1 to 8 hexadecimal digits, nothing else: what fits a message id.
bool ReadHex(const std::wstring& text, uint32_t& value) {
    if (text.empty() || text.size() > 8) return false;
    uint32_t v = 0;
    for (wchar_t c : text) {
        uint32_t digit;
        if (c >= L'0' && c <= L'9') digit = c - L'0';
        else if (c >= L'A' && c <= L'F') digit = c - L'A' + 10;
        else if (c >= L'a' && c <= L'f') digit = c - L'a' + 10;
        else return false;
        v = v << 4 | digit;
    }
    value = v;
    return true;
}

TMemo* NoteMemo(TForm* form, int top, std::initializer_list<const wchar_t*> lines) {
    auto* memo = Create<TMemo>(form);
    memo->SetParent(form);
    memo->SetBounds(16, top, 520, 16 * static_cast<int>(lines.size()) + 6);
    memo->SetReadOnly(true);
    memo->SetWordWrap(false);
    memo->SetColor(clBtnFace);
    memo->SetTabStop(false);
    for (const wchar_t* line : lines) memo->Lines()->Add(line);
    return memo;
}

} // namespace

TAMREL_IMPLEMENT_CLASS(TMessageBlockProperties) {
    using F = TMessageBlockProperties;
    b.Field(L"edLowId", &F::edLowId);
    b.Field(L"edMessageNamePrefix", &F::edMessageNamePrefix);
    b.Method<&F::FormCloseQuery>(L"FormCloseQuery");
}

TMessageBlockProperties::TMessageBlockProperties(TComponent* owner) : TForm(owner) {
    SetCaption(L"Message block properties");
    SetBorderStyle(bsDialog);
    SetPosition(poDesktopCenter);
    SetClientWidth(552);
    SetClientHeight(250);

    lbLowId = Create<TLabel>(this);
    lbLowId->SetParent(this);
    lbLowId->SetBounds(8, 8, 200, 16);
    lbLowId->SetCaption(L"Block start ID");
    edLowId = Create<TEdit>(this);
    edLowId->SetParent(this);
    edLowId->SetBounds(16, 28, 120, 21);
    edLowId->SetTabStop(true);
    mLowIdNote = NoteMemo(this, 54,
                          {L"Messages in block are numerated successively. Specify the ID of the first message ",
                           L"in the block. Please note that HEX format is used."});

    lbMessageNamePrefix = Create<TLabel>(this);
    lbMessageNamePrefix->SetParent(this);
    lbMessageNamePrefix->SetBounds(8, 104, 200, 16);
    lbMessageNamePrefix->SetCaption(L"Name prefix");
    edMessageNamePrefix = Create<TEdit>(this);
    edMessageNamePrefix->SetParent(this);
    edMessageNamePrefix->SetBounds(16, 124, 260, 21);
    edMessageNamePrefix->SetTabStop(true);
    mPrefixNote = NoteMemo(this, 150,
                           {L"The prefix is used to auto-generate symbolic names for message IDs. You can specify your ",
                            L"own names for some (or even for all) block messages, all other messages will be named ",
                            L"automatically.   "});

    btOK = Create<TButton>(this);
    btOK->SetParent(this);
    btOK->SetBounds(380, 216, 75, 25);
    btOK->SetCaption(L"OK");
    btOK->SetModalResult(mrOk);
    btOK->SetDefault(true);
    btOK->SetTabStop(true);
    btCancel = Create<TButton>(this);
    btCancel->SetParent(this);
    btCancel->SetBounds(464, 216, 75, 25);
    btCancel->SetCaption(L"Cancel");
    btCancel->SetModalResult(mrCancel);
    btCancel->SetCancel(true);
    btCancel->SetTabStop(true);

    SetActiveControl(edLowId);
    SetOnCloseQuery(TCloseQueryEvent::Of<&TMessageBlockProperties::FormCloseQuery>(this));
}

std::wstring TMessageBlockProperties::CheckValues(uint32_t& lowId) const {
    const std::wstring text = Trim(edLowId->GetText());
    if (!ReadHex(text, lowId)) return Format(L"\"%s\" is not a hexadecimal message ID", text);
    if (!FMessageBlock) return {};
    // The categories block is the one block that starts at 1.
    if (lowId == 1 && FMessageBlock->LowId() != 1) return L"The ID 1 is kept for the categories block";
    const int count = FMessageBlock->Count();
    if (std::wstring error = FMessageBlock->RangeError(lowId, static_cast<uint64_t>(count)); !error.empty())
        return error;
    // The prefix starts every generated name of the source unit.
    const std::wstring prefix = edMessageNamePrefix->GetText();
    if (!prefix.empty() && !IsValidIdentifier(prefix)) return Format(L"\"%s\" is not a valid identifier", prefix);
    return FMessageBlock->DefaultNamesError(lowId, prefix, count);
}

void TMessageBlockProperties::FormCloseQuery(TObject*, bool& CanClose) {
    if (ModalResult() != mrOk) return;
    uint32_t lowId = 0;
    const std::wstring error = CheckValues(lowId);
    if (error.empty()) {
        FLowId = lowId;
        return;
    }
    CanClose = false;
    ShowMessageBox(Handle(), error, L"Error", MB_OK | MB_ICONERROR);
}

} // namespace tamrel::evlog
