#include "runtime/controls/Tamrel_Masks.h"

#include "host/IniFiles.h"
#include "host/Streaming.h"

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// The template table

namespace {

constexpr int kTemplateCount = mtThread + 1;

struct TTemplateTable {
    std::array<TrkMaskTemplate, kTemplateCount> Rows; // row 0 (mtCustom) stays empty
    TTemplateTable();
};

void SetMaskTemplateName(TTemplateTable& t, TrkAccessMaskType T, const std::wstring& Name) { t.Rows[T].Name = Name; }

void SetMaskTemplateBit(TTemplateTable& t, TrkAccessMaskType T, const std::wstring& Name, uint32_t Mask) {
    if (Mask == 0) throw Exception(L"Invalid mask (zero)");
    if (Mask & (Mask - 1)) throw Exception(L"Invalid mask (not equal to 2^n)");
    int n = 0;
    while (!(Mask & (1u << n))) ++n;
    // The table has places for the specific bits only.
    if (n >= 16) throw Exception(L"Invalid mask (not a specific right)");
    t.Rows[T].Bit[static_cast<size_t>(n)] = {true, Name};
}

void AddMaskTemplateMask(TTemplateTable& t, TrkAccessMaskType T, const std::wstring& Caption, uint32_t Mask) {
    if (Mask == 0) throw Exception(L"Invalid mask (zero)");
    t.Rows[T].Masks.push_back({Caption, Mask});
}

TTemplateTable::TTemplateTable() {
    TTemplateTable& t = *this;
    auto name = [&t](TrkAccessMaskType T, const wchar_t* n) { SetMaskTemplateName(t, T, n); };
    auto bit = [&t](TrkAccessMaskType T, uint32_t m, const wchar_t* n) { SetMaskTemplateBit(t, T, n, m); };
    auto mask = [&t](TrkAccessMaskType T, const wchar_t* c, uint32_t m) { AddMaskTemplateMask(t, T, c, m); };
    auto fileMasks = [&mask](TrkAccessMaskType T) {
        mask(T, L"All access", 0x1F01FF);
        mask(T, L"Read only", 0x120089);
        mask(T, L"Write only", 0x120116);
        mask(T, L"Execute", 0x1200A0);
    };

    name(mtFile, L"File access rights");
    fileMasks(mtFile);
    bit(mtFile, 0x1, L"Read data");
    bit(mtFile, 0x2, L"Write data");
    bit(mtFile, 0x4, L"Append data");
    bit(mtFile, 0x8, L"Read extended attributes");
    bit(mtFile, 0x10, L"Write extended attributes");
    bit(mtFile, 0x20, L"Execute");
    bit(mtFile, 0x80, L"Read attributes");
    bit(mtFile, 0x100, L"Write attributes");

    name(mtPipe, L"Pipe access rights");
    fileMasks(mtPipe);
    bit(mtPipe, 0x1, L"Read data");
    bit(mtPipe, 0x2, L"Write data");
    bit(mtPipe, 0x4, L"Create pipe instance");
    bit(mtPipe, 0x80, L"Read attributes");
    bit(mtPipe, 0x100, L"Write attributes");

    name(mtDir, L"Directory access rights");
    fileMasks(mtDir);
    bit(mtDir, 0x1, L"List directory");
    bit(mtDir, 0x2, L"Add file");
    bit(mtDir, 0x4, L"Add subdirectory");
    bit(mtDir, 0x8, L"Read extended attributes");
    bit(mtDir, 0x10, L"Write extended attributes");
    bit(mtDir, 0x20, L"Traverse directory");
    bit(mtDir, 0x40, L"Delete child");
    bit(mtDir, 0x80, L"Read attributes");
    bit(mtDir, 0x100, L"Write attributes");

    name(mtFileAndDir, L"File and directory access rights");
    fileMasks(mtFileAndDir);
    bit(mtFileAndDir, 0x1, L"Read data/List directory");
    bit(mtFileAndDir, 0x2, L"Write data/Add file");
    bit(mtFileAndDir, 0x4, L"Append data/Add subdirectory");
    bit(mtFileAndDir, 0x8, L"Read extended attributes");
    bit(mtFileAndDir, 0x10, L"Write extended attributes");
    bit(mtFileAndDir, 0x20, L"Execute/Traverse directory");
    bit(mtFileAndDir, 0x80, L"Read attributes");
    bit(mtFileAndDir, 0x100, L"Write attributes");

    name(mtKey, L"Registry key access rights");
    mask(mtKey, L"Read only", 0x20019);
    mask(mtKey, L"Write only", 0x20006);
    mask(mtKey, L"All access", 0xF003F);
    bit(mtKey, 0x1, L"Query value");
    bit(mtKey, 0x2, L"Set value");
    bit(mtKey, 0x4, L"Create sub-key");
    bit(mtKey, 0x8, L"Enumerate sub-keys");
    bit(mtKey, 0x10, L"Notify");
    bit(mtKey, 0x20, L"Create link");

    name(mtEvent, L"Event access rights");
    mask(mtEvent, L"All access", 0x1F0003);
    bit(mtEvent, 0x2, L"Modify state");

    name(mtSemaphore, L"Semaphore key access rights");
    mask(mtSemaphore, L"All access", 0x1F0003);
    bit(mtSemaphore, 0x2, L"Modify state");

    name(mtMutex, L"Mutex access rights");
    mask(mtMutex, L"All access", 0x1F0001);
    bit(mtMutex, 0x1, L"Query state");

    name(mtPrintServer, L"Print server access rights");
    mask(mtPrintServer, L"All access", 0xF0003);
    mask(mtPrintServer, L"Read only", 0x20002);
    mask(mtPrintServer, L"Write only", 0x20003);
    mask(mtPrintServer, L"Execute", 0x20002);
    bit(mtPrintServer, 0x1, L"Administer server");
    bit(mtPrintServer, 0x2, L"Enumerate server");

    name(mtPrinter, L"Printer access rights");
    mask(mtPrinter, L"All access", 0xF000C);
    mask(mtPrinter, L"Read only", 0x20008);
    mask(mtPrinter, L"Write only", 0x20008);
    mask(mtPrinter, L"Execute", 0x20008);
    bit(mtPrinter, 0x4, L"Administer printer");
    bit(mtPrinter, 0x8, L"Use printer");

    name(mtPrintJob, L"Print job access rights");
    mask(mtPrintJob, L"All access", 0xF0010);
    mask(mtPrintJob, L"Read only", 0x20010);
    mask(mtPrintJob, L"Write only", 0x20010);
    mask(mtPrintJob, L"Execute", 0x20010);
    bit(mtPrintJob, 0x10, L"Administer job");

    name(mtServiceManager, L"Service manager access rights");
    mask(mtServiceManager, L"All access", 0xF003F);
    bit(mtServiceManager, 0x1, L"Connect manager");
    bit(mtServiceManager, 0x2, L"Create service");
    bit(mtServiceManager, 0x4, L"Enumerate service");
    bit(mtServiceManager, 0x8, L"Lock manager");
    bit(mtServiceManager, 0x10, L"Query lock status");
    bit(mtServiceManager, 0x20, L"Modify boot config");

    name(mtService, L"Service access rights");
    mask(mtService, L"All access", 0xF01FF);
    bit(mtService, 0x2, L"Change config");
    bit(mtService, 0x4, L"Query status");
    bit(mtService, 0x8, L"Enumerate dependents");
    bit(mtService, 0x10, L"Start service");
    bit(mtService, 0x20, L"Stop service");
    bit(mtService, 0x40, L"Pause / continue");
    bit(mtService, 0x80, L"Interrogate");
    bit(mtService, 0x100, L"User defined control");

    name(mtWinSta, L"Window station access rights");
    bit(mtWinSta, 0x1, L"Enum desktops");
    bit(mtWinSta, 0x2, L"Read attributes");
    bit(mtWinSta, 0x4, L"Access clipboard");
    bit(mtWinSta, 0x8, L"Create desktop");
    bit(mtWinSta, 0x10, L"Write attributes");
    bit(mtWinSta, 0x20, L"Access global atoms");
    bit(mtWinSta, 0x40, L"Exit windows");
    bit(mtWinSta, 0x100, L"Enumerate");
    bit(mtWinSta, 0x200, L"Read screen");

    name(mtSection, L"Section access rights");
    mask(mtSection, L"All access", 0xF001F);
    bit(mtSection, 0x1, L"Query");
    bit(mtSection, 0x2, L"Map write");
    bit(mtSection, 0x4, L"Map read");
    bit(mtSection, 0x8, L"Map execute");
    bit(mtSection, 0x10, L"Extend size");

    name(mtToken, L"Token access rights");
    mask(mtToken, L"All access", 0xF01FF);
    mask(mtToken, L"Read only", 0x20008);
    mask(mtToken, L"Wrte only", 0x200E0);
    mask(mtToken, L"Execute", 0x20000);
    bit(mtToken, 0x1, L"Assign primary");
    bit(mtToken, 0x2, L"Duplicate");
    bit(mtToken, 0x4, L"Impersonate");
    bit(mtToken, 0x8, L"Query");
    bit(mtToken, 0x10, L"Query source");
    bit(mtToken, 0x20, L"Adjust privileges");
    bit(mtToken, 0x40, L"Adjust groups");
    bit(mtToken, 0x80, L"Adjust default");

    name(mtProcess, L"Process access rights");
    mask(mtProcess, L"All access", 0x1FFFFF);
    bit(mtProcess, 0x1, L"Terminate");
    bit(mtProcess, 0x2, L"Create thread");
    bit(mtProcess, 0x8, L"VM operation");
    bit(mtProcess, 0x10, L"VM read");
    bit(mtProcess, 0x20, L"VM write");
    bit(mtProcess, 0x40, L"Duplicate handle");
    bit(mtProcess, 0x80, L"Create process");
    bit(mtProcess, 0x100, L"Set quota");
    bit(mtProcess, 0x200, L"Set information");
    bit(mtProcess, 0x400, L"Query information");

    name(mtThread, L"Thread access rights");
    mask(mtThread, L"All access", 0x1F03FF);
    bit(mtThread, 0x1, L"Terminate");
    bit(mtThread, 0x2, L"Suspend / resume");
    bit(mtThread, 0x8, L"Get context");
    bit(mtThread, 0x10, L"Set context");
    bit(mtThread, 0x20, L"Set information");
    bit(mtThread, 0x40, L"Query information");
    bit(mtThread, 0x80, L"Set thread token");
    bit(mtThread, 0x100, L"Impersonate");
    bit(mtThread, 0x200, L"Direct impersonation");
}

const TTemplateTable& Templates() {
    static const TTemplateTable table;
    return table;
}

bool ValidMaskType(int T) { return T >= mtCustom && T <= mtThread; }

// The standard and generic bits carry the same names for every kind; 21..23 have none.
const wchar_t* StandardBitName(int i) {
    switch (i) {
    case 16: return L"Delete access";
    case 17: return L"Read access to Owner, Group and DACL";
    case 18: return L"Write access to DACL";
    case 19: return L"Write access to Owner";
    case 20: return L"Synchronize access";
    case 24: return L"Access system security";
    case 25: return L"Maximum allowed";
    case 26: return L"Reserved";
    case 27: return L"Reserved";
    case 28: return L"Generic all";
    case 29: return L"Generic execute";
    case 30: return L"Generic write";
    case 31: return L"Generic read";
    default: return nullptr;
    }
}

// Blanks and control characters off both ends.
std::wstring TrimName(const std::wstring& s) { return Trim(s); }

} // namespace

