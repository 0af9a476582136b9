#include "ide/editors/Tamrel_Property_Dependencies.h"

#include "host/Handles.h"
#include "host/forms/Hints.h"
#include "host/SysUtils.h"

#include <algorithm>

namespace tamrel {

namespace {

constexpr int kServiceImage = 0, kGroupImage = 1;
constexpr wchar_t kUnknownDisplayName[] = L"???????";
constexpr wchar_t kNewCaption[] = L"------";
// EnumServicesStatusW may find more services on each try while they are being installed, and
// while services are removed beside it a manager may fail the call outright (Wine's answers 6 now
// and then): each try is a new call on a manager opened anew.
constexpr int kEnumerationTries = 8;

[[noreturn]] void RaiseSystemMessage(DWORD code) { throw Exception(SysErrorMessage(code)); }

const wchar_t* TypeText(int image) { return image == kGroupImage ? L"Group" : L"Service"; }

// A service (a gear) or a group (two boxes) in the image list's size.
void AddTypeImages(TImageList* images) {
    const int size = images->Width();
    const TColor back = clFuchsia;
    for (int image : {kServiceImage, kGroupImage}) {
        TBitmap picture;
        picture.SetSize(size, size);
        TCanvas* c = picture.Canvas();
        c->Brush()->SetColor(back);
        c->FillRect(RECT{0, 0, size, size});
        const int unit = std::max(1, size / 8);
        if (image == kServiceImage) {
            c->Brush()->SetColor(clNavy);
            c->FillRect(RECT{unit * 3, 0, unit * 5, size});
            c->FillRect(RECT{0, unit * 3, size, unit * 5});
            c->FillRect(RECT{unit, unit, size - unit, size - unit});
            c->Brush()->SetColor(clAqua);
            c->FillRect(RECT{unit * 3, unit * 3, unit * 5, unit * 5});
        } else {
            c->Brush()->SetColor(clOlive);
            c->FillRect(RECT{0, 0, unit * 5, unit * 5});
            c->Brush()->SetColor(clGreen);
            c->FillRect(RECT{unit * 3, unit * 3, size, size});
        }
        images->AddMasked(&picture, back);
    }
}

bool SameCaption(const std::wstring& a, const std::wstring& b) { return SameText(a, b); }

} // namespace

const TPropInfo* FindPublishedProperty(const TObject* component, const std::wstring& name) {
    if (!component) return nullptr;
    for (const TPropInfo* p : component->ClassInfo().Properties())
        if (SameText(p->Name, name)) return p;
    return nullptr;
}

std::vector<std::wstring> ReadServiceGroups() {
    TRegKey key;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\ServiceGroupOrder", 0,
                                KEY_QUERY_VALUE, key.Put());
    if (result != ERROR_SUCCESS) RaiseSystemMessage(static_cast<DWORD>(result));
    DWORD type = 0, size = 0;
    result = RegQueryValueExW(key.Get(), L"List", nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) RaiseSystemMessage(static_cast<DWORD>(result));
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    result = RegQueryValueExW(key.Get(), L"List", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (result != ERROR_SUCCESS) RaiseSystemMessage(static_cast<DWORD>(result));
    // Only the characters read count, whatever their terminators: the value may be of any type
    // and size.
    const size_t end = std::min<size_t>(size / sizeof(wchar_t), data.size());
    std::vector<std::wstring> groups;
    for (size_t start = 0; start < end;) {
        size_t stop = start;
        while (stop < end && data[stop] != L'\0') ++stop;
        if (stop == start) break; // the empty string ends the list
        groups.emplace_back(data.data() + start, stop - start);
        start = stop + 1;
    }
    return groups;
}

std::vector<TServiceName> ReadServiceNames() {
    std::vector<uint8_t> buffer(1);
    DWORD needed = 0, count = 0;
    for (int attempt = 0;; ++attempt) {
        TScHandle manager(OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_ENUMERATE_SERVICE));
        if (!manager) RaiseSystemMessage(GetLastError());
        DWORD resume = 0;
        needed = 0;
        if (EnumServicesStatusW(manager.Get(), SERVICE_TYPE_ALL, SERVICE_STATE_ALL,
                                reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data()), static_cast<DWORD>(buffer.size()),
                                &needed, &count, &resume))
            break;
        const DWORD error = GetLastError();
        if (attempt + 1 >= kEnumerationTries) RaiseSystemMessage(error);
        if (error == ERROR_MORE_DATA)
            buffer.assign(std::max<size_t>(needed, buffer.size() + 1) + sizeof(ENUM_SERVICE_STATUSW), 0);
    }
    std::vector<TServiceName> services;
    const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        services.push_back({entries[i].lpServiceName ? entries[i].lpServiceName : L"",
                            entries[i].lpDisplayName ? entries[i].lpDisplayName : L""});
    return services;
}

