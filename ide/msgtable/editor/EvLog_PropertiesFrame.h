// The right-hand frame of the "Properties" node: the document-wide settings of a message document
// (journal, event source, categories, locales, version information). It is no view of the
// document: it reads the document when it is given one and writes every edit straight into it.
#pragma once

#include "host/forms/Forms.h"
#include "host/forms/ListView.h"
#include "host/forms/StdCtrls.h"
#include "host/forms/ValEdit.h"
#include "ide/msgtable/model/EvLog_Document.h"

#include <string>

namespace tamrel::evlog {

class TPropertiesFrame : public TFrame {
    TAMREL_CLASS(TPropertiesFrame, TFrame)
public:
    explicit TPropertiesFrame(TComponent* owner);

    TEvLogDocument* Document() const { return FDocument; }
    // Shows the document's settings; the controls' own events write nothing while it does.
    void SetDocument(TEvLogDocument* value);
    // Set while the frame itself changes its controls or the document.
    bool Updating() const { return FUpdating; }

    TComboBox* cbJournal = nullptr;
    TEdit* edEventSource = nullptr;
    // Why the event source typed last was not taken; empty while it was.
    TLabel* lbEventSourceRefused = nullptr;
    TCheckBox* cbUseCategories = nullptr;
    TListView* lvLocales = nullptr;
    TButton* bnEditLocales = nullptr;
    // Rows 1 to 10: the six version texts, then the four parts of the file version.
    TValueListEditor* vleVersion = nullptr;

    void cbJournalChange(TObject* Sender);
    void edEventSourceChange(TObject* Sender);
    void cbUseCategoriesClick(TObject* Sender);
    void bnEditLocalesClick(TObject* Sender);
    // A part of the file version is taken when it is a number from 1 to 65,535, exactly "0" or
    // empty (0); any other text puts the document's value back into the cell.
    void vleVersionSetEditText(TObject* Sender, int ACol, int ARow, const std::wstring& Value);

private:
    class TUpdatingScope;
    void FillLocales();
    void ShowVersionValue(int32_t row);

    TEvLogDocument* FDocument = nullptr;
    bool FUpdating = false;
};

} // namespace tamrel::evlog
