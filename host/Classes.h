// The component model: persistent objects, components with owner, names and notifications,
// string lists, collections and data modules.
#pragma once

#include "host/Api.h"
#include "host/Handles.h"
#include "host/TypeInfo.h"

#include <memory>
#include <string>
#include <vector>

namespace tamrel {

class TFiler;
class TReader;
class TWriter;

// ---------------------------------------------------------------------------------------------
// TObject: the root of every class with run-time class information.

class TAMREL_API TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject();

    static const TClassInfo& StaticClassInfo();
    virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }
    const std::wstring& ClassName() const { return ClassInfo().Name(); }
    bool InheritsFrom(const TClassInfo& info) const { return ClassInfo().InheritsFrom(info); }

    // Calls the message method the class declares for Message.Msg, else DefaultHandler.
    virtual void Dispatch(TMessage& message);
    virtual void DefaultHandler(TMessage& message);
    // "inherited" of a message method declared by class Cls: the handler of Cls's nearest
    // ancestor that declares one for the message, else DefaultHandler.
    void InheritedDispatch(const TClassInfo& cls, TMessage& message);

    // Run by the creation functions after the constructors, and before the destructors by Free.
    virtual void AfterConstruction() {}
    virtual void BeforeDestruction() {}
};

// Creates an object and completes its construction (AfterConstruction); a failure there
// destroys the half-made object and passes the exception on.
template <class T, class... A> T* Create(A&&... args) {
    T* object = new T(std::forward<A>(args)...);
    try {
        object->AfterConstruction();
    } catch (...) {
        delete object;
        throw;
    }
    return object;
}

// Destroys an object made with Create: BeforeDestruction while the object is whole, then delete.
TAMREL_API void Free(TObject* object);

template <class T> void FreeAndNil(T*& object) {
    T* o = object;
    object = nullptr;
    Free(o);
}

// Frees an object made with Create<T>: the deleter of an owning pointer to one.
struct TFreeComponent {
    void operator()(TObject* o) const { Free(o); }
};
template <class T> using TOwnedPtr = std::unique_ptr<T, TFreeComponent>;

// ---------------------------------------------------------------------------------------------
// TPersistent

class TAMREL_API TPersistent : public TObject {
    TAMREL_CLASS(TPersistent, TObject)
public:
    TPersistent() = default;

    // Copies Source into this object; raises EConvertError when the classes do not fit.
    virtual void Assign(TPersistent* source);
    // The object that owns this one in a stored form (for display paths and editors).
    virtual TPersistent* GetOwner() { return nullptr; }
    // Lets a class stream values that are not published properties.
    virtual void DefineProperties(TFiler& filer);
    std::wstring GetNamePath();

protected:
    virtual void AssignTo(TPersistent* dest);
};

// ---------------------------------------------------------------------------------------------
// Filers: what DefineProperties sees.

class TFiler {
public:
    virtual ~TFiler() = default;
    // Values read and written through TReader/TWriter.
    virtual void DefineProperty(const std::wstring& name, std::function<void(TReader&)> readData,
                                std::function<void(TWriter&)> writeData, bool hasData) = 0;
    // Raw bytes, stored as a binary block.
    virtual void DefineBinaryProperty(const std::wstring& name,
                                      std::function<void(const std::vector<uint8_t>&)> readData,
                                      std::function<std::vector<uint8_t>()> writeData, bool hasData) = 0;
    TComponent* Root() const { return FRoot; }

protected:
    TComponent* FRoot = nullptr;
};

// ---------------------------------------------------------------------------------------------
// TComponent

TAMREL_ENUM(TComponentStateFlag, csLoading, csReading, csWriting, csDestroying, csDesigning, csFreeNotification,
            csUpdating);
using TComponentState = TSet<TComponentStateFlag>;
TAMREL_ENUM(TOperation, opInsert, opRemove);

class TAMREL_API TComponent : public TPersistent {
    TAMREL_CLASS(TComponent, TPersistent)
public:
    // Components are created through Create<T>(owner) or their class information, so that the
    // owner hears of them (opInsert) once they are whole.
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    void AfterConstruction() override;
    void BeforeDestruction() override;

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    // Raises EListError for an index out of range.
    TComponent* Components(int index) const;
    const std::vector<TComponent*>& ComponentList() const { return FComponents; }
    int ComponentIndex() const;
    // Case-insensitive; null when none.
    TComponent* FindComponent(std::wstring_view name) const;

    const std::wstring& Name() const { return FName; }
    // Checks the identifier rules and uniqueness among the owner's components, then renames.
    virtual void SetName(const std::wstring& newName);
    intptr_t Tag() const { return FTag; }
    void SetTag(intptr_t tag) { FTag = tag; }
    TComponentState ComponentState() const { return FComponentState; }

    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    // Destroys every owned component, last first. A class whose owned components must still see
    // it whole calls this first thing in its own destructor.
    void DestroyComponents();
    // Marks this component and its owned components as being destroyed.
    void Destroying();