const TrkMaskTemplate& GetMaskTemplate(TrkAccessMaskType T) {
    if (!ValidMaskType(T) || T == mtCustom) throw Exception(L"No template for mask type %d", static_cast<int>(T));
    return Templates().Rows[T];
}

std::wstring GetMaskTemplateName(TrkAccessMaskType T) {
    if (!ValidMaskType(T) || T == mtCustom) return std::wstring();
    return Templates().Rows[T].Name;
}

// ---------------------------------------------------------------------------------------------
// TrkAccessBit

TAMREL_IMPLEMENT_CLASS(TrkAccessBit) {}

TrkAccessBit::TrkAccessBit(TrkAccessBits* owner, int index) : FOwner(owner), FIndex(index) {}

TPersistent* TrkAccessBit::GetOwner() { return FOwner; }

void TrkAccessBit::Notify(TrkAccessBitChanges changes) {
    FChanged = changes;
    TScopeExit clear([this] { FChanged = {}; });
    if (FOnChange) FOnChange(this);
}

void TrkAccessBit::SetCanBeUsed(bool Value) {
    TrkAccessBitChanges c = Value != FCanBeUsed ? TrkAccessBitChanges{bcCanBeUsed} : TrkAccessBitChanges{};
    FCanBeUsed = Value;
    Notify(c);
}

