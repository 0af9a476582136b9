// The access-mask model: bits and their notifications, typed and custom sets, the linked pair,
// the template table, the stored form ("InternalData") and the INI form; the mask editors.
#include "runtime/controls/Tamrel_Masks.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "host/IniFiles.h"
#include "host/Streaming.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace tamrel;
using namespace tamrel::test;

namespace tamrel {

// A component with a published bit set, as the editors and dialogs have one.
class TMaskHolder : public TComponent {
    TAMREL_CLASS(TMaskHolder, TComponent)
public:
    explicit TMaskHolder(TComponent* owner) : TComponent(owner) {}
    TrkAccessBits* Bits() const { return FBits.get(); }

private:
    std::unique_ptr<TrkAccessBits> FBits = std::make_unique<TrkAccessBits>();
};

TAMREL_IMPLEMENT_CLASS(TMaskHolder) { b.Object(L"Bits", &TMaskHolder::Bits); }

} // namespace tamrel

namespace {

// Counts OnChange calls of a set and of a collection, and remembers the senders.
struct TChangeCounter {
    int Count = 0;
    std::vector<TObject*> Senders;
    void Changed(TObject* sender) {
        ++Count;
        Senders.push_back(sender);
    }
    TNotifyEvent Event() { return TNotifyEvent::Of<&TChangeCounter::Changed>(this); }
};

TEST(AccessBits, NewSetIsCustomWithStandardNamesAndNothingUsed) {
    TrkAccessBits bits;
    EXPECT_EQ(bits.MaskType(), mtCustom);
    EXPECT_EQ(bits.AccessMask(), 0u);
    EXPECT_EQ(bits.UsedCount(), 0);
    EXPECT_EQ(bits.MaskBit(21)->BitName(), L"");
    EXPECT_EQ(bits.MaskBit(16)->BitName(), L"Delete access");
    EXPECT_EQ(bits.MaskBit(31)->BitName(), L"Generic read");
    for (int i = 0; i < 32; ++i) {
        EXPECT_TRUE(bits.MaskBit(i)->CanBeUsed()) << i;
        EXPECT_EQ(bits.MaskBit(i)->Index(), i);
    }
}

TEST(AccessBits, CheckingAllOfAFileSetKeepsOnlyUsedBitsAndMakesItCustom) {
    TrkAccessBits bits;
    TChangeCounter counter;
    bits.SetOnChange(counter.Event());
    bits.SetMaskType(mtFile);
    EXPECT_EQ(counter.Count, 1); // the type change itself
    EXPECT_EQ(counter.Senders.back(), &bits);
    EXPECT_EQ(bits.UsedCount(), 8);
    bits.SetAccessMask(0x1F01FF);
    EXPECT_EQ(bits.AccessMask(), 0x1BFu);
    EXPECT_EQ(bits.MaskType(), mtCustom);
    // One notification per bit that really changed: the eight used bits.
    EXPECT_EQ(counter.Count, 1 + 8);
    // Setting the same mask again changes nothing and tells nothing.
    bits.SetAccessMask(0x1F01FF);
    EXPECT_EQ(counter.Count, 9);
}

TEST(AccessBits, EveryRealBitChangeTurnsATypedSetCustomAndNoChangeKeepsIt) {
    struct TCase {
        const char* What;
        std::function<void(TrkAccessBit&)> Change;
        bool Real;
    };
    const TCase cases[] = {
        {"same name", [](TrkAccessBit& b) { b.SetBitName(b.BitName()); }, false},
        {"same name with blanks", [](TrkAccessBit& b) { b.SetBitName(L"  " + b.BitName() + L"\t"); }, false},
        {"other name", [](TrkAccessBit& b) { b.SetBitName(L"Other"); }, true},
        {"same IsUsed", [](TrkAccessBit& b) { b.SetIsUsed(b.IsUsed()); }, false},
        {"IsUsed off", [](TrkAccessBit& b) { b.SetIsUsed(false); }, true},
        {"same Checked", [](TrkAccessBit& b) { b.SetChecked(false); }, false},
        {"Checked on", [](TrkAccessBit& b) { b.SetChecked(true); }, true},
        {"CanBeUsed off", [](TrkAccessBit& b) { b.SetCanBeUsed(false); }, true},
    };
    for (const auto& c : cases) {
        TrkAccessBits bits;
        bits.SetMaskType(mtKey);
        TChangeCounter counter;
        bits.SetOnChange(counter.Event());
        c.Change(*bits.MaskBit(1));
        EXPECT_EQ(bits.MaskType(), c.Real ? mtCustom : mtKey) << c.What;
        EXPECT_EQ(counter.Count, c.Real ? 1 : 0) << c.What;
        if (c.Real) {
            EXPECT_EQ(counter.Senders[0], bits.MaskBit(1)) << c.What;
        }
        // The standard names and CanBeUsed are restored after any change.
        EXPECT_TRUE(bits.MaskBit(1)->Changed().Empty()) << c.What;
    }
}

TEST(AccessBits, BitSetterNotifiesTheBitsOwnHandlerEvenWithoutAChange) {
    TrkAccessBits bits;
    TrkAccessBit* bit = bits.MaskBit(3);
    TChangeCounter direct;
    TrkAccessBitChanges seen;
    bit->SetOnChange(TNotifyEvent::FromFunction(
        [](void* ctx, TObject* sender) {
            *static_cast<TrkAccessBitChanges*>(ctx) = static_cast<TrkAccessBit*>(sender)->Changed();
        },
        &seen));
    bit->SetChecked(false);
    EXPECT_TRUE(seen.Empty());
    bit->SetChecked(true);
    EXPECT_EQ(seen, TrkAccessBitChanges{bcChecked});
    EXPECT_TRUE(bit->Changed().Empty());
}

TEST(AccessBits, SetMaskBitComparesAllButCheckedAndAssignsWhenDifferent) {
    TrkAccessBits source, bits;
    bits.SetMaskType(mtFile);
    // Same content, other Checked: nothing happens.
    source.MaskBit(0)->SetIsUsed(true);
    source.MaskBit(0)->SetBitName(L"Read data");
    source.MaskBit(0)->SetChecked(true);
    bits.SetMaskBit(0, source.MaskBit(0));
    EXPECT_EQ(bits.MaskType(), mtFile);
    EXPECT_FALSE(bits.MaskBit(0)->Checked());
    source.MaskBit(0)->SetBitName(L"Peek");
    bits.SetMaskBit(0, source.MaskBit(0));
    EXPECT_EQ(bits.MaskType(), mtCustom);
    EXPECT_EQ(bits.MaskBit(0)->BitName(), L"Peek");
    EXPECT_TRUE(bits.MaskBit(0)->Checked());
}

TEST(AccessBits, BitIndexOutsideTheSetRaises) {
    TrkAccessBits bits, other;
    for (int i : {-1, 32, 1000}) {
        try {
            bits.MaskBit(i);
            ADD_FAILURE() << "no exception for " << i;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), Format(L"MaskBit index out of bounds (%d)", i));
        }
        EXPECT_THROW(bits.SetMaskBit(i, other.MaskBit(0)), Exception) << i;
    }
}

