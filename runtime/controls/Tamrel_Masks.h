// The access-mask model: a set of 32 named bits (TrkAccessBits), a collection of named
// predefined masks (TrkAccessMasks), and the process-wide template table that gives each kind
// of securable object its name, the names of its specific bits (0..15) and its predefined masks;
// and the two controls that edit one mask together: a radio list of the predefined masks
// (TrkAccessMaskEditor) and a check list of the used bits (TrkSpecialAccessEditor).
//
// A set is "typed" after SetMaskType with a template type and falls back to mtCustom by itself
// at the first real change of any bit (Checked included), on SetMaskBit with other content, and
// on LoadFromIni. The editors hold a linked pair: setting the type of one sets the other's.
#pragma once

#include "host/Api.h"

#include "host/Classes.h"
#include "runtime/controls/Tamrel_ListBox.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace tamrel {

TAMREL_ENUM(TrkAccessMaskType, mtCustom, mtFile, mtPipe, mtDir, mtFileAndDir, mtKey, mtEvent, mtSemaphore, mtMutex,
            mtPrintServer, mtPrinter, mtPrintJob, mtServiceManager, mtService, mtWinSta, mtSection, mtToken,
            mtProcess, mtThread);
TAMREL_ENUM(TrkAccessBitChange, bcCanBeUsed, bcIsUsed, bcChecked, bcBitName);
using TrkAccessBitChanges = TSet<TrkAccessBitChange>;

class TrkAccessBits;
class TrkAccessMasks;

// One row of the template table.
struct TrkMaskTemplate {
    struct TBit {
        bool Used = false;
        std::wstring Name;
    };
    struct TMask {
        std::wstring Caption;
        uint32_t Mask = 0;
    };
    std::wstring Name;
    std::array<TBit, 16> Bit;
    std::vector<TMask> Masks; // in insertion order, which decides ties
};

// The row of T (mtFile..mtThread); raises for mtCustom, which has no row.
TAMREL_API const TrkMaskTemplate& GetMaskTemplate(TrkAccessMaskType T);
// The row name of T; empty for mtCustom.
TAMREL_API std::wstring GetMaskTemplateName(TrkAccessMaskType T);

class TAMREL_API TrkAccessBit : public TPersistent {
    TAMREL_CLASS(TrkAccessBit, TPersistent)
public:
    TrkAccessBit(TrkAccessBits* owner, int index);

    // What the running notification is about; empty otherwise.
    TrkAccessBitChanges Changed() const { return FChanged; }
    int Index() const { return FIndex; }
    uint32_t Mask() const { return 1u << FIndex; }
    bool CanBeUsed() const { return FCanBeUsed; }
    // Offered to the user and counted in the mask.
    bool IsUsed() const { return FIsUsed; }
    // The bit's current value.
    bool Checked() const { return FChecked; }
    const std::wstring& BitName() const { return FBitName; }
    // Each setter stores the value and calls OnChange, also when nothing changed (Changed is then
    // empty). The name is trimmed first.
    void SetCanBeUsed(bool Value);
    void SetIsUsed(bool Value);
    void SetChecked(bool Value);
    void SetBitName(const std::wstring& Value);
    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }

    void Assign(TPersistent* Source) override;
    TPersistent* GetOwner() override;

private:
    friend class TrkAccessBits;
    void Notify(TrkAccessBitChanges changes);
    TrkAccessBits* FOwner;
    int FIndex;
    TrkAccessBitChanges FChanged;
    bool FCanBeUsed = false;
    bool FIsUsed = false;
    bool FChecked = false;
    std::wstring FBitName;
    TNotifyEvent FOnChange;
};

// The type of the published MaskData: no members; a design-time editor is registered for it.
class TAMREL_API TrkAccessMaskData : public TPersistent {
    TAMREL_CLASS(TrkAccessMaskData, TPersistent)
public:
    TrkAccessMaskData() = default;
};

class TAMREL_API TrkAccessBits : public TPersistent {
    TAMREL_CLASS(TrkAccessBits, TPersistent)
public:
    TrkAccessBits();
    ~TrkAccessBits() override;