void TrkAccessBit::SetIsUsed(bool Value) {
    TrkAccessBitChanges c = Value != FIsUsed ? TrkAccessBitChanges{bcIsUsed} : TrkAccessBitChanges{};
    FIsUsed = Value;
    Notify(c);
}

void TrkAccessBit::SetChecked(bool Value) {
    TrkAccessBitChanges c = Value != FChecked ? TrkAccessBitChanges{bcChecked} : TrkAccessBitChanges{};
    FChecked = Value;
    Notify(c);
}

void TrkAccessBit::SetBitName(const std::wstring& Value) {
    std::wstring name = TrimName(Value);
    TrkAccessBitChanges c = name != FBitName ? TrkAccessBitChanges{bcBitName} : TrkAccessBitChanges{};
    FBitName = std::move(name);
    Notify(c);
}

void TrkAccessBit::Assign(TPersistent* Source) {
    auto* src = dynamic_cast<TrkAccessBit*>(Source);
    if (!src) return TPersistent::Assign(Source);
    TrkAccessBitChanges c;
    if (src->FCanBeUsed != FCanBeUsed) c.Include(bcCanBeUsed);
    if (src->FIsUsed != FIsUsed) c.Include(bcIsUsed);
    if (src->FChecked != FChecked) c.Include(bcChecked);
    if (src->FBitName != FBitName) c.Include(bcBitName);
    FCanBeUsed = src->FCanBeUsed;
    FIsUsed = src->FIsUsed;
    FChecked = src->FChecked;
    FBitName = src->FBitName;
    Notify(c);
}