TEST(AccessBits, UsedMaskBitCountsUsedBitsFromBitZero) {
    TrkAccessBits bits;
    bits.SetMaskType(mtService); // no bit 0
    EXPECT_EQ(bits.UsedCount(), 8);
    EXPECT_EQ(bits.UsedMaskBit(0)->Index(), 1);
    EXPECT_EQ(bits.UsedMaskBit(7)->Index(), 8);
    for (int i : {-1, 8}) {
        try {
            bits.UsedMaskBit(i);
            ADD_FAILURE() << i;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), Format(L"UsedMask index out of bounds (%d)", i));
        }
    }
}

TEST(AccessBits, AssignCopiesBitsWithNotificationsThenTheTypeField) {
    TrkAccessBits source, bits;
    source.SetMaskType(mtEvent);
    source.SetAccessMask(0x2);
    source.SetMaskType(mtEvent); // checked bits survive a type change
    TChangeCounter counter;
    bits.SetOnChange(counter.Event());
    bits.Assign(&source);
    EXPECT_EQ(bits.MaskType(), mtEvent);
    EXPECT_EQ(bits.AccessMask(), 0x2u);
    // Bit 1 changed (used, named, checked), then the set's own notification.
    EXPECT_EQ(counter.Count, 2);
    EXPECT_EQ(counter.Senders.back(), &bits);
}

TEST(AccessMasks, DisplayNameShowsCaptionAndMaskOrTheDefault) {
    TrkAccessMasks masks(nullptr);
    TrkAccessMask* m = masks.Add();
    EXPECT_EQ(m->GetDisplayName(), L"TrkAccessMask"); // the collection item's default
    m->SetMaskCaption(L"Read only");
    m->SetAccessMask(0x120089);
    EXPECT_EQ(m->GetDisplayName(), L"Read only  ( $00120089 )");
}

TEST(AccessMasks, SettersRecordWhetherTheyChangedAnythingAndNotify) {
    TrkAccessMasks masks(nullptr);
    TChangeCounter counter;
    masks.SetOnChange(counter.Event());
    TrkAccessMask* m = masks.Add();
    int before = counter.Count;
    m->SetAccessMask(5);
    EXPECT_TRUE(m->Changed());
    m->SetAccessMask(5);
    EXPECT_FALSE(m->Changed());
    EXPECT_EQ(counter.Count, before + 2);
    EXPECT_EQ(counter.Senders.back(), m);
}