    // Both components hear of each other's destruction (opRemove).
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    virtual void Notification(TComponent* component, TOperation operation);
    // Called once a stored form has been read completely; clears csLoading.
    virtual void Loaded();
    void SetDesigning(bool value, bool setChildren = true);

    TPersistent* GetOwner() override { return FOwner; }

    // Components that sit inside another one in a stored form (controls in their parent):
    // the reader hands each the component it is nested in, the writer nests it there.
    virtual bool HasParent() const { return false; }
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent* /*parent*/) {}

    // Used by the reader and the writer.
    void SetState(TComponentStateFlag flag) { FComponentState.Include(flag); }
    void ClearState(TComponentStateFlag flag) { FComponentState.Exclude(flag); }

protected:
    virtual void ValidateRename(TComponent* component, const std::wstring& currentName, const std::wstring& newName);
    // Renames without any check.
    void ChangeName(const std::wstring& newName) { FName = newName; }

private:
    void Insert(TComponent* component);
    void Remove(TComponent* component);
    void RemoveNotification(TComponent* component);
    void NotifyFreeNotifies();

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    std::wstring FName;
    intptr_t FTag = 0;
    TComponentState FComponentState;
    bool FAnnounced = false; // the owner has heard of it (opInsert)
};

TAMREL_API bool IsValidIdent(std::wstring_view ident);

// ---------------------------------------------------------------------------------------------
// String lists

TAMREL_ENUM(TDuplicates, dupIgnore, dupAccept, dupError);

// How a string list is written to a file.
enum class TTextEncoding {
    Ansi,    // the system's ANSI code page; characters it lacks are lost
    Utf16LE, // UTF-16 little-endian behind the byte-order mark FF FE
};

class TAMREL_API TStrings : public TPersistent {
    TAMREL_CLASS(TStrings, TPersistent)
public:
    TStrings() = default;

    virtual int Count() const = 0;
    virtual std::wstring Get(int index) const = 0;
    virtual void Put(int index, const std::wstring& s);
    virtual TObject* GetObject(int index) const;
    virtual void PutObject(int index, TObject* object);
    virtual void Insert(int index, const std::wstring& s) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;

    std::wstring operator[](int index) const { return Get(index); }
    std::wstring Strings(int index) const { return Get(index); }
    TObject* Objects(int index) const { return GetObject(index); }
    virtual int Add(const std::wstring& s);
    int AddObject(const std::wstring& s, TObject* object);
    void InsertObject(int index, const std::wstring& s, TObject* object);
    void AddStrings(const TStrings& strings);
    void AddStrings(const std::vector<std::wstring>& strings);
    virtual int IndexOf(const std::wstring& s) const;
    int IndexOfName(const std::wstring& name) const;
    int IndexOfObject(TObject* object) const;
    virtual void Exchange(int index1, int index2);
    void Move(int curIndex, int newIndex);
    bool Equals(const TStrings& other) const;

    // Lines joined by CRLF (each line ends with one); assigning splits at CR, LF or CRLF.
    std::wstring Text() const;
    void SetText(std::wstring_view text);
    std::wstring CommaText() const;
    void SetCommaText(std::wstring_view text);
    std::wstring Names(int index) const;
    std::wstring Values(const std::wstring& name) const;
    void SetValues(const std::wstring& name, const std::wstring& value);
    std::vector<std::wstring> ToVector() const;
    // Writes Text() to the file, created anew (an existing one is replaced); file errors raise
    // the stream's exceptions.
    void SaveToFile(const std::wstring& fileName, TTextEncoding encoding = TTextEncoding::Ansi) const;

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    void Assign(TPersistent* source) override;
    void DefineProperties(TFiler& filer) override;

protected:
    virtual void SetUpdateState(bool /*updating*/) {}
    virtual int CompareStrings(const std::wstring& a, const std::wstring& b) const;
    [[noreturn]] void Error(const wchar_t* message, int data) const;

private:
    int FUpdateCount = 0;
};

class TAMREL_API TStringList : public TStrings {
    TAMREL_CLASS(TStringList, TStrings)
public:
    TStringList() = default;
    explicit TStringList(bool ownsObjects) : FOwnsObjects(ownsObjects) {}
    ~TStringList() override;

    int Count() const override { return static_cast<int>(FItems.size()); }
    std::wstring Get(int index) const override;
    void Put(int index, const std::wstring& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    void Insert(int index, const std::wstring& s) override;
    void Delete(int index) override;
    void Clear() override;
    int Add(const std::wstring& s) override;
    int IndexOf(const std::wstring& s) const override;
    void Exchange(int index1, int index2) override;

    // Binary search in a sorted list: true when found; Index is the place either way.
    bool Find(const std::wstring& s, int& index) const;
    void Sort();

    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates value) { FDuplicates = value; }
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool value);
    bool OwnsObjects() const { return FOwnsObjects; }
    void SetOwnsObjects(bool value) { FOwnsObjects = value; }

    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }
    TNotifyEvent OnChanging() const { return FOnChanging; }
    void SetOnChanging(TNotifyEvent e) { FOnChanging = e; }

protected:
    void SetUpdateState(bool updating) override;
    int CompareStrings(const std::wstring& a, const std::wstring& b) const override;
    virtual void Changed();
    virtual void Changing();