    TrkAccessMaskType MaskType() const { return FMaskType; }
    // A template type copies the names and used flags of bits 0..15 from its row, tells
    // OnChange, and gives the linked masks the same type; mtCustom only stores the type.
    void SetMaskType(TrkAccessMaskType T);
    TrkAccessMaskData* MaskData() const { return FMaskData.get(); }

    // Raises "MaskBit index out of bounds (%d)" for an index outside 0..31.
    TrkAccessBit* GetMaskBit(int index) const;
    TrkAccessBit* MaskBit(int index) const { return GetMaskBit(index); }
    // Takes Value's CanBeUsed, IsUsed and name when one differs (Checked is not compared); the set
    // becomes mtCustom.
    void SetMaskBit(int index, TrkAccessBit* Value);
    // The i-th used bit counted from bit 0; raises "UsedMask index out of bounds (%d)".
    TrkAccessBit* GetUsedMaskBit(int index) const;
    TrkAccessBit* UsedMaskBit(int index) const { return GetUsedMaskBit(index); }
    int GetUsedCount() const;
    int UsedCount() const { return GetUsedCount(); }
    // The used and checked bits.
    uint32_t GetAccessMask() const;
    uint32_t AccessMask() const { return GetAccessMask(); }
    // Checks the used bits of M and unchecks every other bit.
    void SetAccessMask(uint32_t M);
    // Fills the empty names of the standard bits (16..31) and lets every bit be used.
    void InitStandardBits();

    // One section: "Bit_%d_Used" and "Bit_%d_Name" for each bit; no OnChange.
    void LoadFromIni(const std::wstring& IniFileName, const std::wstring& Section);
    void SaveToIni(const std::wstring& IniFileName, const std::wstring& Section) const;

    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }
    TrkAccessMasks* AccessMasks() const { return FAccessMasks; }
    void SetAccessMasks(TrkAccessMasks* value) { FAccessMasks = value; }

    void Assign(TPersistent* Source) override;
    // "InternalData": the type's ordinal, then for mtCustom 32 triples (CanBeUsed and IsUsed as
    // "Y"/"N", the name); Checked is never stored.
    void DefineProperties(TFiler& Filer) override;

private:
    void BitChanged(TObject* Sender);
    void ReadInternalData(TReader& Reader);
    void WriteInternalData(TWriter& Writer) const;
    std::array<std::unique_ptr<TrkAccessBit>, 32> FMaskBits;
    TrkAccessMaskType FMaskType = mtCustom;
    std::unique_ptr<TrkAccessMaskData> FMaskData;
    TNotifyEvent FOnChange;
    TrkAccessMasks* FAccessMasks = nullptr;
};

class TAMREL_API TrkAccessMask : public TCollectionItem {
    TAMREL_CLASS(TrkAccessMask, TCollectionItem)
public:
    explicit TrkAccessMask(TCollection* Collection) : TCollectionItem(Collection) {}

    // Whether the last set changed anything.
    bool Changed() const { return FChanged; }
    using TCollectionItem::Changed;
    uint32_t AccessMask() const { return FAccessMask; }
    void SetAccessMask(uint32_t Value);
    const std::wstring& MaskCaption() const { return FMaskCaption; }
    void SetMaskCaption(const std::wstring& Value);
    void Assign(TPersistent* Source) override;
    // "Caption  ( $0012ABCD )", or the default name without a caption.
    std::wstring GetDisplayName() const override;

private:
    friend class TrkAccessMasks;
    bool FChanged = false;
    uint32_t FAccessMask = 0;
    std::wstring FMaskCaption;
};

class TAMREL_API TrkAccessMasks : public TOwnedCollection {
    TAMREL_CLASS(TrkAccessMasks, TOwnedCollection)
public:
    explicit TrkAccessMasks(TPersistent* Owner);

    TrkAccessMaskType MaskType() const { return FMaskType; }
    // A template type fills the collection with its predefined masks; the linked bits get the
    // type too.
    void SetMaskType(TrkAccessMaskType T);
    TrkAccessMask* Add() { return static_cast<TrkAccessMask*>(TCollection::Add()); }
    TrkAccessMask* GetItems(int i) const { return static_cast<TrkAccessMask*>(TCollection::Items(i)); }
    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }
    TrkAccessBits* MaskBits() const { return FMaskBits; }
    void SetMaskBits(TrkAccessBits* value) { FMaskBits = value; }