// ---------------------------------------------------------------------------------------------
// The form

TAMREL_IMPLEMENT_CLASS(TDependenciesEditorForm) {
    using F = TDependenciesEditorForm;
    b.Field(L"LbDependencies", &F::LbDependencies);
    b.Field(L"LVDependencies", &F::LVDependencies);
    b.Field(L"LbAvailable", &F::LbAvailable);
    b.Field(L"LVAvailable", &F::LVAvailable);
    b.Field(L"SbAdd", &F::SbAdd);
    b.Field(L"SbDelete", &F::SbDelete);
    b.Field(L"SbDeleteAll", &F::SbDeleteAll);
    b.Field(L"BnNewService", &F::BnNewService);
    b.Field(L"BnNewGroup", &F::BnNewGroup);
    b.Field(L"BnDelete", &F::BnDelete);
    b.Field(L"BnOK", &F::BnOK);
    b.Field(L"BnCancel", &F::BnCancel);
    b.Field(L"SmallImages", &F::SmallImages);
    b.Field(L"LargeImages", &F::LargeImages);
    b.Method<&F::FormCreate>(L"FormCreate");
    b.Method<&F::SbAddClick>(L"SbAddClick");
    b.Method<&F::SbDeleteClick>(L"SbDeleteClick");
    b.Method<&F::SbDeleteAllClick>(L"SbDeleteAllClick");
    b.Method<&F::BnNewServiceClick>(L"BnNewServiceClick");
    b.Method<&F::BnNewGroupClick>(L"BnNewGroupClick");
    b.Method<&F::LVDependenciesEditing>(L"LVDependenciesEditing");
    b.Method<&F::LVDependenciesEdited>(L"LVDependenciesEdited");
    b.Method<&F::LVDependenciesCancelEdit>(L"LVDependenciesCancelEdit");
    b.Method<&F::LVDependenciesDeletion>(L"LVDependenciesDeletion");
    b.Method<&F::LVDependenciesKeyUp>(L"LVDependenciesKeyUp");
    b.Method<&F::ListDragOver>(L"ListDragOver");
    b.Method<&F::LVDependenciesDragDrop>(L"LVDependenciesDragDrop");
    b.Method<&F::LVAvailableDragDrop>(L"LVAvailableDragDrop");
}

TDependenciesEditorForm::TDependenciesEditorForm(TComponent* AOwner)
    : TForm(AOwner), FDependsOnServices(std::make_unique<TStringList>()), FDependsOnGroups(std::make_unique<TStringList>()) {
    RegisterClasses({&TLabel::StaticClassInfo(), &TListView::StaticClassInfo(), &TSpeedButton::StaticClassInfo(),
                     &TButton::StaticClassInfo(), &TImageList::StaticClassInfo()});
}

TDependenciesEditorForm::~TDependenciesEditorForm() { DestroyComponents(); }

void TDependenciesEditorForm::FormCreate(TObject*) {
    AddTypeImages(SmallImages);
    AddTypeImages(LargeImages);
    PmDependencies = MakeViewMenu(LVDependencies);
    PmAvailable = MakeViewMenu(LVAvailable);
    FillAvailable();
    ShowControlHints(this);
}