TEST(AccessMasks, LinkedPairChangesTypeOnceWithoutLooping) {
    TrkAccessBits bits;
    TrkAccessMasks masks(nullptr);
    bits.SetAccessMasks(&masks);
    masks.SetMaskBits(&bits);
    TChangeCounter bitsCounter, masksCounter;
    bits.SetOnChange(bitsCounter.Event());
    masks.SetOnChange(masksCounter.Event());

    bits.SetMaskType(mtPrinter);
    EXPECT_EQ(masks.MaskType(), mtPrinter);
    EXPECT_EQ(masks.Count(), 4);
    // The bits tell of their own change, then again when the masks pass the type back to them
    // (the masks, now of that type, are not called a second time).
    EXPECT_EQ(bitsCounter.Count, 2);
    EXPECT_EQ(masksCounter.Count, 1);
    EXPECT_EQ(masksCounter.Senders.back(), &masks);

    masks.SetMaskType(mtKey);
    EXPECT_EQ(bits.MaskType(), mtKey);
    EXPECT_EQ(bits.MaskBit(3)->BitName(), L"Enumerate sub-keys");
    EXPECT_EQ(bitsCounter.Count, 3);
    EXPECT_EQ(masksCounter.Count, 2);
    // The printer's three equal masks keep their order: a search for $20008 finds "Read only".
    masks.SetMaskType(mtPrinter);
    int first = -1;
    for (int i = 0; i < masks.Count() && first < 0; ++i)
        if (masks.GetItems(i)->AccessMask() == 0x20008) first = i;
    ASSERT_GE(first, 0);
    EXPECT_EQ(masks.GetItems(first)->MaskCaption(), L"Read only");
    // A bit change makes the bits custom, the masks are not told.
    bits.MaskBit(2)->SetChecked(true);
    EXPECT_EQ(bits.MaskType(), mtCustom);
    EXPECT_EQ(masks.MaskType(), mtPrinter);
}

// The table as the template rows give it: name, predefined masks, specific bits.
struct TRow {
    TrkAccessMaskType Type;
    const wchar_t* Name;
    std::vector<std::pair<const wchar_t*, uint32_t>> Masks;
    std::vector<std::pair<uint32_t, const wchar_t*>> Bits;
};

const std::vector<std::pair<const wchar_t*, uint32_t>> kFileMasks = {
    {L"All access", 0x1F01FF}, {L"Read only", 0x120089}, {L"Write only", 0x120116}, {L"Execute", 0x1200A0}};

const TRow kRows[] = {
    {mtFile, L"File access rights", kFileMasks,
     {{0x1, L"Read data"}, {0x2, L"Write data"}, {0x4, L"Append data"}, {0x8, L"Read extended attributes"},
      {0x10, L"Write extended attributes"}, {0x20, L"Execute"}, {0x80, L"Read attributes"}, {0x100, L"Write attributes"}}},
    {mtPipe, L"Pipe access rights", kFileMasks,
     {{0x1, L"Read data"}, {0x2, L"Write data"}, {0x4, L"Create pipe instance"}, {0x80, L"Read attributes"},
      {0x100, L"Write attributes"}}},
    {mtDir, L"Directory access rights", kFileMasks,
     {{0x1, L"List directory"}, {0x2, L"Add file"}, {0x4, L"Add subdirectory"}, {0x8, L"Read extended attributes"},
      {0x10, L"Write extended attributes"}, {0x20, L"Traverse directory"}, {0x40, L"Delete child"},
      {0x80, L"Read attributes"}, {0x100, L"Write attributes"}}},
    {mtFileAndDir, L"File and directory access rights", kFileMasks,
     {{0x1, L"Read data/List directory"}, {0x2, L"Write data/Add file"}, {0x4, L"Append data/Add subdirectory"},
      {0x8, L"Read extended attributes"}, {0x10, L"Write extended attributes"}, {0x20, L"Execute/Traverse directory"},
      {0x80, L"Read attributes"}, {0x100, L"Write attributes"}}},
    {mtKey, L"Registry key access rights", {{L"Read only", 0x20019}, {L"Write only", 0x20006}, {L"All access", 0xF003F}},
     {{0x1, L"Query value"}, {0x2, L"Set value"}, {0x4, L"Create sub-key"}, {0x8, L"Enumerate sub-keys"},
      {0x10, L"Notify"}, {0x20, L"Create link"}}},
    {mtEvent, L"Event access rights", {{L"All access", 0x1F0003}}, {{0x2, L"Modify state"}}},
    {mtSemaphore, L"Semaphore key access rights", {{L"All access", 0x1F0003}}, {{0x2, L"Modify state"}}},
    {mtMutex, L"Mutex access rights", {{L"All access", 0x1F0001}}, {{0x1, L"Query state"}}},
    {mtPrintServer, L"Print server access rights",
     {{L"All access", 0xF0003}, {L"Read only", 0x20002}, {L"Write only", 0x20003}, {L"Execute", 0x20002}},
     {{0x1, L"Administer server"}, {0x2, L"Enumerate server"}}},
    {mtPrinter, L"Printer access rights",
     {{L"All access", 0xF000C}, {L"Read only", 0x20008}, {L"Write only", 0x20008}, {L"Execute", 0x20008}},
     {{0x4, L"Administer printer"}, {0x8, L"Use printer"}}},
    {mtPrintJob, L"Print job access rights",
     {{L"All access", 0xF0010}, {L"Read only", 0x20010}, {L"Write only", 0x20010}, {L"Execute", 0x20010}},
     {{0x10, L"Administer job"}}},
    {mtServiceManager, L"Service manager access rights", {{L"All access", 0xF003F}},
     {{0x1, L"Connect manager"}, {0x2, L"Create service"}, {0x4, L"Enumerate service"}, {0x8, L"Lock manager"},
      {0x10, L"Query lock status"}, {0x20, L"Modify boot config"}}},
    {mtService, L"Service access rights", {{L"All access", 0xF01FF}},
     {{0x2, L"Change config"}, {0x4, L"Query status"}, {0x8, L"Enumerate dependents"}, {0x10, L"Start service"},
      {0x20, L"Stop service"}, {0x40, L"Pause / continue"}, {0x80, L"Interrogate"}, {0x100, L"User defined control"}}},
    {mtWinSta, L"Window station access rights", {},
     {{0x1, L"Enum desktops"}, {0x2, L"Read attributes"}, {0x4, L"Access clipboard"}, {0x8, L"Create desktop"},
      {0x10, L"Write attributes"}, {0x20, L"Access global atoms"}, {0x40, L"Exit windows"}, {0x100, L"Enumerate"},
      {0x200, L"Read screen"}}},
    {mtSection, L"Section access rights", {{L"All access", 0xF001F}},
     {{0x1, L"Query"}, {0x2, L"Map write"}, {0x4, L"Map read"}, {0x8, L"Map execute"}, {0x10, L"Extend size"}}},
    {mtToken, L"Token access rights",
     {{L"All access", 0xF01FF}, {L"Read only", 0x20008}, {L"Wrte only", 0x200E0}, {L"Execute", 0x20000}},
     {{0x1, L"Assign primary"}, {0x2, L"Duplicate"}, {0x4, L"Impersonate"}, {0x8, L"Query"}, {0x10, L"Query source"},
      {0x20, L"Adjust privileges"}, {0x40, L"Adjust groups"}, {0x80, L"Adjust default"}}},
    {mtProcess, L"Process access rights", {{L"All access", 0x1FFFFF}},
     {{0x1, L"Terminate"}, {0x2, L"Create thread"}, {0x8, L"VM operation"}, {0x10, L"VM read"}, {0x20, L"VM write"},
      {0x40, L"Duplicate handle"}, {0x80, L"Create process"}, {0x100, L"Set quota"}, {0x200, L"Set information"},
      {0x400, L"Query information"}}},
    {mtThread, L"Thread access rights", {{L"All access", 0x1F03FF}},
     {{0x1, L"Terminate"}, {0x2, L"Suspend / resume"}, {0x8, L"Get context"}, {0x10, L"Set context"},
      {0x20, L"Set information"}, {0x40, L"Query information"}, {0x80, L"Set thread token"}, {0x100, L"Impersonate"},
      {0x200, L"Direct impersonation"}}},
};

