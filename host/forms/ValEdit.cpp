#include "host/forms/ValEdit.h"

#include <algorithm>

namespace tamrel {

namespace {

// Posted to the grid when the focus left it during an edit: the edit is validated once the focus
// has settled (a box shown while the focus moves would take it from the window that gets it).
constexpr UINT CM_VALIDATEAFTEREXIT = CM_BASE + 0x7F0;

std::wstring KeyOf(const std::wstring& line) { return line.substr(0, line.find(L'=')); }

std::wstring ValueOf(const std::wstring& line) {
    const size_t p = line.find(L'=');
    return p == std::wstring::npos ? std::wstring() : line.substr(p + 1);
}

} // namespace

TAMREL_IMPLEMENT_CLASS(TValueListEditor) {
    b.Object(L"Strings", &TValueListEditor::Strings);
    b.Object(L"TitleCaptions", &TValueListEditor::TitleCaptions);
    b.Event(L"OnValidate", &TValueListEditor::OnValidate, &TValueListEditor::SetOnValidate);
    b.Message<&TValueListEditor::CMValidateAfterExit>(CM_VALIDATEAFTEREXIT);
}

TValueListEditor::TValueListEditor(TComponent* owner)
    : TStringGrid(owner), FStrings(new TStringList), FTitleCaptions(new TStringList) {
    SetColCount(2);
    SetFixedCols(1);
    SetRowCount(2);
    SetFixedRows(1);
    SetDefaultColWidth(150);
    SetOptions(kDefaultValueListOptions);
    FTitleCaptions->Add(L"Key");
    FTitleCaptions->Add(L"Value");
    const TNotifyEvent changed = TNotifyEvent::Of<&TValueListEditor::StringsChanged>(this);
    FStrings->SetOnChange(changed);
    FTitleCaptions->SetOnChange(changed);
    Refresh();
}

TValueListEditor::~TValueListEditor() {
    FStrings->SetOnChange(nullptr);
    FTitleCaptions->SetOnChange(nullptr);
}

std::wstring TValueListEditor::Keys(int32_t row) const {
    return row >= 1 && row <= FStrings->Count() ? KeyOf(FStrings->Get(row - 1)) : std::wstring();
}

bool TValueListEditor::FindRow(const std::wstring& key, int32_t& row) const {
    for (int i = 0; i < FStrings->Count(); ++i)
        if (AnsiCompareText(KeyOf(FStrings->Get(i)), key) == 0) {
            row = i + 1;
            return true;
        }
    row = -1;
    return false;
}

std::wstring TValueListEditor::Values(const std::wstring& key) const {
    int32_t row = -1;
    return FindRow(key, row) ? ValueOf(FStrings->Get(row - 1)) : std::wstring();
}

void TValueListEditor::SetValues(const std::wstring& key, const std::wstring& value) {
    int32_t row = -1;
    if (FindRow(key, row)) FStrings->Put(row - 1, KeyOf(FStrings->Get(row - 1)) + L"=" + value);
    else FStrings->Add(key + L"=" + value);
}

int32_t TValueListEditor::InsertRow(const std::wstring& key, const std::wstring& value, bool append) {
    const int at = append || Row() < 1 ? FStrings->Count() : std::min(Row() - 1, FStrings->Count());
    FStrings->Insert(at, key + L"=" + value);
    return at + 1;
}

void TValueListEditor::DeleteRow(int32_t row) {
    if (row >= 1 && row <= FStrings->Count()) FStrings->Delete(row - 1);
}

void TValueListEditor::StringsChanged(TObject*) {
    if (!FWriting) Refresh();
}

void TValueListEditor::Refresh() {
    // What the user typed is replaced by the program's lines.
    FModifiedRow = -1;
    const int lines = FStrings->Count();
    SetRowCount(std::max(lines, 1) + 1);
    for (int32_t col = 0; col < 2; ++col)
        SetCells(col, 0, col < FTitleCaptions->Count() ? FTitleCaptions->Get(col) : std::wstring());
    for (int32_t row = 1; row < RowCount(); ++row) {
        const std::wstring line = row <= lines ? FStrings->Get(row - 1) : std::wstring();
        SetCells(0, row, KeyOf(line));
        SetCells(1, row, ValueOf(line));
    }
    const TGridRect selection = Selection();
    const int32_t row = std::clamp(selection.Top, 1, RowCount() - 1);
    if (row != selection.Top || selection.Left != 1) SetSelection(TGridRect{1, row, 1, row});
}

bool TValueListEditor::CanEditShow() const { return Row() >= 1 && Row() <= FStrings->Count(); }

void TValueListEditor::SetEditText(int32_t ACol, int32_t ARow, const std::wstring& Value) {
    if (ARow >= 1 && ARow <= FStrings->Count()) {
        FWriting = true;
        TScopeExit written([this] { FWriting = false; });
        FStrings->Put(ARow - 1, KeyOf(FStrings->Get(ARow - 1)) + L"=" + Value);
        FModifiedRow = ARow;
    }
    TStringGrid::SetEditText(ACol, ARow, Value);
}

void TValueListEditor::ValidateEdit() {
    const int32_t row = FModifiedRow;
    FModifiedRow = -1;
    if (row < 1 || row > FStrings->Count() || !FOnValidate) return;
    const std::wstring line = FStrings->Get(row - 1);
    FOnValidate(this, 1, row, KeyOf(line), ValueOf(line));
}

bool TValueListEditor::SelectCell(int32_t ACol, int32_t ARow) {
    if (FModifiedRow >= 0 && ARow != FModifiedRow) ValidateEdit();
    return TStringGrid::SelectCell(ACol, ARow);
}

void TValueListEditor::KeyPress(wchar_t& key) {
    if (key == L'\r' && FModifiedRow >= 0) ValidateEdit();
    TStringGrid::KeyPress(key);
}

void TValueListEditor::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    int32_t col = -1, row = -1;
    const bool onKey = button == mbLeft && MouseToCell(x, y, col, row) && col == 0 && row >= FixedRows();
    TStringGrid::MouseDown(button, shift, x, y);
    if (onKey) MoveTo(1, row);
}

void TValueListEditor::DoExit() {
    TStringGrid::DoExit();
    if (FModifiedRow >= 0 && HandleAllocated()) PostMessageW(Handle(), CM_VALIDATEAFTEREXIT, 0, 0);
}

void TValueListEditor::CMValidateAfterExit(TMessage&) {
    if (FModifiedRow >= 0) ValidateEdit();
}

} // namespace tamrel
