#include "host/Classes.h"
#include "host/Streaming.h"
#include "host/Streams.h"

#include <algorithm>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// TObject

TObject::~TObject() = default;

const TClassInfo& TObject::StaticClassInfo() {
    static const TClassInfo info = TClassInfo::Make<TObject>(L"TObject", nullptr, [](TClassBuilder<TObject>&) {});
    return info;
}

void TObject::Dispatch(TMessage& message) {
    if (const TMessageHandlerInfo* h = ClassInfo().FindMessageHandler(message.Msg)) h->Handler(this, message);
    else DefaultHandler(message);
}

void TObject::DefaultHandler(TMessage&) {}

void TObject::InheritedDispatch(const TClassInfo& cls, TMessage& message) {
    const TMessageHandlerInfo* h = cls.Parent() ? cls.Parent()->FindMessageHandler(message.Msg) : nullptr;
    if (h) h->Handler(this, message);
    else DefaultHandler(message);
}

void Free(TObject* object) {
    if (!object) return;
    object->BeforeDestruction();
    delete object;
}

// ---------------------------------------------------------------------------------------------
// TPersistent

TAMREL_IMPLEMENT_CLASS(TPersistent) {}

void TPersistent::Assign(TPersistent* source) {
    if (!source) throw EConvertError(L"Cannot assign a nil to a %s", ClassName());
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) {
    std::wstring sourceName = ClassName();
    if (!dest) throw EConvertError(L"Cannot assign a %s to a nil", sourceName);
    throw EConvertError(L"Cannot assign a %s to a %s", sourceName, dest->ClassName());
}

void TPersistent::DefineProperties(TFiler&) {}

std::wstring TPersistent::GetNamePath() {
    if (auto* c = dynamic_cast<TComponent*>(this)) return c->Name();
    return ClassName();
}

// ---------------------------------------------------------------------------------------------
// TComponent

TAMREL_IMPLEMENT_CLASS(TComponent) { b.Integer(L"Tag", &TComponent::Tag, &TComponent::SetTag, 0); }

bool IsValidIdent(std::wstring_view ident) {
    if (ident.empty()) return false;
    auto alpha = [](wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_'; };
    if (!alpha(ident[0])) return false;
    for (wchar_t c : ident)
        if (!alpha(c) && !(c >= L'0' && c <= L'9')) return false;
    return true;
}

TComponent::TComponent(TComponent* owner) {
    // The owner lists it at once but hears of it (opInsert) only when it is whole.
    if (owner) owner->Insert(this);
}

TComponent::~TComponent() {
    Destroying();
    NotifyFreeNotifies();
    DestroyComponents();
    if (FOwner) {
        if (FAnnounced) FOwner->RemoveComponent(this);
        else FOwner->Remove(this);
    }
}

void TComponent::AfterConstruction() {
    if (FOwner && !FAnnounced) {
        FAnnounced = true;
        FOwner->Notification(this, opInsert);
    }
}

void TComponent::BeforeDestruction() {
    Destroying();
    // Partners and the owner hear of the removal while this object is still whole.
    NotifyFreeNotifies();
    if (FOwner) {
        if (FAnnounced) FOwner->RemoveComponent(this);
        else FOwner->Remove(this);
    }
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) throw EListError(SListIndexError, index);
    return FComponents[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const {
    if (!FOwner) return -1;
    auto& list = FOwner->FComponents;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(std::wstring_view name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, name)) return c;
    return nullptr;
}

void TComponent::SetName(const std::wstring& newName) {
    if (FName == newName) return;
    if (!newName.empty() && !IsValidIdent(newName))
        throw EComponentError(L"'%s' is not a valid component name", newName);
    if (FOwner) FOwner->ValidateRename(this, FName, newName);
    else ValidateRename(nullptr, FName, newName);
    ChangeName(newName);
}

void TComponent::ValidateRename(TComponent* component, const std::wstring& currentName, const std::wstring& newName) {
    if (component && !SameText(currentName, newName) && component->FOwner == this) {
        TComponent* other = FindComponent(newName);
        if (other && other != component) throw EComponentError(L"A component named %s already exists", newName);
    }
}

void TComponent::Insert(TComponent* component) {
    FComponents.push_back(component);
    component->FOwner = this;
    if (FComponentState.Contains(csDesigning)) component->SetDesigning(true);
}

void TComponent::Remove(TComponent* component) {
    auto it = std::find(FComponents.begin(), FComponents.end(), component);
    if (it != FComponents.end()) FComponents.erase(it);
    component->FOwner = nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    if (component->FOwner) component->FOwner->RemoveComponent(component);
    ValidateRename(component, L"", component->FName);
    Insert(component);
    component->FAnnounced = true;
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    if (component->FOwner != this) return;
    Notification(component, opRemove);
    Remove(component);
    component->FAnnounced = false;
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        Free(c); // its BeforeDestruction takes it out of the list, with notifications
    }
}