TEST(MaskTemplates, EveryRowHasItsNameBitsAndMasksInOrder) {
    ASSERT_EQ(std::size(kRows), 18u);
    for (const TRow& row : kRows) {
        SCOPED_TRACE(ToUtf8(row.Name));
        EXPECT_EQ(GetMaskTemplateName(row.Type), row.Name);
        // Through a set of that type, as the editors see it.
        TrkAccessBits bits;
        bits.SetMaskType(row.Type);
        for (int i = 0; i < 16; ++i) {
            const wchar_t* expected = nullptr;
            for (const auto& [mask, name] : row.Bits)
                if (mask == (1u << i)) expected = name;
            EXPECT_EQ(bits.MaskBit(i)->IsUsed(), expected != nullptr) << i;
            EXPECT_EQ(bits.MaskBit(i)->BitName(), expected ? expected : L"") << i;
        }
        TrkAccessMasks masks(nullptr);
        masks.SetMaskType(row.Type);
        ASSERT_EQ(masks.Count(), static_cast<int>(row.Masks.size()));
        for (size_t i = 0; i < row.Masks.size(); ++i) {
            EXPECT_EQ(masks.GetItems(static_cast<int>(i))->MaskCaption(), row.Masks[i].first) << i;
            EXPECT_EQ(masks.GetItems(static_cast<int>(i))->AccessMask(), row.Masks[i].second) << i;
        }
    }
    EXPECT_EQ(GetMaskTemplateName(mtCustom), L"");
}

// ---------------------------------------------------------------------------------------------
// Stored form

std::wstring HolderText(const std::wstring& internalData) {
    return L"object MaskHolder1: TMaskHolder\r\n  Bits.InternalData = (" + internalData + L")\r\nend\r\n";
}

std::wstring Quoted(const std::vector<std::wstring>& items) {
    std::wstring s;
    for (const auto& item : items) {
        std::wstring q;
        for (wchar_t c : item) q += c == L'\'' ? std::wstring(L"''") : std::wstring(1, c);
        s += L"\r\n    '" + q + L"'";
    }
    return s;
}

