#include "ide/msgtable/editor/EvLog_LocalesForm.h"

#include "host/SysUtils.h"

#include <algorithm>

namespace tamrel::evlog {

TAMREL_IMPLEMENT_CLASS(TLocalesForm) { b.Method<&TLocalesForm::FormCreate>(L"FormCreate"); }

TLocalesForm::TLocalesForm(TComponent* owner) : TForm(owner) {
    SetCaption(L"Select languages to be used");
    SetBorderStyle(bsDialog);
    SetPosition(poDesktopCenter);
    SetClientWidth(290);
    SetClientHeight(366);

    Label1 = Create<TLabel>(this);
    Label1->SetParent(this);
    Label1->SetBounds(8, 8, 120, 17);
    Label1->SetCaption(L"&Available languages");

    LV = Create<TListView>(this);
    LV->SetParent(this);
    LV->SetBounds(8, 26, 274, 300);
    LV->SetViewStyle(vsReport);
    LV->SetCheckboxes(true);
    LV->SetReadOnly(true);
    LV->SetHideSelection(false);
    TListColumn* column = LV->Columns()->Add();
    column->SetCaption(L"Language");
    column->SetWidth(250);
    Label1->SetFocusControl(LV);

    bnOK = Create<TButton>(this);
    bnOK->SetParent(this);
    bnOK->SetBounds(126, 334, 75, 25);
    bnOK->SetCaption(L"OK");
    bnOK->SetModalResult(mrOk);
    bnOK->SetDefault(true);

    bnCancel = Create<TButton>(this);
    bnCancel->SetParent(this);
    bnCancel->SetBounds(207, 334, 75, 25);
    bnCancel->SetCaption(L"Cancel");
    bnCancel->SetModalResult(mrCancel);
    bnCancel->SetCancel(true);

    SetActiveControl(LV);
    SetOnCreate(TNotifyEvent::Of<&TLocalesForm::FormCreate>(this));
}

TListItem* TLocalesForm::AddItem(TLocale* locale, const std::wstring& caption) {
    TListItem* item = LV->Items()->Add();
    item->SetCaption(caption);
    item->SetData(locale);
    return item;
}

void TLocalesForm::FormCreate(TObject*) {
    TLocales& all = AllLocales();
    TListItems& items = *LV->Items();
    items.BeginUpdate();
    TScopeExit end([&items] { items.EndUpdate(); });
    for (int i = 0; i < all.Count(); ++i) {
        TLocale* locale = all.Locales(i);
        AddItem(locale, UIntToStr(locale->Locale) + L" - " + locale->Language + L" (" + locale->Country + L")");
    }
}

void TLocalesForm::CheckLocales(const std::vector<uint32_t>& locales) {
    std::vector<uint32_t> listed;
    for (int i = 0; i < LV->Items()->Count(); ++i) {
        TListItem* item = LV->Items()->Item(i);
        const uint32_t lcid = static_cast<TLocale*>(item->Data())->Locale;
        listed.push_back(lcid);
        item->SetChecked(std::find(locales.begin(), locales.end(), lcid) != locales.end());
    }
    // A document may carry texts of a locale this system does not know; leaving it out here
    // would drop it (and its texts from the built library) on a plain OK.
    for (uint32_t lcid : locales) {
        if (std::find(listed.begin(), listed.end(), lcid) != listed.end()) continue;
        listed.push_back(lcid);
        auto unknown = std::make_unique<TLocale>();
        unknown->Index = -1;
        unknown->Locale = lcid;
        AddItem(unknown.get(), UIntToStr(lcid) + L" - Locale unknown to the system")->SetChecked(true);
        FUnknown.push_back(std::move(unknown));
    }
}

std::vector<uint32_t> TLocalesForm::CheckedLocales() const {
    std::vector<uint32_t> locales;
    for (int i = 0; i < LV->Items()->Count(); ++i)
        if (TListItem* item = LV->Items()->Item(i); item->Checked())
            locales.push_back(static_cast<TLocale*>(item->Data())->Locale);
    return locales;
}

bool SelectLocales(std::vector<uint32_t>& locales) {
    TOwnedPtr<TLocalesForm> form(Create<TLocalesForm>(nullptr));
    form->CheckLocales(locales);
    if (form->ShowModal() != mrOk) return false;
    locales = form->CheckedLocales();
    return true;
}

} // namespace tamrel::evlog