void TComponent::Destroying() {
    if (FComponentState.Contains(csDestroying)) return;
    FComponentState.Include(csDestroying);
    for (TComponent* c : FComponents) c->Destroying();
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (!FOwner || component->FOwner != FOwner) {
        if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
            FFreeNotifies.push_back(component);
        if (std::find(component->FFreeNotifies.begin(), component->FFreeNotifies.end(), this) ==
            component->FFreeNotifies.end())
            component->FFreeNotifies.push_back(this);
    }
    FComponentState.Include(csFreeNotification);
}

void TComponent::RemoveNotification(TComponent* component) {
    auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component);
    if (it != FFreeNotifies.end()) FFreeNotifies.erase(it);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    RemoveNotification(component);
    component->RemoveNotification(this);
}

void TComponent::NotifyFreeNotifies() {
    while (!FFreeNotifies.empty()) {
        TComponent* partner = FFreeNotifies.back();
        partner->Notification(this, opRemove);
        // A Notification that did not pass on to ours must not leave the link behind.
        if (!FFreeNotifies.empty() && FFreeNotifies.back() == partner) RemoveFreeNotification(partner);
    }
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component) RemoveFreeNotification(component);
    for (int i = ComponentCount() - 1; i >= 0; --i) {
        if (i >= ComponentCount()) continue; // a handler may have removed components
        FComponents[static_cast<size_t>(i)]->Notification(component, operation);
    }
}

void TComponent::Loaded() { FComponentState.Exclude(csLoading); }

void TComponent::SetDesigning(bool value, bool setChildren) {
    if (value) FComponentState.Include(csDesigning);
    else FComponentState.Exclude(csDesigning);
    if (setChildren)
        for (TComponent* c : FComponents) c->SetDesigning(value, true);
}

// ---------------------------------------------------------------------------------------------
// TStrings

TAMREL_IMPLEMENT_CLASS(TStrings) {}

void TStrings::Error(const wchar_t* message, int data) const { throw EListError(message, data); }

void TStrings::Put(int index, const std::wstring& s) {
    TObject* o = GetObject(index);
    Delete(index);
    InsertObject(index, s, o);
}

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const std::wstring& s) {
    int i = Count();
    Insert(i, s);
    return i;
}

int TStrings::AddObject(const std::wstring& s, TObject* object) {
    int i = Add(s);
    PutObject(i, object);
    return i;
}

void TStrings::InsertObject(int index, const std::wstring& s, TObject* object) {
    Insert(index, s);
    PutObject(index, object);
}

void TStrings::AddStrings(const TStrings& strings) {
    BeginUpdate();
    TScopeExit end([this] { EndUpdate(); });
    for (int i = 0; i < strings.Count(); ++i) AddObject(strings.Get(i), strings.GetObject(i));
}