// The strings of InternalData in a text form.
std::vector<std::wstring> InternalDataOf(const std::wstring& text) {
    size_t start = text.find(L"InternalData = (");
    if (start == std::wstring::npos) return {};
    size_t end = text.find(L")\r\n", start);
    std::vector<std::wstring> out;
    std::wstring body = text.substr(start, end - start);
    for (size_t q = body.find(L'\''); q != std::wstring::npos; q = body.find(L'\'', q + 1)) {
        std::wstring s;
        size_t i = q + 1;
        for (; i < body.size(); ++i) {
            if (body[i] == L'\'' && i + 1 < body.size() && body[i + 1] == L'\'') {
                s += L'\'';
                ++i;
            } else if (body[i] == L'\'') {
                break;
            } else {
                s += body[i];
            }
        }
        out.push_back(s);
        q = i;
    }
    return out;
}

TEST(AccessBitsStream, TypedSetWritesOneStringAndCustomSetWrites97) {
    TOwned<TMaskHolder> holder(Create<TMaskHolder>(nullptr));
    holder->SetName(L"MaskHolder1");
    holder->Bits()->SetMaskType(mtFile);
    EXPECT_EQ(InternalDataOf(ComponentToText(holder.get())), std::vector<std::wstring>{L"1"});
    holder->Bits()->MaskBit(21)->SetBitName(L"It's mine");
    holder->Bits()->MaskBit(21)->SetIsUsed(true);
    auto strings = InternalDataOf(ComponentToText(holder.get()));
    ASSERT_EQ(strings.size(), 97u);
    EXPECT_EQ(strings[0], L"0");
    EXPECT_EQ(strings[1 + 3 * 21], L"Y");
    EXPECT_EQ(strings[2 + 3 * 21], L"Y");
    EXPECT_EQ(strings[3 + 3 * 21], L"It's mine");
    EXPECT_EQ(strings[2 + 3 * 22], L"N");
}

TEST(AccessBitsStream, RoundTripKeepsTypeUsedFlagsAndNamesButNotChecked) {
    for (TrkAccessMaskType type : {mtCustom, mtFile, mtThread}) {
        TOwned<TMaskHolder> a(Create<TMaskHolder>(nullptr)), b(Create<TMaskHolder>(nullptr));
        a->SetName(L"MaskHolder1");
        a->Bits()->SetMaskType(type);
        if (type == mtCustom) {
            a->Bits()->MaskBit(2)->SetIsUsed(true);
            a->Bits()->MaskBit(2)->SetBitName(L"Two");
            a->Bits()->MaskBit(30)->SetCanBeUsed(false);
        }
        a->Bits()->SetAccessMask(0xFFFFFFFF);
        ReadComponentFromText(b.get(), ComponentToText(a.get()));
        EXPECT_EQ(b->Bits()->MaskType(), a->Bits()->MaskType()) << type;
        EXPECT_EQ(b->Bits()->AccessMask(), 0u) << type;
        for (int i = 0; i < 32; ++i) {
            EXPECT_EQ(b->Bits()->MaskBit(i)->IsUsed(), a->Bits()->MaskBit(i)->IsUsed()) << type << " " << i;
            EXPECT_EQ(b->Bits()->MaskBit(i)->BitName(), a->Bits()->MaskBit(i)->BitName()) << type << " " << i;
        }
    }
}

TEST(AccessBitsStream, OddListsReadAsTheRulesSay) {
    std::vector<std::wstring> custom(97);
    custom[0] = L"0";
    for (int i = 0; i < 32; ++i) {
        custom[static_cast<size_t>(1 + 3 * i)] = L"Y";
        custom[static_cast<size_t>(2 + 3 * i)] = i == 4 ? L"Y" : L"y"; // only "Y" is true
        custom[static_cast<size_t>(3 + 3 * i)] = L"Name" + std::to_wstring(i);
    }
    struct TCase {
        const char* What;
        std::vector<std::wstring> Items;
        TrkAccessMaskType Type;
        int UsedCount;
    };
    std::vector<TCase> cases = {
        {"non-numeric type", {L"abc"}, mtCustom, 0},
        {"empty list", {}, mtCustom, 0},
        {"typed", {L"5"}, mtKey, 6},
        {"hexadecimal type", {L"$5"}, mtKey, 6},
        {"type above 18", {L"19"}, mtCustom, 0},
        {"negative type", {L"-1"}, mtCustom, 0},
        {"huge type", {L"99999999999999"}, mtCustom, 0},
        {"short list ends inside a triple", {L"0", L"N", L"Y"}, mtCustom, 1},
        {"full custom list", custom, mtCustom, 1},
    };
    auto overlong = custom;
    overlong.push_back(L"extra");
    overlong.push_back(L"Y");
    cases.push_back({"overlong list", overlong, mtCustom, 1});
    for (const auto& c : cases) {
        TOwned<TMaskHolder> holder(Create<TMaskHolder>(nullptr));
        ASSERT_NO_THROW(ReadComponentFromText(holder.get(), HolderText(Quoted(c.Items)))) << c.What;
        EXPECT_EQ(holder->Bits()->MaskType(), c.Type) << c.What;
        EXPECT_EQ(holder->Bits()->UsedCount(), c.UsedCount) << c.What;
    }
    // The short list: bit 0 read CanBeUsed "N" and IsUsed "Y", then the list ended.
    TOwned<TMaskHolder> holder(Create<TMaskHolder>(nullptr));
    ReadComponentFromText(holder.get(), HolderText(Quoted({L"0", L"N", L"Y"})));
    EXPECT_TRUE(holder->Bits()->MaskBit(0)->IsUsed());
    EXPECT_EQ(holder->Bits()->MaskBit(0)->BitName(), L"");
}