// ---------------------------------------------------------------------------------------------
// TrkAccessBits

TAMREL_IMPLEMENT_CLASS(TrkAccessMaskData) {}

TAMREL_IMPLEMENT_CLASS(TrkAccessBits) {
    b.Enum(L"MaskType", &TrkAccessBits::MaskType, &TrkAccessBits::SetMaskType, mtCustom).StoredAlways();
    b.Object(L"MaskData", &TrkAccessBits::MaskData);
}

TrkAccessBits::TrkAccessBits() : FMaskData(new TrkAccessMaskData) {
    for (int i = 0; i < 32; ++i) {
        FMaskBits[static_cast<size_t>(i)] = std::make_unique<TrkAccessBit>(this, i);
        FMaskBits[static_cast<size_t>(i)]->SetOnChange(TNotifyEvent::Of<&TrkAccessBits::BitChanged>(this));
    }
    InitStandardBits();
}

TrkAccessBits::~TrkAccessBits() = default;

void TrkAccessBits::BitChanged(TObject* Sender) {
    auto* bit = dynamic_cast<TrkAccessBit*>(Sender);
    if (!bit || bit->Changed().Empty()) return;
    if (bit->Index() < 0 || bit->Index() > 31 || FMaskBits[static_cast<size_t>(bit->Index())].get() != bit) return;
    // The field alone: the linked masks are not told.
    FMaskType = mtCustom;
    InitStandardBits();
    if (FOnChange) FOnChange(bit);
}

void TrkAccessBits::InitStandardBits() {
    for (int i = 16; i < 32; ++i)
        if (const wchar_t* name = StandardBitName(i); name && FMaskBits[static_cast<size_t>(i)]->FBitName.empty())
            FMaskBits[static_cast<size_t>(i)]->FBitName = name;
    for (auto& bit : FMaskBits) bit->FCanBeUsed = true;
}

void TrkAccessBits::SetMaskType(TrkAccessMaskType T) {
    if (!ValidMaskType(T)) throw Exception(L"Invalid mask type (%d)", static_cast<int>(T));
    FMaskType = T;
    if (T == mtCustom) return;
    const TrkMaskTemplate& row = Templates().Rows[T];
    for (size_t i = 0; i < 16; ++i) {
        FMaskBits[i]->FIsUsed = row.Bit[i].Used;
        FMaskBits[i]->FBitName = row.Bit[i].Name;
    }
    InitStandardBits();
    if (FOnChange) FOnChange(this);
    if (FAccessMasks && FAccessMasks->MaskType() != T) {
        // A stored form holds the masks as they were, changed or not, and the order it reads the
        // masks and this type in is the writer's: refilled from the template, they would revert.
        if (FAccessMasks->Reading()) FAccessMasks->FMaskType = T;
        else FAccessMasks->SetMaskType(T);
    }
}

TrkAccessBit* TrkAccessBits::GetMaskBit(int index) const {
    if (index < 0 || index > 31) throw Exception(L"MaskBit index out of bounds (%d)", index);
    return FMaskBits[static_cast<size_t>(index)].get();
}