TPopupMenu* TDependenciesEditorForm::MakeViewMenu(TListView* view) {
    TPopupMenu* menu = Create<TPopupMenu>(this);
    menu->SetOnPopup(TNotifyEvent::Of<&TDependenciesEditorForm::ViewPopup>(this));
    const wchar_t* captions[] = {L"View &Large icons", L"View &Small icons", L"View L&ist", L"View D&etails"};
    for (int style = vsIcon; style <= vsReport; ++style) {
        TMenuItem* item = Create<TMenuItem>(this);
        item->SetCaption(captions[style]);
        item->SetRadioItem(true);
        item->SetTag(style);
        item->SetChecked(style == vsReport);
        item->SetOnClick(TNotifyEvent::Of<&TDependenciesEditorForm::ViewClick>(this));
        menu->Items()->Add(item);
    }
    view->SetPopupMenu(menu);
    return menu;
}

void TDependenciesEditorForm::ViewPopup(TObject* Sender) {
    auto* menu = static_cast<TPopupMenu*>(Sender);
    TListView* view = menu == PmDependencies ? LVDependencies : LVAvailable;
    for (int i = 0; i < menu->Items()->Count(); ++i)
        if (menu->Items()->Items(i)->Tag() == view->ViewStyle()) menu->Items()->Items(i)->SetChecked(true);
}

void TDependenciesEditorForm::ViewClick(TObject* Sender) {
    auto* item = static_cast<TMenuItem*>(Sender);
    TMenuItem* parent = item->Parent();
    TListView* view = parent == PmDependencies->Items() ? LVDependencies : LVAvailable;
    view->SetViewStyle(static_cast<TViewStyle>(item->Tag()));
    item->SetChecked(true);
}

TListItem* TDependenciesEditorForm::AddItem(TListView* view, const std::wstring& caption, int image,
                                            const std::wstring& display) {
    TListItem* item = view->Items()->Add();
    item->SetCaption(caption);
    item->SetImageIndex(image);
    item->SubItems()->Add(TypeText(image));
    item->SubItems()->Add(display);
    return item;
}

void TDependenciesEditorForm::FillAvailable() {
    LVAvailable->Items()->BeginUpdate();
    TScopeExit filled([this] { LVAvailable->Items()->EndUpdate(); });
    for (const std::wstring& group : ReadServiceGroups()) AddItem(LVAvailable, group, kGroupImage, L"");
    for (const TServiceName& service : ReadServiceNames()) AddItem(LVAvailable, service.Name, kServiceImage, service.DisplayName);
}

std::wstring TDependenciesEditorForm::LookUpDisplayName(const std::wstring& caption, int image) const {
    for (int i = 0; i < LVAvailable->Items()->Count(); ++i) {
        TListItem* item = LVAvailable->Items()->Item(i);
        if (SameCaption(item->Caption(), caption) && item->ImageIndex() == image)
            return item->SubItems()->Count() > 1 ? item->SubItems()->Get(1) : std::wstring();
    }
    return kUnknownDisplayName;
}

void TDependenciesEditorForm::SbAddClick(TObject*) {
    LVDependencies->Items()->BeginUpdate();
    TScopeExit added([this] { LVDependencies->Items()->EndUpdate(); });
    for (int i = 0; i < LVAvailable->Items()->Count(); ++i) {
        TListItem* source = LVAvailable->Items()->Item(i);
        if (!source->Selected()) continue;
        bool listed = false;
        for (int j = 0; j < LVDependencies->Items()->Count() && !listed; ++j)
            listed = SameCaption(LVDependencies->Items()->Item(j)->Caption(), source->Caption());
        if (listed) continue;
        AddItem(LVDependencies, source->Caption(), source->ImageIndex(),
                source->SubItems()->Count() > 1 ? source->SubItems()->Get(1) : std::wstring());
    }
}