TEST(AccessBitsStream, TwentyThousandRandomAndMutatedListsLeaveAValidSet) {
    std::mt19937 rng(20140601);
    const std::vector<std::wstring> atoms = {L"Y", L"N", L"y", L"", L"0", L"1", L"18", L"19", L"-3", L"abc",
                                             L" 5", L"$12", L"2147483648", L"Name", L"'quoted'", L"\x00e9\x0416"};
    std::vector<std::wstring> base(97);
    base[0] = L"0";
    for (int i = 0; i < 32; ++i) {
        base[static_cast<size_t>(1 + 3 * i)] = L"Y";
        base[static_cast<size_t>(2 + 3 * i)] = L"N";
        base[static_cast<size_t>(3 + 3 * i)] = L"Bit";
    }
    for (int n = 0; n < 20000; ++n) {
        std::vector<std::wstring> items;
        if (n % 2 == 0) {
            size_t len = rng() % 110;
            for (size_t i = 0; i < len; ++i) items.push_back(atoms[rng() % atoms.size()]);
        } else {
            items = base;
            for (int m = static_cast<int>(rng() % 6); m >= 0; --m) {
                size_t at = items.empty() ? 0 : rng() % items.size();
                switch (rng() % 3) {
                case 0: if (!items.empty()) items.erase(items.begin() + static_cast<long>(at)); break;
                case 1: items.insert(items.begin() + static_cast<long>(at), atoms[rng() % atoms.size()]); break;
                default: if (!items.empty()) items[at] = atoms[rng() % atoms.size()]; break;
                }
            }
        }
        TOwned<TMaskHolder> holder(Create<TMaskHolder>(nullptr));
        try {
            ReadComponentFromText(holder.get(), HolderText(Quoted(items)));
        } catch (const std::exception& e) {
            FAIL() << "list " << n << ": " << e.what();
        }
        TrkAccessBits* bits = holder->Bits();
        ASSERT_GE(static_cast<int>(bits->MaskType()), static_cast<int>(mtCustom)) << n;
        ASSERT_LE(static_cast<int>(bits->MaskType()), static_cast<int>(mtThread)) << n;
        ASSERT_LE(bits->UsedCount(), 32) << n;
        ASSERT_EQ(bits->AccessMask(), 0u) << n;
        for (int i = 0; i < 32; ++i) ASSERT_EQ(bits->MaskBit(i)->Index(), i);
    }
}

TEST(AccessMasksStream, MasksChangedAtDesignTimeReadBackAsStored) {
    // The editor publishes its masks before its bits, as the dialogs and the grid do.
    TOwned<TrkAccessMaskEditor> stored(Create<TrkAccessMaskEditor>(nullptr)), read(Create<TrkAccessMaskEditor>(nullptr));
    stored->SetName(L"Masks1");
    stored->AccessMasks()->SetMaskType(mtKey);
    stored->AccessMasks()->GetItems(0)->SetAccessMask(0x20009);
    stored->AccessMasks()->GetItems(1)->SetMaskCaption(L"Change values");
    stored->AccessMasks()->Delete(2);
    ReadComponentFromText(read.get(), ComponentToText(stored.get()));
    EXPECT_EQ(read->MaskBits()->MaskType(), mtKey);
    EXPECT_EQ(read->MaskBits()->UsedCount(), 6);
    ASSERT_EQ(read->AccessMasks()->Count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(read->AccessMasks()->GetItems(i)->AccessMask(), stored->AccessMasks()->GetItems(i)->AccessMask()) << i;
        EXPECT_EQ(read->AccessMasks()->GetItems(i)->MaskCaption(), stored->AccessMasks()->GetItems(i)->MaskCaption())
            << i;
    }
}

// ---------------------------------------------------------------------------------------------
// INI form