void TrkAccessBits::SetMaskBit(int index, TrkAccessBit* Value) {
    TrkAccessBit* bit = GetMaskBit(index);
    if (!Value) return;
    if (bit->FCanBeUsed == Value->FCanBeUsed && bit->FIsUsed == Value->FIsUsed && bit->FBitName == Value->FBitName)
        return;
    bit->Assign(Value);
    FMaskType = mtCustom;
    InitStandardBits();
}

int TrkAccessBits::GetUsedCount() const {
    int n = 0;
    for (const auto& bit : FMaskBits)
        if (bit->FIsUsed) ++n;
    return n;
}

TrkAccessBit* TrkAccessBits::GetUsedMaskBit(int index) const {
    if (index < 0 || index >= GetUsedCount()) throw Exception(L"UsedMask index out of bounds (%d)", index);
    int n = 0;
    for (const auto& bit : FMaskBits)
        if (bit->FIsUsed && n++ == index) return bit.get();
    return nullptr;
}

uint32_t TrkAccessBits::GetAccessMask() const {
    uint32_t mask = 0;
    for (const auto& bit : FMaskBits)
        if (bit->FIsUsed && bit->FChecked) mask |= bit->Mask();
    return mask;
}

void TrkAccessBits::SetAccessMask(uint32_t M) {
    for (auto& bit : FMaskBits) bit->SetChecked(bit->FIsUsed && (M & bit->Mask()) != 0);
}

void TrkAccessBits::Assign(TPersistent* Source) {
    auto* src = dynamic_cast<TrkAccessBits*>(Source);
    if (!src) {
        TPersistent::Assign(Source);
    } else if (src != this) {
        for (size_t i = 0; i < 32; ++i) FMaskBits[i]->Assign(src->FMaskBits[i].get());
        FMaskType = src->FMaskType;
    }
    if (FOnChange) FOnChange(this);
}

void TrkAccessBits::LoadFromIni(const std::wstring& IniFileName, const std::wstring& Section) {
    TIniFile ini(IniFileName);
    FMaskType = mtCustom;
    for (int i = 0; i < 32; ++i) {
        TrkAccessBit& bit = *FMaskBits[static_cast<size_t>(i)];
        bit.FIsUsed = ini.ReadBool(Section, Format(L"Bit_%d_Used", i), false);
        bit.FBitName = ini.ReadString(Section, Format(L"Bit_%d_Name", i), L"");
    }
    InitStandardBits();
}

void TrkAccessBits::SaveToIni(const std::wstring& IniFileName, const std::wstring& Section) const {
    TIniFile ini(IniFileName);
    for (int i = 0; i < 32; ++i) {
        const TrkAccessBit& bit = *FMaskBits[static_cast<size_t>(i)];
        ini.WriteBool(Section, Format(L"Bit_%d_Used", i), bit.FIsUsed);
        ini.WriteString(Section, Format(L"Bit_%d_Name", i), bit.FBitName);
    }
    ini.UpdateFile();
}

void TrkAccessBits::DefineProperties(TFiler& Filer) {
    TPersistent::DefineProperties(Filer);
    Filer.DefineProperty(
        L"InternalData", [this](TReader& r) { ReadInternalData(r); },
        [this](TWriter& w) { WriteInternalData(w); }, true);
}

void TrkAccessBits::WriteInternalData(TWriter& Writer) const {
    Writer.WriteListBegin();
    Writer.WriteString(IntToStr(static_cast<int>(FMaskType)));
    if (FMaskType == mtCustom)
        for (const auto& bit : FMaskBits) {
            Writer.WriteString(bit->FCanBeUsed ? L"Y" : L"N");
            Writer.WriteString(bit->FIsUsed ? L"Y" : L"N");
            Writer.WriteString(bit->FBitName);
        }
    Writer.WriteListEnd();
}

