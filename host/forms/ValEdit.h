// The key/value grid: a string grid of two columns that shows a list of "Key=Value" lines, one
// line a row below a title row, the keys in a fixed column and the values edited in place.
//
// Strings is the grid's content: a change of the list from code shows at once, an edit of a
// value goes into the list with each change of the editor's text (Cells and OnSetEditText as the
// string grid has them). A row without a line (the one empty row shown for an empty list) is not
// edited.
//
// An edit of a row ends when Enter is pressed in the editor, when the selection leaves the row
// (before OnSelectCell) or when the focus leaves the grid (just after, once the focus has
// settled). When the user changed the row's value since it was last validated, OnValidate gets
// the row's key and value then; it may set the value back (SetValues) or tell the user.
//
// By default the grid edits (goEditing), shows its editor whenever it has the focus
// (goAlwaysShowEditor), and lets the columns be sized with the mouse (goColSizing).
#pragma once

#include "host/Api.h"
#include "host/forms/StringGrid.h"

#include <memory>
#include <string>

namespace tamrel {

using TOnValidateEvent =
    TMethod<void(TObject* Sender, int ACol, int ARow, const std::wstring& KeyName, const std::wstring& KeyValue)>;

inline constexpr TGridOptions kDefaultValueListOptions = {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine,
                                                          goColSizing, goEditing, goAlwaysShowEditor,
                                                          goThumbTracking};

class TAMREL_API TValueListEditor : public TStringGrid {
    TAMREL_CLASS(TValueListEditor, TStringGrid)
public:
    explicit TValueListEditor(TComponent* owner);
    ~TValueListEditor() override;

    // The lines "Key=Value"; assigning copies the lines.
    TStrings* Strings() const { return FStrings.get(); }
    void SetStrings(TStrings* value) { FStrings->Assign(value); }
    // The captions of the title row, key column first ("Key" and "Value" at first).
    TStrings* TitleCaptions() const { return FTitleCaptions.get(); }
    void SetTitleCaptions(TStrings* value) { FTitleCaptions->Assign(value); }

    // The key of a row (1 is the first line); empty for a row without a line.
    std::wstring Keys(int32_t row) const;
    // The value of the first line with that key, compared without case; empty when none.
    std::wstring Values(const std::wstring& key) const;
    // Sets the value of the first line with that key (an empty value keeps the line), or appends
    // a line for a key that has none.
    void SetValues(const std::wstring& key, const std::wstring& value);
    // The row of the first line with that key; false when there is none.
    bool FindRow(const std::wstring& key, int32_t& row) const;
    // Inserts a line before the selected row (or appends it); answers its row.
    int32_t InsertRow(const std::wstring& key, const std::wstring& value, bool append);
    void DeleteRow(int32_t row);

    TOnValidateEvent OnValidate() const { return FOnValidate; }
    void SetOnValidate(TOnValidateEvent e) { FOnValidate = e; }

protected:
    bool CanEditShow() const override;
    void SetEditText(int32_t ACol, int32_t ARow, const std::wstring& Value) override;
    bool SelectCell(int32_t ACol, int32_t ARow) override;
    void KeyPress(wchar_t& key) override;
    // A click on a key selects the row.
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void DoExit() override;
    void CMValidateAfterExit(TMessage& m);

private:
    void StringsChanged(TObject* sender);
    // Rows and cells anew from the lines and the titles; the selection stays within the rows.
    void Refresh();
    // The edit of the modified row ends: OnValidate.
    void ValidateEdit();

    std::unique_ptr<TStringList> FStrings;
    std::unique_ptr<TStringList> FTitleCaptions;
    bool FWriting = false;        // the grid writes an edited value into the lines
    int32_t FModifiedRow = -1;    // the row whose value the user changed since its validation
    TOnValidateEvent FOnValidate;
};

} // namespace tamrel