TEST(AccessBitsIni, SaveWritesExactlyTheSixtyFourKeys) {
    std::wstring file = TempFileName(L"masks") + L".ini";
    TrkAccessBits bits;
    bits.SetMaskType(mtService);
    bits.SetAccessMask(0x30);
    bits.SaveToIni(file, L"Service");
    TIniFile ini(file);
    auto keys = ini.ReadSection(L"Service");
    ASSERT_EQ(keys.size(), 64u);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(keys[static_cast<size_t>(2 * i)], Format(L"Bit_%d_Used", i));
        EXPECT_EQ(keys[static_cast<size_t>(2 * i + 1)], Format(L"Bit_%d_Name", i));
    }
    wchar_t value[64] = {};
    GetPrivateProfileStringW(L"Service", L"Bit_1_Used", L"?", value, 64, file.c_str());
    EXPECT_STREQ(value, L"1");
    GetPrivateProfileStringW(L"Service", L"Bit_0_Used", L"?", value, 64, file.c_str());
    EXPECT_STREQ(value, L"0");
    GetPrivateProfileStringW(L"Service", L"Bit_4_Name", L"?", value, 64, file.c_str());
    EXPECT_STREQ(value, L"Start service");

    TrkAccessBits loaded;
    TChangeCounter counter;
    loaded.SetOnChange(counter.Event());
    loaded.LoadFromIni(file, L"Service");
    EXPECT_EQ(counter.Count, 0);
    EXPECT_EQ(loaded.MaskType(), mtCustom);
    EXPECT_EQ(loaded.UsedCount(), 8);
    EXPECT_EQ(loaded.AccessMask(), 0u); // Checked is not stored
    EXPECT_EQ(loaded.MaskBit(7)->BitName(), L"Interrogate");
    DeleteFileW(file.c_str());
}

TEST(AccessBitsIni, MissingSectionGivesACustomSetWithStandardNames) {
    std::wstring file = TempFileName(L"masks") + L".ini";
    TrkAccessBits bits;
    bits.SetMaskType(mtFile);
    bits.MaskBit(16)->SetBitName(L"");
    bits.LoadFromIni(file, L"Nothing");
    EXPECT_EQ(bits.MaskType(), mtCustom);
    EXPECT_EQ(bits.UsedCount(), 0);
    EXPECT_EQ(bits.MaskBit(0)->BitName(), L"");
    EXPECT_EQ(bits.MaskBit(16)->BitName(), L"Delete access");
    EXPECT_TRUE(bits.MaskBit(5)->CanBeUsed());
}

// ---------------------------------------------------------------------------------------------
// The mask editors: a linked pair and each alone, on a shown form.

class MaskEditorsTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(60, 60, 480, 300);
        Masks = Create<TrkAccessMaskEditor>(Form.get());
        Masks->SetBounds(5, 5, 200, 250);
        Masks->SetParent(Form.get());
        Special = Create<TrkSpecialAccessEditor>(Form.get());
        Special->SetBounds(210, 5, 250, 250);
        Special->SetParent(Form.get());
    }
    void Link(TrkAccessMaskType type) {
        Masks->SetSpecialAccessEditor(Special);
        Masks->AccessMasks()->SetMaskType(type);
    }
    // The text of the selected radio item.
    std::wstring Selected() {
        int i = Masks->SelectedIndex();
        return i < 0 ? L"(none)" : Masks->Items()->Get(i);
    }
    std::vector<bool> Ticks() {
        std::vector<bool> ticks;
        for (int i = 0; i < Special->Items()->Count(); ++i) ticks.push_back(Special->Checked(i));
        return ticks;
    }
    TOwned<TForm> Form;
    TrkAccessMaskEditor* Masks = nullptr;
    TrkSpecialAccessEditor* Special = nullptr;
};

TEST_F(MaskEditorsTest, LinkedPairSelectsTheEqualMaskOrTheExtraItem) {
    Link(mtFile);
    EXPECT_EQ(Masks->Items()->ToVector(),
              (std::vector<std::wstring>{L"All access", L"Read only", L"Write only", L"Execute", L"Special access"}));
    EXPECT_EQ(Special->Items()->Count(), 8);
    EXPECT_EQ(Special->Items()->Get(0), L"Read data");
    Masks->SetAccessMask(0x120089);
    EXPECT_EQ(Selected(), L"Read only");
    EXPECT_EQ(Special->MaskBits()->AccessMask(), 0x89u);
    // Used bits $1 $2 $4 $8 $10 $20 $80 $100: $89 ticks the first, fourth and seventh.
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, false, true, false, false, true, false}));
    Masks->SetAccessMask(0x3);
    EXPECT_EQ(Selected(), L"Special access");
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, false, false, false, false, false, false}));
    EXPECT_EQ(Masks->AccessMask(), 0x3u);
}

TEST_F(MaskEditorsTest, AloneTheMaskEditorSelectsNothingForAnUnknownMask) {
    Masks->AccessMasks()->SetMaskType(mtFile);
    EXPECT_EQ(Masks->Items()->Count(), 4);
    Masks->SetAccessMask(0x3);
    EXPECT_EQ(Masks->SelectedIndex(), -1);
    EXPECT_EQ(Masks->AccessMask(), 0u);
    Masks->SetAccessMask(0x1200A0);
    EXPECT_EQ(Selected(), L"Execute");
}

TEST_F(MaskEditorsTest, FirstOfEqualMasksWins) {
    Link(mtPrinter);
    Masks->SetAccessMask(0x20008);
    EXPECT_EQ(Selected(), L"Read only");
    EXPECT_EQ(Masks->SelectedIndex(), 1);
}