void TDependenciesEditorForm::SbDeleteClick(TObject*) {
    LVDependencies->Items()->BeginUpdate();
    TScopeExit deleted([this] { LVDependencies->Items()->EndUpdate(); });
    for (int i = LVDependencies->Items()->Count(); i-- > 0;)
        if (LVDependencies->Items()->Item(i)->Selected()) LVDependencies->Items()->Delete(i);
}

void TDependenciesEditorForm::SbDeleteAllClick(TObject*) { LVDependencies->Items()->Clear(); }

void TDependenciesEditorForm::AddNew(int image) {
    auto taken = [this](const std::wstring& caption) {
        for (int i = 0; i < LVDependencies->Items()->Count(); ++i)
            if (SameCaption(LVDependencies->Items()->Item(i)->Caption(), caption)) return true;
        return false;
    };
    std::wstring caption = kNewCaption;
    for (int n = 1; taken(caption); ++n) caption = Format(L"------(%d)", n);
    AddItem(LVDependencies, caption, image, kUnknownDisplayName);
}

void TDependenciesEditorForm::BnNewServiceClick(TObject*) { AddNew(kServiceImage); }
void TDependenciesEditorForm::BnNewGroupClick(TObject*) { AddNew(kGroupImage); }

void TDependenciesEditorForm::LVDependenciesEditing(TObject*, TListItem* Item, bool&) { EditedItem = Item; }

void TDependenciesEditorForm::LVDependenciesEdited(TObject*, TListItem* Item, std::wstring& S) {
    EditedItem = nullptr;
    // A blank name would end the service record's list of names there: the edit is refused.
    if (Trim(S).empty()) {
        S = Item->Caption();
        return;
    }
    if (Item->SubItems()->Count() < 2) Item->SubItems()->Add(L"");
    Item->SubItems()->Put(1, LookUpDisplayName(S, Item->ImageIndex()));
}

// An edit that ended without a new caption is over too.
void TDependenciesEditorForm::LVDependenciesCancelEdit(TObject*, TListItem*) { EditedItem = nullptr; }

void TDependenciesEditorForm::LVDependenciesDeletion(TObject*, TListItem* Item) {
    if (Item == EditedItem) EditedItem = nullptr;
}