void TStrings::AddStrings(const std::vector<std::wstring>& strings) {
    BeginUpdate();
    TScopeExit end([this] { EndUpdate(); });
    for (const auto& s : strings) Add(s);
}

int TStrings::CompareStrings(const std::wstring& a, const std::wstring& b) const { return AnsiCompareText(a, b); }

int TStrings::IndexOf(const std::wstring& s) const {
    for (int i = 0; i < Count(); ++i)
        if (CompareStrings(Get(i), s) == 0) return i;
    return -1;
}

int TStrings::IndexOfName(const std::wstring& name) const {
    for (int i = 0; i < Count(); ++i) {
        std::wstring s = Get(i);
        size_t p = s.find(L'=');
        if (p != std::wstring::npos && CompareStrings(s.substr(0, p), name) == 0) return i;
    }
    return -1;
}

int TStrings::IndexOfObject(TObject* object) const {
    for (int i = 0; i < Count(); ++i)
        if (GetObject(i) == object) return i;
    return -1;
}

void TStrings::Exchange(int index1, int index2) {
    BeginUpdate();
    TScopeExit end([this] { EndUpdate(); });
    std::wstring s1 = Get(index1), s2 = Get(index2);
    TObject *o1 = GetObject(index1), *o2 = GetObject(index2);
    Put(index1, s2);
    PutObject(index1, o2);
    Put(index2, s1);
    PutObject(index2, o1);
}

void TStrings::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex) return;
    BeginUpdate();
    TScopeExit end([this] { EndUpdate(); });
    std::wstring s = Get(curIndex);
    TObject* o = GetObject(curIndex);
    PutObject(curIndex, nullptr); // the list keeps owning it through the move
    Delete(curIndex);
    InsertObject(newIndex, s, o);
}

bool TStrings::Equals(const TStrings& other) const {
    if (Count() != other.Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (Get(i) != other.Get(i)) return false;
    return true;
}

std::wstring TStrings::Text() const {
    std::wstring r;
    for (int i = 0; i < Count(); ++i) {
        r += Get(i);
        r += L"\r\n";
    }
    return r;
}

void TStrings::SetText(std::wstring_view text) {
    BeginUpdate();
    TScopeExit end([this] { EndUpdate(); });
    Clear();
    size_t i = 0;
    while (i < text.size()) {
        size_t start = i;
        while (i < text.size() && text[i] != L'\r' && text[i] != L'\n') ++i;
        Add(std::wstring(text.substr(start, i - start)));
        if (i < text.size() && text[i] == L'\r') ++i;
        if (i < text.size() && text[i] == L'\n') ++i;
    }
}

void TStrings::SaveToFile(const std::wstring& fileName, TTextEncoding encoding) const {
    const std::wstring text = Text();
    std::string bytes;
    if (encoding == TTextEncoding::Ansi) {
        bytes = WideToAnsi(text);
    } else {
        bytes = "\xFF\xFE";
        bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    }
    TFileStream file(fileName, fmCreate);
    file.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

std::wstring TStrings::CommaText() const {
    std::wstring r;
    for (int i = 0; i < Count(); ++i) {
        std::wstring s = Get(i);
        bool quote = s.empty() && Count() == 1; // a lone empty line must not vanish
        for (wchar_t c : s)
            if (c <= L' ' || c == L',' || c == L'"') quote = true;
        if (i > 0) r += L',';
        if (quote) {
            r += L'"';
            for (wchar_t c : s) {
                if (c == L'"') r += L'"';
                r += c;
            }
            r += L'"';
        } else {
            r += s;
        }
    }
    return r;
}

void TStrings::SetCommaText(std::wstring_view text) {
    BeginUpdate();
    TScopeExit end([this] { EndUpdate(); });
    Clear();
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && text[i] > 0 && text[i] <= L' ') ++i;
    };
    skipBlanks();
    while (i < text.size()) {
        std::wstring item;
        if (text[i] == L'"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == L'"') {
                    if (i + 1 < text.size() && text[i + 1] == L'"') {
                        item += L'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < text.size() && text[i] > L' ' && text[i] != L',') item += text[i++];
        }
        Add(item);
        skipBlanks();
        if (i < text.size() && text[i] == L',') {
            ++i;
            skipBlanks();
            if (i >= text.size()) Add(L"");
        }
    }
}

std::wstring TStrings::Names(int index) const {
    std::wstring s = Get(index);
    size_t p = s.find(L'=');
    return p == std::wstring::npos ? std::wstring() : s.substr(0, p);
}

std::wstring TStrings::Values(const std::wstring& name) const {
    int i = IndexOfName(name);
    if (i < 0) return {};
    std::wstring s = Get(i);
    return s.substr(s.find(L'=') + 1);
}

void TStrings::SetValues(const std::wstring& name, const std::wstring& value) {
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
    } else if (i < 0) {
        Add(name + L"=" + value);
    } else {
        Put(i, name + L"=" + value);
    }
}