TEST_F(MaskEditorsTest, BitsTheTemplateDoesNotShowPassThrough) {
    Link(mtFile);
    Masks->SetAccessMask(0x12008B);
    EXPECT_EQ(Selected(), L"Special access");
    EXPECT_EQ(Masks->AccessMask(), 0x12008Bu);
    EXPECT_EQ(Special->AccessMask(), 0x12008Bu);
    // Unticking $2 (the second used bit) leaves $120089: "Read only".
    Special->SetCheckedItem(1, false);
    EXPECT_EQ(Selected(), L"Read only");
    EXPECT_EQ(Masks->AccessMask(), 0x120089u);
    // An event's template shows bit $2 only: $120001 is kept whole.
    Link(mtEvent);
    Masks->SetAccessMask(0x120001);
    EXPECT_EQ(Masks->AccessMask(), 0x120001u);
    Special->SetCheckedItem(0, true);
    EXPECT_EQ(Masks->AccessMask(), 0x120003u);
}

TEST_F(MaskEditorsTest, ClicksOnEitherListKeepTheOtherInStep) {
    Link(mtKey);
    Form->Show();
    auto click = [](TrkCheckListBox* list, int index) {
        RECT r = list->ItemRect(index);
        PostMessageW(list->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 5, r.top + 3));
        PostMessageW(list->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.left + 5, r.top + 3));
        PumpPending();
    };
    click(Masks, 0); // "Read only" $20019: bits $1 $8 $10
    EXPECT_EQ(Selected(), L"Read only");
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, false, true, true, false}));
    click(Special, 1); // tick "Set value": no predefined mask is $2001B
    EXPECT_EQ(Selected(), L"Special access");
    EXPECT_EQ(Masks->AccessMask(), 0x2001Bu);
    click(Special, 1);
    EXPECT_EQ(Selected(), L"Read only");
    auto capture = CaptureControl(Form.get());
    SaveCapture(*capture, L"MaskEditorsPair");
    TBitmap* on = RkGetGlyph(gkRadio, gsOn, true);
    RECT r = Masks->ItemRect(0);
    POINT p = Masks->ClientToScreen(POINT{r.left + (17 - on->Width()) / 2, r.top + (RectHeight(r) - on->Height()) / 2});
    POINT origin = Form->ClientToScreen(POINT{0, 0});
    EXPECT_TRUE(ShowsGlyph(*capture, p.x - origin.x, p.y - origin.y, *on));
}

TEST_F(MaskEditorsTest, ReadOnlySpecialEditorDisablesTheExtraItem) {
    Link(mtFile);
    Masks->SetAccessMask(0x1F01FF);
    Special->SetReadOnly(true);
    const int extra = Masks->Items()->Count() - 1;
    EXPECT_FALSE(Masks->Allowed(extra));
    EXPECT_TRUE(Masks->Allowed(0));
    Masks->ToggleClickCheck(extra);
    EXPECT_EQ(Selected(), L"All access");
    Form->Show();
    auto capture = CaptureControl(Masks);
    TBitmap* disabled = RkGetGlyph(gkRadio, gsOff, false);
    RECT r = Masks->ItemRect(extra);
    EXPECT_TRUE(ShowsGlyph(*capture, r.left + (17 - disabled->Width()) / 2,
                           r.top + (RectHeight(r) - disabled->Height()) / 2, *disabled));
}

TEST_F(MaskEditorsTest, LinksComeAndGo) {
    Link(mtFile);
    EXPECT_EQ(Special->AccessMaskEditor(), Masks);
    EXPECT_EQ(Special->MaskBits(), Masks->MaskBits());
    Special->SetCaption(L"Other");
    EXPECT_EQ(Masks->Items()->Get(4), L"Other");
    Masks->SetSpecialAccessEditor(nullptr);
    EXPECT_EQ(Masks->Items()->Count(), 4); // the extra item is gone
    EXPECT_EQ(Special->AccessMaskEditor(), nullptr);
    EXPECT_NE(Special->MaskBits(), Masks->MaskBits());
    EXPECT_EQ(Special->Items()->Count(), 0); // its own set uses no bit
    Special->SetAccessMaskEditor(Masks);
    EXPECT_EQ(Masks->Items()->Count(), 5);
    Free(Special); // the mask editor hears of it
    Special = nullptr;
    EXPECT_EQ(Masks->SpecialAccessEditor(), nullptr);
    EXPECT_EQ(Masks->Items()->Count(), 4);
}

TEST_F(MaskEditorsTest, SpecialEditorAloneEditsItsOwnBits) {
    Special->MaskBits()->SetMaskType(mtMutex);
    Special->Changed(-1);
    EXPECT_EQ(Special->Items()->ToVector(), std::vector<std::wstring>{L"Query state"});
    Special->SetAccessMask(0x100001);
    EXPECT_TRUE(Special->Checked(0));
    EXPECT_EQ(Special->AccessMask(), 0x100001u);
    Special->SetCheckedItem(0, false);
    EXPECT_EQ(Special->AccessMask(), 0x100000u);
    // A name change of a used bit refreshes that item.
    Special->MaskBits()->MaskBit(0)->SetBitName(L"Peek");
    EXPECT_EQ(Special->Items()->Get(0), L"Peek");
}

} // namespace