void TrkAccessBits::ReadInternalData(TReader& Reader) {
    Reader.ReadListBegin();
    int32_t type = 0;
    if (!Reader.EndOfList() && !TryStrToInt(Reader.ReadString(), type)) type = 0;
    // Up to 32 triples; a list that ends early keeps what was read.
    for (int i = 0; i < 32 && !Reader.EndOfList(); ++i) {
        TrkAccessBit& bit = *FMaskBits[static_cast<size_t>(i)];
        bit.FCanBeUsed = Reader.ReadString() == L"Y";
        if (Reader.EndOfList()) break;
        bit.FIsUsed = Reader.ReadString() == L"Y";
        if (Reader.EndOfList()) break;
        bit.FBitName = Reader.ReadString();
    }
    // Whatever follows the 32 triples is not ours.
    while (!Reader.EndOfList()) Reader.ReadString();
    Reader.ReadListEnd();
    if (!ValidMaskType(type)) {
        FMaskType = mtCustom;
        return;
    }
    if (type > 0) {
        try {
            SetMaskType(static_cast<TrkAccessMaskType>(type));
        } catch (const Exception&) {
            SetMaskType(mtCustom);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// TrkAccessMask, TrkAccessMasks

TAMREL_IMPLEMENT_CLASS(TrkAccessMask) {
    b.Cardinal(L"AccessMask", &TrkAccessMask::AccessMask, &TrkAccessMask::SetAccessMask, 0);
    b.String(L"MaskCaption", &TrkAccessMask::MaskCaption, &TrkAccessMask::SetMaskCaption);
}

void TrkAccessMask::SetAccessMask(uint32_t Value) {
    FChanged = Value != FAccessMask;
    FAccessMask = Value;
    Changed(false);
}

void TrkAccessMask::SetMaskCaption(const std::wstring& Value) {
    FChanged = Value != FMaskCaption;
    FMaskCaption = Value;
    Changed(false);
}

void TrkAccessMask::Assign(TPersistent* Source) {
    auto* src = dynamic_cast<TrkAccessMask*>(Source);
    if (!src) return TCollectionItem::Assign(Source);
    FChanged = src->FMaskCaption != FMaskCaption || src->FAccessMask != FAccessMask;
    FMaskCaption = src->FMaskCaption;
    FAccessMask = src->FAccessMask;
    Changed(false);
}

std::wstring TrkAccessMask::GetDisplayName() const {
    if (FMaskCaption.empty()) return TCollectionItem::GetDisplayName();
    return FMaskCaption + L"  ( $" + IntToHex(FAccessMask, 8) + L" )";
}

TAMREL_IMPLEMENT_CLASS(TrkAccessMasks) {
    b.Enum(L"MaskType", &TrkAccessMasks::MaskType, &TrkAccessMasks::SetMaskType, mtCustom).StoredAlways();
}

TrkAccessMasks::TrkAccessMasks(TPersistent* Owner) : TOwnedCollection(Owner, TrkAccessMask::StaticClassInfo()) {}

void TrkAccessMasks::SetMaskType(TrkAccessMaskType T) {
    if (!ValidMaskType(T)) throw Exception(L"Invalid mask type (%d)", static_cast<int>(T));
    FMaskType = T;
    if (FMaskBits) FMaskBits->SetMaskType(T);
    if (T == mtCustom) return;
    // One notification for the whole refill: EndUpdate ends in Update(nil).
    BeginUpdate();
    TScopeExit end([this] { EndUpdate(); });
    Clear();
    for (const auto& m : Templates().Rows[T].Masks) {
        TrkAccessMask* item = Add();
        item->FAccessMask = m.Mask;
        item->FMaskCaption = m.Caption;
    }
}

bool TrkAccessMasks::Reading() {
    auto* owner = dynamic_cast<TComponent*>(GetOwner());
    return owner && owner->ComponentState().Contains(csReading);
}

void TrkAccessMasks::Update(TCollectionItem* Item) {
    TOwnedCollection::Update(Item);
    if (FOnChange) FOnChange(Item ? static_cast<TObject*>(Item) : this);
}

// ---------------------------------------------------------------------------------------------
// TrkAccessMaskEditor

TAMREL_IMPLEMENT_CLASS(TrkAccessMaskEditor) {
    b.Object(L"AccessMasks", &TrkAccessMaskEditor::AccessMasks);
    b.Object(L"MaskBits", &TrkAccessMaskEditor::MaskBits);
    b.Component(L"SpecialAccessEditor", &TrkAccessMaskEditor::SpecialAccessEditor,
                &TrkAccessMaskEditor::SetSpecialAccessEditor);
    b.Integer(L"SelectedIndex", &TrkAccessMaskEditor::SelectedIndex, &TrkAccessMaskEditor::SetSelectedIndex, -1);
}

TrkAccessMaskEditor::TrkAccessMaskEditor(TComponent* AOwner)
    : TrkCheckListBox(AOwner), FAccessMasks(new TrkAccessMasks(this)), FMaskBits(new TrkAccessBits) {
    FMaskBits->SetAccessMasks(FAccessMasks.get());
    FAccessMasks->SetMaskBits(FMaskBits.get());
    FMaskBits->SetOnChange(TNotifyEvent::Of<&TrkAccessMaskEditor::BitsChanged>(this));
    FAccessMasks->SetOnChange(TNotifyEvent::Of<&TrkAccessMaskEditor::MasksChanged>(this));
    SetKind(gkRadio);
}

TrkAccessMaskEditor::~TrkAccessMaskEditor() {
    FAccessMasks->SetMaskBits(nullptr);
    FMaskBits->SetAccessMasks(nullptr);
    if (FSpecialAccessEditor) FSpecialAccessEditor->FAccessMaskEditor = nullptr;
}

void TrkAccessMaskEditor::Notification(TComponent* AComponent, TOperation Operation) {
    TrkCheckListBox::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSpecialAccessEditor) {
        FSpecialAccessEditor = nullptr;
        Changed(-1);
    }
}

int TrkAccessMaskEditor::GetCount() { return FAccessMasks->Count() + (FSpecialAccessEditor ? 1 : 0); }

std::wstring TrkAccessMaskEditor::GetStrings(int index) {
    if (index < 0) return std::wstring();
    if (index < FAccessMasks->Count()) return FAccessMasks->GetItems(index)->MaskCaption();
    if (index == FAccessMasks->Count() && FSpecialAccessEditor) return FSpecialAccessEditor->Caption();
    return std::wstring();
}

bool TrkAccessMaskEditor::GetAllowed(int index) {
    bool allowed = TrkCheckListBox::GetAllowed(index);
    if (FSpecialAccessEditor && index == FAccessMasks->Count()) allowed = allowed && !FSpecialAccessEditor->ReadOnly();
    return allowed;
}

uint32_t TrkAccessMaskEditor::GetAccessMask() {
    const int i = SelectedIndex();
    if (i < 0) return 0;
    if (i < FAccessMasks->Count()) return FAccessMasks->GetItems(i)->AccessMask();
    if (i == FAccessMasks->Count() && FSpecialAccessEditor) return FSpecialAccessEditor->GetAccessMask();
    return 0;
}

void TrkAccessMaskEditor::SetSelectedIndex(int index) {
    TrkCheckListBox::SetSelectedIndex(index);
    if (FSpecialAccessEditor) FSpecialAccessEditor->SetAccessMask(GetAccessMask());
}

void TrkAccessMaskEditor::SetAccessMask(uint32_t M) {
    // Also when the selection fails, the special editor shows M.
    TScopeExit show([this, M] {
        if (FSpecialAccessEditor) FSpecialAccessEditor->SetAccessMask(M);
    });
    for (int i = 0; i < FAccessMasks->Count(); ++i)
        if (FAccessMasks->GetItems(i)->AccessMask() == M) {
            SetSelectedIndex(i);
            return;
        }
    SetSelectedIndex(FSpecialAccessEditor ? FAccessMasks->Count() : -1);
}

void TrkAccessMaskEditor::MasksChanged(TObject* Sender) {
    if (Sender == FAccessMasks.get()) Changed(-1);
    else if (auto* item = dynamic_cast<TrkAccessMask*>(Sender)) Changed(item->Index());
}

void TrkAccessMaskEditor::BitsChanged(TObject* Sender) {
    if (FSpecialAccessEditor) FSpecialAccessEditor->BitsChanged(Sender);
}

void TrkAccessMaskEditor::SetSpecialAccessEditor(TrkSpecialAccessEditor* V) {
    if (FSpecialAccessEditor && FSpecialAccessEditor != V) {
        TrkSpecialAccessEditor* old = FSpecialAccessEditor;
        old->FAccessMaskEditor = nullptr;
        old->RemoveFreeNotification(this);
        old->Changed(-1);
    }
    if (V) {
        V->SetAccessMaskEditor(this);
        return;
    }
    FSpecialAccessEditor = nullptr;
    Changed(-1);
}

// ---------------------------------------------------------------------------------------------
// TrkSpecialAccessEditor

TAMREL_IMPLEMENT_CLASS(TrkSpecialAccessEditor) {
    b.Object(L"MaskBits", &TrkSpecialAccessEditor::MaskBits).Stored(&TrkSpecialAccessEditor::StoredMaskBits);
    b.String(L"Caption", &TrkSpecialAccessEditor::Caption, &TrkSpecialAccessEditor::SetCaption);
}

TrkSpecialAccessEditor::TrkSpecialAccessEditor(TComponent* AOwner)
    : TrkCheckListBox(AOwner), FMaskBits(new TrkAccessBits) {
    FMaskBits->SetOnChange(TNotifyEvent::Of<&TrkSpecialAccessEditor::BitsChanged>(this));
    SetKind(gkCheck);
}

TrkSpecialAccessEditor::~TrkSpecialAccessEditor() {
    if (FAccessMaskEditor) {
        FAccessMaskEditor->FSpecialAccessEditor = nullptr;
        FAccessMaskEditor->Changed(-1);
    }
}

void TrkSpecialAccessEditor::Notification(TComponent* AComponent, TOperation Operation) {
    TrkCheckListBox::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FAccessMaskEditor) {
        FAccessMaskEditor = nullptr;
        Changed(-1);
    }
}

TrkAccessBits* TrkSpecialAccessEditor::GetMaskBits() const {
    return FAccessMaskEditor ? FAccessMaskEditor->MaskBits() : FMaskBits.get();
}

void TrkSpecialAccessEditor::SetAccessMaskEditor(TrkAccessMaskEditor* E) {
    if (FAccessMaskEditor && FAccessMaskEditor != E) {
        TrkAccessMaskEditor* old = FAccessMaskEditor;
        old->FSpecialAccessEditor = nullptr;
        RemoveFreeNotification(old);
        old->Changed(-1);
    }
    FAccessMaskEditor = E;
    if (!E) return;
    E->FSpecialAccessEditor = this;
    FreeNotification(E);
    E->Changed(-1);
    Changed(-1);
}

void TrkSpecialAccessEditor::SetCaption(const std::wstring& S) {
    FCaption = S;
    if (FAccessMaskEditor) FAccessMaskEditor->Changed(FAccessMaskEditor->GetCount() - 1);
}

void TrkSpecialAccessEditor::SetReadOnly(bool V) {
    TrkCheckListBox::SetReadOnly(V);
    if (FAccessMaskEditor) FAccessMaskEditor->InvalidateGlyph(FAccessMaskEditor->GetCount() - 1);
}

uint32_t TrkSpecialAccessEditor::UsedMask() const {
    uint32_t used = 0;
    TrkAccessBits* bits = GetMaskBits();
    for (int i = 0; i < 32; ++i)
        if (bits->MaskBit(i)->IsUsed()) used |= 1u << i;
    return used;
}

uint32_t TrkSpecialAccessEditor::GetAccessMask() const {
    return GetMaskBits()->GetAccessMask() | (FHiddenBits & ~UsedMask());
}

void TrkSpecialAccessEditor::SetAccessMask(uint32_t M) {
    GetMaskBits()->SetAccessMask(M);
    FHiddenBits = M & ~UsedMask();
}

int TrkSpecialAccessEditor::GetCount() { return GetMaskBits()->UsedCount(); }

std::wstring TrkSpecialAccessEditor::GetStrings(int index) {
    if (index < 0 || index >= GetCount()) return std::wstring();
    return GetMaskBits()->UsedMaskBit(index)->BitName();
}

TrkGlyphState TrkSpecialAccessEditor::GetState(int Index) {
    if (Index < 0 || Index >= GetCount()) return gsOff;
    return GetMaskBits()->UsedMaskBit(Index)->Checked() ? gsOn : gsOff;
}

void TrkSpecialAccessEditor::SetState(int Index, TrkGlyphState Value) {
    if (Index < 0 || Index >= GetCount()) return;
    GetMaskBits()->UsedMaskBit(Index)->SetChecked(Value == gsOn);
    if (FAccessMaskEditor) FAccessMaskEditor->SetAccessMask(GetAccessMask());
}

void TrkSpecialAccessEditor::BitsChanged(TObject* Sender) {
    if (auto* bit = dynamic_cast<TrkAccessBit*>(Sender)) {
        TrkAccessBitChanges c = bit->Changed();
        if (!c.Contains(bcCanBeUsed) && !c.Contains(bcIsUsed)) {
            if (!bit->IsUsed()) return;
            // Its position among the used bits.
            int position = 0;
            for (int i = 0; i < bit->Index(); ++i)
                if (GetMaskBits()->MaskBit(i)->IsUsed()) ++position;
            Changed(position);
            return;
        }
    }
    Changed(-1);
}

} // namespace tamrel
