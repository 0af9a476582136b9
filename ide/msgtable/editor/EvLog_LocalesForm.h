// The dialog in which the locales a document uses are chosen from all locales the system knows.
#pragma once

#include "host/forms/Forms.h"
#include "host/forms/ListView.h"
#include "host/forms/StdCtrls.h"
#include "ide/msgtable/model/EvLog_Locales.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tamrel::evlog {

// One checkable item per locale of AllLocales, in its order, captioned "1033 - English (United
// States)"; each item's data is its TLocale.
class TLocalesForm : public TForm {
    TAMREL_CLASS(TLocalesForm, TForm)
public:
    explicit TLocalesForm(TComponent* owner);

    TLabel* Label1 = nullptr;
    TListView* LV = nullptr;
    TButton* bnOK = nullptr;
    TButton* bnCancel = nullptr;

    void FormCreate(TObject* Sender);

    // Checks the items of the locales in the list. A locale the system does not know has no item
    // of its own: it gets one, checked, after the others, so that OK keeps it.
    void CheckLocales(const std::vector<uint32_t>& locales);
    // The locales of the checked items, in the order of the items.
    std::vector<uint32_t> CheckedLocales() const;

private:
    TListItem* AddItem(TLocale* locale, const std::wstring& caption);
    // The stand-in entries of the unknown locales, which AllLocales does not hold.
    std::vector<std::unique_ptr<TLocale>> FUnknown;
};

// Checks the locales of the list in the dialog and shows it; on OK the list holds the checked
// locales in the dialog's order and the result is true. Cancel leaves the list as it was.
bool SelectLocales(std::vector<uint32_t>& locales);

} // namespace tamrel::evlog