private:
    struct Item {
        std::wstring S;
        TObject* Object = nullptr;
    };
    void CheckIndex(int index, bool allowEnd = false) const;
    void InsertItem(int index, const std::wstring& s, TObject* object);
    std::vector<Item> FItems;
    bool FSorted = false;
    bool FCaseSensitive = false;
    bool FOwnsObjects = false;
    TDuplicates FDuplicates = dupIgnore;
    TNotifyEvent FOnChange;
    TNotifyEvent FOnChanging;
};

// ---------------------------------------------------------------------------------------------
// Collections

class TAMREL_API TCollectionItem : public TPersistent {
    TAMREL_CLASS(TCollectionItem, TPersistent)
public:
    explicit TCollectionItem(TCollection* collection);
    ~TCollectionItem() override;

    TCollection* Collection() const { return FCollection; }
    void SetCollection(TCollection* collection);
    int Index() const;
    void SetIndex(int index);
    int ID() const { return FID; }
    virtual std::wstring GetDisplayName() const;
    std::wstring DisplayName() const { return GetDisplayName(); }
    TPersistent* GetOwner() override;

protected:
    // Tells the collection that this item (AllItems False) or all items changed.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = 0;
};

class TAMREL_API TCollection : public TPersistent {
    TAMREL_CLASS(TCollection, TPersistent)
public:
    explicit TCollection(const TClassInfo& itemClass);
    ~TCollection() override;

    const TClassInfo& ItemClass() const { return *FItemClass; }
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises EListError for an index out of range.
    TCollectionItem* Items(int index) const;
    TCollectionItem* Add();
    TCollectionItem* Insert(int index);
    void Delete(int index);
    void Clear();
    TCollectionItem* FindItemID(int id) const;
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    void Assign(TPersistent* source) override;

protected:
    // Called after a change (Item null: all items); nothing while an update is open.
    virtual void Update(TCollectionItem* item);
    void Changed();
    virtual void Notify(TCollectionItem* /*item*/, bool /*added*/) {}

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);
    const TClassInfo* FItemClass;
    std::vector<TCollectionItem*> FItems;
    int FNextID = 0;
    int FUpdateCount = 0;
};

class TAMREL_API TOwnedCollection : public TCollection {
    TAMREL_CLASS(TOwnedCollection, TCollection)
public:
    TOwnedCollection(TPersistent* owner, const TClassInfo& itemClass) : TCollection(itemClass), FOwner(owner) {}
    TPersistent* GetOwner() override { return FOwner; }

private:
    TPersistent* FOwner;
};

// A typed view of a collection's items: Items<TMyItem>(collection, i).
template <class T> T* CollectionItem(const TCollection& c, int index) { return static_cast<T*>(c.Items(index)); }

// ---------------------------------------------------------------------------------------------
// Data modules

class TAMREL_API TDataModule : public TComponent {
    TAMREL_CLASS(TDataModule, TComponent)
public:
    explicit TDataModule(TComponent* owner);
    ~TDataModule() override;

    // Reads the stored form (RCDATA resource named after the class, in upper case), runs
    // FinishConstruction, then OnCreate.
    void AfterConstruction() override;
    // OnDestroy, then the component's own preparation for destruction.
    void BeforeDestruction() override;

    TNotifyEvent OnCreate() const { return FOnCreate; }
    void SetOnCreate(TNotifyEvent e) { FOnCreate = e; }
    TNotifyEvent OnDestroy() const { return FOnDestroy; }
    void SetOnDestroy(TNotifyEvent e) { FOnDestroy = e; }

    // The module that holds the stored forms (default: the program file).
    static void SetResourceModule(HMODULE module);
    static HMODULE ResourceModule();

protected:
    // Runs after the stored form was read and before OnCreate: the place where a module finishes
    // what depends on stored values.
    virtual void FinishConstruction() {}
    // Reads the stored form of this class, when the program carries one; answers whether it did.
    bool ReadStoredForm();
    virtual void DoCreate();
    virtual void DoDestroy();

private:
    TNotifyEvent FOnCreate;
    TNotifyEvent FOnDestroy;
};

// ---------------------------------------------------------------------------------------------
// Class information of templates defined here.

template <class T>
TClassInfo TClassInfo::Make(const wchar_t* name, const TClassInfo* parent, void (*describe)(TClassBuilder<T>&)) {
    TClassInfo info;
    info.FName = name;
    info.FParent = parent;
    if constexpr (!std::is_abstract_v<T>) {
        if constexpr (std::is_base_of_v<TComponent, T> && std::is_constructible_v<T, TComponent*>)
            info.FComponentFactory = [](TComponent* owner) -> TComponent* { return new T(owner); };
        if constexpr (std::is_base_of_v<TCollectionItem, T> && std::is_constructible_v<T, TCollection*>)
            info.FItemFactory = [](TCollection* c) -> TCollectionItem* { return new T(c); };
    }
    TClassBuilder<T> builder(info);
    describe(builder);
    return info;
}

} // namespace tamrel