void TDependenciesEditorForm::LVDependenciesKeyUp(TObject*, WORD& Key, TShiftState) {
    if (LVDependencies->SelCount() != 1) return;
    if (Key == VK_F2 && !EditedItem) {
        LVDependencies->Selected()->EditCaption();
    } else if (Key == VK_RETURN && EditedItem) {
        const RECT r = EditedItem->DisplayRect();
        const LPARAM at = MAKELPARAM(r.left, r.top);
        PostMessageW(LVDependencies->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(LVDependencies->Handle(), WM_LBUTTONUP, 0, at);
        EditedItem->SetSelected(true);
    }
}

void TDependenciesEditorForm::ListDragOver(TObject* Sender, TObject* Source, int, int, TDragState, bool& Accept) {
    Accept = (Sender == LVDependencies && Source == LVAvailable) || (Sender == LVAvailable && Source == LVDependencies);
}

void TDependenciesEditorForm::LVDependenciesDragDrop(TObject*, TObject* Source, int, int) {
    if (Source == LVAvailable) SbAddClick(Source);
}

void TDependenciesEditorForm::LVAvailableDragDrop(TObject*, TObject* Source, int, int) {
    if (Source == LVDependencies) SbDeleteClick(Source);
}

TStrings* TDependenciesEditorForm::ReadList(TStringList& list, int image) {
    list.Clear();
    for (int i = 0; i < LVDependencies->Items()->Count(); ++i) {
        TListItem* item = LVDependencies->Items()->Item(i);
        if (item->ImageIndex() == image) list.Add(item->Caption());
    }
    return &list;
}

void TDependenciesEditorForm::WriteList(TStrings* value, int image) {
    LVDependencies->Items()->BeginUpdate();
    TScopeExit written([this] { LVDependencies->Items()->EndUpdate(); });
    auto inList = [value](const std::wstring& caption) {
        for (int i = 0; i < value->Count(); ++i)
            if (SameCaption(value->Get(i), caption)) return true;
        return false;
    };
    for (int i = LVDependencies->Items()->Count(); i-- > 0;) {
        TListItem* item = LVDependencies->Items()->Item(i);
        if (item->ImageIndex() == image && !inList(item->Caption())) LVDependencies->Items()->Delete(i);
    }
    for (int i = 0; i < value->Count(); ++i) {
        const std::wstring name = value->Get(i);
        TListItem* first = nullptr;
        for (int j = 0; j < LVDependencies->Items()->Count() && !first; ++j)
            if (SameCaption(LVDependencies->Items()->Item(j)->Caption(), name)) first = LVDependencies->Items()->Item(j);
        if (!first || first->ImageIndex() != image) AddItem(LVDependencies, name, image, LookUpDisplayName(name, image));
    }
}

TStrings* TDependenciesEditorForm::DependsOnServices() { return ReadList(*FDependsOnServices, kServiceImage); }
void TDependenciesEditorForm::SetDependsOnServices(TStrings* Value) { WriteList(Value, kServiceImage); }
TStrings* TDependenciesEditorForm::DependsOnGroups() { return ReadList(*FDependsOnGroups, kGroupImage); }
void TDependenciesEditorForm::SetDependsOnGroups(TStrings* Value) { WriteList(Value, kGroupImage); }

// ---------------------------------------------------------------------------------------------
// The property editor

TPropertyAttributes TDependenciesPropertyEditor::GetAttributes() { return {paDialog}; }

std::wstring TDependenciesPropertyEditor::GetValue() { return L"(TStrings)"; }

void TDependenciesPropertyEditor::Edit() {
    const TClassInfo* serviceClass = GetClass(L"TNTService");
    auto* service = dynamic_cast<TComponent*>(GetComponent(0));
    if (!service) return;
    if (!serviceClass || !service->InheritsFrom(*serviceClass))
        throw Exception(L"Can not edit \"%s\"", service->ClassName());
    const TPropInfo* props[2] = {};
    const wchar_t* names[2] = {L"DependsOnServices", L"DependsOnGroups"};
    for (int i = 0; i < 2; ++i) {
        props[i] = FindPublishedProperty(service, names[i]);
        if (!props[i] || props[i]->Kind != TTypeKind::Class || !props[i]->GetObj || !props[i]->SetObj)
            throw Exception(L"Can not edit \"%s\" : property \"%s\" get/set methods are not available", service->ClassName(),
                            std::wstring(names[i]));
    }
    TOwnedPtr<TDependenciesEditorForm> form(Create<TDependenciesEditorForm>(nullptr));
    TStringList none;
    auto listOf = [&](const TPropInfo* p) {
        auto* strings = dynamic_cast<TStrings*>(p->GetObj(service));
        return strings ? strings : static_cast<TStrings*>(&none);
    };
    form->SetDependsOnServices(listOf(props[0]));
    form->SetDependsOnGroups(listOf(props[1]));
    form->SetCaption(Format(form->Caption(), service->Name()));
    if (form->ShowModal() != mrOk) return;
    props[0]->SetObj(service, form->DependsOnServices());
    props[1]->SetObj(service, form->DependsOnGroups());
    // Once, with both lists written.
    Modified();
}

void Tamrel_Property_Dependencies_DoRegister() {
    const TClassInfo* serviceClass = GetClass(L"TNTService");
    const TPropertyEditorClass editor = PropertyEditorClass<TDependenciesPropertyEditor>(L"TDependenciesPropertyEditor");
    for (const wchar_t* name : {L"DependsOnServices", L"DependsOnGroups"})
        RegisterPropertyEditor(TPropertyType::Object(TStrings::StaticClassInfo()), serviceClass, name, editor);
}

} // namespace tamrel