std::vector<std::wstring> TStrings::ToVector() const {
    std::vector<std::wstring> v;
    v.reserve(static_cast<size_t>(Count()));
    for (int i = 0; i < Count(); ++i) v.push_back(Get(i));
    return v;
}

void TStrings::BeginUpdate() {
    if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::Assign(TPersistent* source) {
    if (auto* s = dynamic_cast<TStrings*>(source)) {
        if (s == this) return;
        BeginUpdate();
        TScopeExit end([this] { EndUpdate(); });
        Clear();
        AddStrings(*s);
        return;
    }
    TPersistent::Assign(source);
}

void TStrings::DefineProperties(TFiler& filer) {
    filer.DefineProperty(
        L"Strings",
        [this](TReader& r) {
            BeginUpdate();
            TScopeExit end([this] { EndUpdate(); });
            Clear();
            r.ReadListBegin();
            while (!r.EndOfList()) Add(r.ReadString());
            r.ReadListEnd();
        },
        [this](TWriter& w) {
            w.WriteListBegin();
            for (int i = 0; i < Count(); ++i) w.WriteString(Get(i));
            w.WriteListEnd();
        },
        Count() > 0);
}

// ---------------------------------------------------------------------------------------------
// TStringList

TAMREL_IMPLEMENT_CLASS(TStringList) {}

TStringList::~TStringList() {
    FOnChange = nullptr;
    FOnChanging = nullptr;
    if (FOwnsObjects)
        for (auto& item : FItems) Free(std::exchange(item.Object, nullptr));
}

void TStringList::CheckIndex(int index, bool allowEnd) const {
    int limit = Count() + (allowEnd ? 1 : 0);
    if (index < 0 || index >= limit) Error(SListIndexError, index);
}

std::wstring TStringList::Get(int index) const {
    CheckIndex(index);
    return FItems[static_cast<size_t>(index)].S;
}

void TStringList::Put(int index, const std::wstring& s) {
    if (FSorted) throw EListError(L"Operation not allowed on sorted list");
    CheckIndex(index);
    Changing();
    FItems[static_cast<size_t>(index)].S = s;
    Changed();
}

TObject* TStringList::GetObject(int index) const {
    CheckIndex(index);
    return FItems[static_cast<size_t>(index)].Object;
}

void TStringList::PutObject(int index, TObject* object) {
    CheckIndex(index);
    Changing();
    FItems[static_cast<size_t>(index)].Object = object;
    Changed();
}

void TStringList::InsertItem(int index, const std::wstring& s, TObject* object) {
    Changing();
    FItems.insert(FItems.begin() + index, Item{s, object});
    Changed();
}

void TStringList::Insert(int index, const std::wstring& s) {
    if (FSorted) throw EListError(L"Operation not allowed on sorted list");
    CheckIndex(index, true);
    InsertItem(index, s, nullptr);
}

int TStringList::Add(const std::wstring& s) {
    if (!FSorted) {
        int i = Count();
        InsertItem(i, s, nullptr);
        return i;
    }
    int index;
    if (Find(s, index)) {
        switch (FDuplicates) {
        case dupIgnore:
            return index;
        case dupError:
            throw EListError(L"String list does not allow duplicates");
        case dupAccept:
            break;
        }
    }
    InsertItem(index, s, nullptr);
    return index;
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    Changing();
    TObject* o = FItems[static_cast<size_t>(index)].Object;
    FItems.erase(FItems.begin() + index);
    if (FOwnsObjects) Free(o);
    Changed();
}

void TStringList::Clear() {
    if (FItems.empty()) return;
    Changing();
    std::vector<Item> old;
    old.swap(FItems);
    if (FOwnsObjects)
        for (auto& item : old) Free(item.Object);
    Changed();
}

int TStringList::IndexOf(const std::wstring& s) const {
    if (!FSorted) return TStrings::IndexOf(s);
    int index;
    return Find(s, index) ? index : -1;
}

void TStringList::Exchange(int index1, int index2) {
    CheckIndex(index1);
    CheckIndex(index2);
    Changing();
    std::swap(FItems[static_cast<size_t>(index1)], FItems[static_cast<size_t>(index2)]);
    Changed();
}

bool TStringList::Find(const std::wstring& s, int& index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = CompareStrings(FItems[static_cast<size_t>(mid)].S, s);
        if (c < 0) lo = mid + 1;
        else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (FDuplicates != dupAccept) lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TStringList::Sort() {
    Changing();
    std::stable_sort(FItems.begin(), FItems.end(),
                     [this](const Item& a, const Item& b) { return CompareStrings(a.S, b.S) < 0; });
    Changed();
}

void TStringList::SetSorted(bool value) {
    if (FSorted == value) return;
    if (value) Sort();
    FSorted = value;
}

void TStringList::SetCaseSensitive(bool value) {
    if (FCaseSensitive == value) return;
    FCaseSensitive = value;
    if (FSorted) Sort();
}

int TStringList::CompareStrings(const std::wstring& a, const std::wstring& b) const {
    return FCaseSensitive ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

void TStringList::SetUpdateState(bool updating) {
    if (updating) Changing();
    else Changed();
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && FOnChange) FOnChange(this);
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && FOnChanging) FOnChanging(this);
}

// ---------------------------------------------------------------------------------------------
// Collections

TAMREL_IMPLEMENT_CLASS(TCollectionItem) {}

TCollectionItem::TCollectionItem(TCollection* collection) { SetCollection(collection); }

TCollectionItem::~TCollectionItem() { SetCollection(nullptr); }

void TCollectionItem::SetCollection(TCollection* collection) {
    if (FCollection == collection) return;
    if (FCollection) FCollection->RemoveItem(this);
    if (collection) collection->InsertItem(this);
}

int TCollectionItem::Index() const {
    if (!FCollection) return -1;
    auto& items = FCollection->FItems;
    auto it = std::find(items.begin(), items.end(), this);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void TCollectionItem::SetIndex(int index) {
    int cur = Index();
    if (cur < 0 || index == cur) return;
    auto& items = FCollection->FItems;
    if (index < 0 || index >= static_cast<int>(items.size())) throw EListError(SListIndexError, index);
    items.erase(items.begin() + cur);
    items.insert(items.begin() + index, this);
    Changed(true);
}

std::wstring TCollectionItem::GetDisplayName() const { return ClassName(); }

TPersistent* TCollectionItem::GetOwner() { return FCollection; }

void TCollectionItem::Changed(bool allItems) {
    if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(allItems ? nullptr : this);
}

TAMREL_IMPLEMENT_CLASS(TCollection) {}

TCollection::TCollection(const TClassInfo& itemClass) : FItemClass(&itemClass) {}

TCollection::~TCollection() {
    FUpdateCount = 1; // nobody hears of the items leaving while the collection goes away
    while (!FItems.empty()) delete FItems.back();
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError(SListIndexError, index);
    return FItems[static_cast<size_t>(index)];
}

TCollectionItem* TCollection::Add() {
    auto factory = FItemClass->ItemFactory();
    if (!factory) throw EClassNotFound(L"Class %s cannot be created", FItemClass->Name());
    TCollectionItem* item = factory(this);
    Changed();
    return item;
}

TCollectionItem* TCollection::Insert(int index) {
    TCollectionItem* item = Add();
    item->SetIndex(index);
    return item;
}

void TCollection::Delete(int index) { delete Items(index); }

void TCollection::Clear() {
    if (FItems.empty()) return;
    BeginUpdate();
    TScopeExit end([this] { EndUpdate(); });
    while (!FItems.empty()) delete FItems.back();
}

TCollectionItem* TCollection::FindItemID(int id) const {
    for (auto* i : FItems)
        if (i->FID == id) return i;
    return nullptr;
}

void TCollection::BeginUpdate() { ++FUpdateCount; }

void TCollection::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TCollection::Changed() {
    if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::InsertItem(TCollectionItem* item) {
    FItems.push_back(item);
    item->FCollection = this;
    item->FID = FNextID++;
    Notify(item, true);
}

void TCollection::RemoveItem(TCollectionItem* item) {
    Notify(item, false);
    auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it != FItems.end()) FItems.erase(it);
    item->FCollection = nullptr;
    Changed();
}

void TCollection::Assign(TPersistent* source) {
    if (auto* c = dynamic_cast<TCollection*>(source)) {
        if (c == this) return;
        BeginUpdate();
        TScopeExit end([this] { EndUpdate(); });
        Clear();
        for (int i = 0; i < c->Count(); ++i) Add()->Assign(c->Items(i));
        return;
    }
    TPersistent::Assign(source);
}

TAMREL_IMPLEMENT_CLASS(TOwnedCollection) {}

// ---------------------------------------------------------------------------------------------
// TDataModule

TAMREL_IMPLEMENT_CLASS(TDataModule) {
    b.Event(L"OnCreate", &TDataModule::OnCreate, &TDataModule::SetOnCreate);
    b.Event(L"OnDestroy", &TDataModule::OnDestroy, &TDataModule::SetOnDestroy);
}

namespace {
HMODULE gResourceModule = nullptr;
}

void TDataModule::SetResourceModule(HMODULE module) { gResourceModule = module; }
HMODULE TDataModule::ResourceModule() { return gResourceModule ? gResourceModule : GetModuleHandleW(nullptr); }

TDataModule::TDataModule(TComponent* owner) : TComponent(owner) {}

TDataModule::~TDataModule() = default;

void TDataModule::AfterConstruction() {
    TComponent::AfterConstruction();
    ReadStoredForm();
    FinishConstruction();
    DoCreate();
}

void TDataModule::BeforeDestruction() {
    DoDestroy();
    TComponent::BeforeDestruction();
}

bool TDataModule::ReadStoredForm() {
    std::wstring name = UpperCase(ClassName());
    // The image that defines the class carries its stored form (an add-in's modules live in the
    // add-in's library); else the resource module.
    HMODULE module = ModuleOfClass(ClassInfo());
    HRSRC res = module ? FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */) : nullptr;
    if (!res) {
        module = ResourceModule();
        res = FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    }
    if (!res) return false;
    HGLOBAL data = LoadResource(module, res);
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes) RaiseLastOSError();
    ReadComponentFromText(this, DecodeFormText(bytes, SizeofResource(module, res)));
    return true;
}

void TDataModule::DoCreate() {
    if (FOnCreate) FOnCreate(this);
}

void TDataModule::DoDestroy() {
    if (FOnDestroy) FOnDestroy(this);
}

} // namespace tamrel