protected:
    void Update(TCollectionItem* Item) override;

private:
    friend class TrkAccessBits;
    // Whether the owner is being read from a stored form, which holds the masks themselves.
    bool Reading();
    TrkAccessMaskType FMaskType = mtCustom;
    TrkAccessBits* FMaskBits = nullptr;
    TNotifyEvent FOnChange;
};

// ---------------------------------------------------------------------------------------------
// The mask editors. Linked, choosing a predefined mask checks its bits, and checking bits selects
// the predefined mask of exactly that value or else the extra item that stands for any other
// combination; either works alone too.

class TrkSpecialAccessEditor;

class TAMREL_API TrkAccessMaskEditor : public TrkCheckListBox {
    TAMREL_CLASS(TrkAccessMaskEditor, TrkCheckListBox)
public:
    explicit TrkAccessMaskEditor(TComponent* AOwner);
    ~TrkAccessMaskEditor() override;

    // Owned; the setters assign into them.
    TrkAccessMasks* AccessMasks() const { return FAccessMasks.get(); }
    void SetAccessMasks(TrkAccessMasks* Value) { FAccessMasks->Assign(Value); }
    TrkAccessBits* MaskBits() const { return FMaskBits.get(); }
    void SetMaskBits(TrkAccessBits* Value) { FMaskBits->Assign(Value); }
    TrkSpecialAccessEditor* SpecialAccessEditor() const { return FSpecialAccessEditor; }
    void SetSpecialAccessEditor(TrkSpecialAccessEditor* V);

    // The selected predefined mask, the special editor's mask for the extra item, else 0.
    uint32_t GetAccessMask();
    uint32_t AccessMask() { return GetAccessMask(); }
    // Selects the first predefined mask equal to M, else the extra item (else nothing); the
    // linked special editor gets M in every case.
    void SetAccessMask(uint32_t M);
    void SetSelectedIndex(int index) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    bool GetAllowed(int index) override;
    int GetCount() override;
    std::wstring GetStrings(int index) override;

private:
    friend class TrkSpecialAccessEditor;
    void MasksChanged(TObject* Sender);
    void BitsChanged(TObject* Sender);
    std::unique_ptr<TrkAccessMasks> FAccessMasks;
    std::unique_ptr<TrkAccessBits> FMaskBits;
    TrkSpecialAccessEditor* FSpecialAccessEditor = nullptr;
};

class TAMREL_API TrkSpecialAccessEditor : public TrkCheckListBox {
    TAMREL_CLASS(TrkSpecialAccessEditor, TrkCheckListBox)
public:
    explicit TrkSpecialAccessEditor(TComponent* AOwner);
    ~TrkSpecialAccessEditor() override;

    // The linked mask editor's bits while linked, else its own.
    TrkAccessBits* GetMaskBits() const;
    TrkAccessBits* MaskBits() const { return GetMaskBits(); }
    void SetMaskBits(TrkAccessBits* V) { GetMaskBits()->Assign(V); }
    TrkAccessMaskEditor* AccessMaskEditor() const { return FAccessMaskEditor; }
    void SetAccessMaskEditor(TrkAccessMaskEditor* E);
    // The text of the extra item of the linked mask editor.
    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& S);

    // The checked used bits, with the bits of the last mask written that the template does not
    // show: a mask passes through unchanged where the user changed nothing.
    uint32_t GetAccessMask() const;
    uint32_t AccessMask() const { return GetAccessMask(); }
    void SetAccessMask(uint32_t M);
    void SetReadOnly(bool V) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    int GetCount() override;
    std::wstring GetStrings(int index) override;
    TrkGlyphState GetState(int Index) override;
    void SetState(int Index, TrkGlyphState Value) override;

private:
    friend class TrkAccessMaskEditor;
    bool StoredMaskBits() const { return FAccessMaskEditor == nullptr; }
    uint32_t UsedMask() const;
    void BitsChanged(TObject* Sender);
    std::unique_ptr<TrkAccessBits> FMaskBits;
    TrkAccessMaskEditor* FAccessMaskEditor = nullptr;
    std::wstring FCaption = L"Special access";
    uint32_t FHiddenBits = 0;
};

} // namespace tamrel
