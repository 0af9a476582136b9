#include "host/Classes.h"
#include "host/Streaming.h"

#include <gtest/gtest.h>

#include <random>

using namespace tamrel;

namespace {

std::vector<std::wstring> gEvents; // what notifications and lifecycle steps happened, in order

TAMREL_ENUM(TTestColor, tcRed, tcGreen, tcBlue);

class TTestSub : public TPersistent {
    TAMREL_CLASS(TTestSub, TPersistent)
public:
    int32_t Depth() const { return FDepth; }
    void SetDepth(int32_t v) { FDepth = v; }
    std::wstring Label() const { return FLabel; }
    void SetLabel(const std::wstring& v) { FLabel = v; }
    void Assign(TPersistent* source) override {
        if (auto* s = dynamic_cast<TTestSub*>(source)) {
            FDepth = s->FDepth;
            FLabel = s->FLabel;
            return;
        }
        TPersistent::Assign(source);
    }

private:
    int32_t FDepth = 3;
    std::wstring FLabel;
};

TAMREL_IMPLEMENT_CLASS(TTestSub) {
    b.Integer(L"Depth", &TTestSub::Depth, &TTestSub::SetDepth, 3);
    b.String(L"Label", &TTestSub::Label, &TTestSub::SetLabel);
}

class TTestItem : public TCollectionItem {
    TAMREL_CLASS(TTestItem, TCollectionItem)
public:
    explicit TTestItem(TCollection* c) : TCollectionItem(c) {}
    int32_t Value() const { return FValue; }
    void SetValue(int32_t v) {
        FValue = v;
        Changed(false);
    }
    TTestColor Color() const { return FColor; }
    void SetColor(TTestColor c) { FColor = c; }
    std::wstring GetDisplayName() const override { return L"Item " + IntToStr(FValue); }
    void Assign(TPersistent* source) override {
        if (auto* s = dynamic_cast<TTestItem*>(source)) {
            FValue = s->FValue;
            FColor = s->FColor;
            return;
        }
        TCollectionItem::Assign(source);
    }

private:
    int32_t FValue = 0;
    TTestColor FColor = tcRed;
};

TAMREL_IMPLEMENT_CLASS(TTestItem) {
    b.Integer(L"Value", &TTestItem::Value, &TTestItem::SetValue, 0);
    b.Enum(L"Color", &TTestItem::Color, &TTestItem::SetColor, tcRed);
}

class TTestItems : public TOwnedCollection {
    TAMREL_CLASS(TTestItems, TOwnedCollection)
public:
    explicit TTestItems(TPersistent* owner) : TOwnedCollection(owner, TTestItem::StaticClassInfo()) {}
    int Updates = 0;
    TCollectionItem* LastUpdated = nullptr;

protected:
    void Update(TCollectionItem* item) override {
        ++Updates;
        LastUpdated = item;
    }
};
TAMREL_IMPLEMENT_CLASS(TTestItems) {}

class TTestPart : public TComponent {
    TAMREL_CLASS(TTestPart, TComponent)
public:
    static int Alive;
    explicit TTestPart(TComponent* owner) : TComponent(owner) { ++Alive; }
    ~TTestPart() override {
        --Alive;
        gEvents.push_back(L"destroy " + Name());
    }
    int32_t Interval() const { return FInterval; }
    void SetInterval(int32_t v) { FInterval = v; }
    TTestPart* Buddy() const { return FBuddy; }
    void SetBuddy(TTestPart* b) {
        if (FBuddy) FBuddy->RemoveFreeNotification(this);
        FBuddy = b;
        if (b) b->FreeNotification(this);
    }
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        gEvents.push_back(Name() + (op == opInsert ? L" hears insert " : L" hears remove ") +
                          (dynamic_cast<TTestPart*>(c) ? L"part " : L"") + c->Name());
        if (op == opRemove && c == FBuddy) FBuddy = nullptr;
    }
    void Loaded() override {
        TComponent::Loaded();
        gEvents.push_back(L"loaded " + Name());
    }

private:
    int32_t FInterval = 1000;
    TTestPart* FBuddy = nullptr;
};
int TTestPart::Alive = 0;

TAMREL_IMPLEMENT_CLASS(TTestPart) {
    b.Integer(L"Interval", &TTestPart::Interval, &TTestPart::SetInterval, 1000);
    b.Component(L"Buddy", &TTestPart::Buddy, &TTestPart::SetBuddy);
}

using TTestActionEvent = TMethod<void(TComponent* Sender, bool& DoAction)>;

class TTestModule : public TDataModule {
    TAMREL_CLASS(TTestModule, TDataModule)
public:
    explicit TTestModule(TComponent* owner) : TDataModule(owner) {
        FLines = std::make_unique<TStringList>();
        FSub = std::make_unique<TTestSub>();
        FItems = std::make_unique<TTestItems>(this);
        gEvents.push_back(L"constructed");
    }
    ~TTestModule() override {
        DestroyComponents();
        gEvents.push_back(L"module destroyed");
    }

    bool AllowStop() const { return FAllowStop; }
    void SetAllowStop(bool v) { FAllowStop = v; }
    int32_t Count() const { return FCount; }
    void SetCount(int32_t v) {
        if (v == -1) throw Exception(L"Count may not be -1");
        FCount = v;
    }
    uint32_t Mask() const { return FMask; }
    void SetMask(uint32_t v) { FMask = v; }
    int64_t Big() const { return FBig; }
    void SetBig(int64_t v) { FBig = v; }
    TTestColor Color() const { return FColor; }
    void SetColor(TTestColor c) { FColor = c; }
    TSet<TTestColor> Colors() const { return FColors; }
    void SetColors(TSet<TTestColor> c) { FColors = c; }
    std::wstring Title() const { return FTitle; }
    virtual void SetTitle(const std::wstring& v) { FTitle = v; }
    double Ratio() const { return FRatio; }
    void SetRatio(double v) { FRatio = v; }
    TStringList* Lines() const { return FLines.get(); }
    TTestSub* Sub() const { return FSub.get(); }
    TTestItems* Items() const { return FItems.get(); }
    TTestPart* Target() const { return FTarget; }
    void SetTarget(TTestPart* t) { FTarget = t; }
    TTestActionEvent OnStop() const { return FOnStop; }
    void SetOnStop(TTestActionEvent e) {
        FOnStop = e;
        if (e) FAllowStop = true; // an assigned handler implies stopping is allowed
    }
    TNotifyEvent OnTick() const { return FOnTick; }
    void SetOnTick(TNotifyEvent e) { FOnTick = e; }

    void ModuleStop(TComponent*, bool& doAction) { doAction = false; }
    void ModuleTick(TObject*) { ++Ticks; }
    void OtherTick(TObject*) {}
    void WMUser(TMessage& m) { m.Result = 42; }
    void DefaultHandler(TMessage& m) override { m.Result = -1; }

    void DefineProperties(TFiler& filer) override {
        TDataModule::DefineProperties(filer);
        filer.DefineProperty(
            L"Token",
            [this](TReader& r) {
                FToken = r.ReadString();
                TokenLoaded = true;
            },
            [this](TWriter& w) { w.WriteString(FToken); }, true);
        filer.DefineBinaryProperty(
            L"Blob", [this](const std::vector<uint8_t>& d) { Blob = d; }, [this] { return Blob; }, !Blob.empty());
    }

    std::wstring FToken = L"T-1";
    bool TokenLoaded = false;
    std::vector<uint8_t> Blob;
    int Ticks = 0;
    TTestPart* Part1 = nullptr;

protected:
    void FinishConstruction() override { gEvents.push_back(L"finish, token loaded: " + IntToStr(TokenLoaded)); }

private:
    bool FAllowStop = true;
    int32_t FCount = 0;
    uint32_t FMask = 0;
    int64_t FBig = 0;
    TTestColor FColor = tcRed;
    TSet<TTestColor> FColors;
    std::wstring FTitle;
    double FRatio = 0;
    std::unique_ptr<TStringList> FLines;
    std::unique_ptr<TTestSub> FSub;
    std::unique_ptr<TTestItems> FItems;
    TTestPart* FTarget = nullptr;
    TTestActionEvent FOnStop;
    TNotifyEvent FOnTick;
};

TAMREL_IMPLEMENT_CLASS(TTestModule) {
    b.Boolean(L"AllowStop", &TTestModule::AllowStop, &TTestModule::SetAllowStop, true);
    b.Integer(L"Count", &TTestModule::Count, &TTestModule::SetCount, 0);
    b.Cardinal(L"Mask", &TTestModule::Mask, &TTestModule::SetMask, 0);
    b.Int64(L"Big", &TTestModule::Big, &TTestModule::SetBig, 0);
    b.Enum(L"Color", &TTestModule::Color, &TTestModule::SetColor, tcRed);
    b.Set(L"Colors", &TTestModule::Colors, &TTestModule::SetColors, TSet<TTestColor>{});
    b.String(L"Title", &TTestModule::Title, &TTestModule::SetTitle);
    b.Double(L"Ratio", &TTestModule::Ratio, &TTestModule::SetRatio);
    b.Object(L"Lines", &TTestModule::Lines);
    b.Object(L"Sub", &TTestModule::Sub);
    b.Object(L"Items", &TTestModule::Items);
    b.Component(L"Target", &TTestModule::Target, &TTestModule::SetTarget);
    b.Event(L"OnStop", &TTestModule::OnStop, &TTestModule::SetOnStop);
    b.Event(L"OnTick", &TTestModule::OnTick, &TTestModule::SetOnTick);
    b.Method<&TTestModule::ModuleStop>(L"ModuleStop");
    b.Method<&TTestModule::ModuleTick>(L"ModuleTick");
    b.Method<&TTestModule::OtherTick>(L"OtherTick");
    b.Message<&TTestModule::WMUser>(WM_USER + 1);
    b.Field(L"Part1", &TTestModule::Part1);
}

// A module whose class carries a stored form in the test program's resources.
class TStoredModule : public TTestModule {
    TAMREL_CLASS(TStoredModule, TTestModule)
public:
    using TTestModule::TTestModule;
    void SetTitle(const std::wstring& v) override { TTestModule::SetTitle(L"virtual:" + v); }
};
TAMREL_IMPLEMENT_CLASS(TStoredModule) {}

// A module whose stored form is broken.
class TBrokenModule : public TTestModule {
    TAMREL_CLASS(TBrokenModule, TTestModule)
public:
    static int Destroyed;
    using TTestModule::TTestModule;
    ~TBrokenModule() override { ++Destroyed; }
};
int TBrokenModule::Destroyed = 0;
TAMREL_IMPLEMENT_CLASS(TBrokenModule) {}

struct ComponentTest : ::testing::Test {
    void SetUp() override { gEvents.clear(); }
};

} // namespace

TEST_F(ComponentTest, OwnerListsComponentsAndHearsOfThemWhenWhole) {
    std::unique_ptr<TComponent, void (*)(TObject*)> owner(Create<TComponent>(nullptr), Free);
    auto* a = Create<TTestPart>(owner.get());
    a->SetName(L"A");
    auto* b = Create<TTestPart>(owner.get());
    ASSERT_EQ(2, owner->ComponentCount());
    EXPECT_EQ(a, owner->Components(0));
    EXPECT_EQ(b, owner->Components(1));
    EXPECT_EQ(1, b->ComponentIndex());
    EXPECT_THROW(owner->Components(2), EListError);
    // Insert notifications reach the owner's components, the new one included, while the new one
    // is whole (it shows as a part).
    // Each part hears of its own insertion (unnamed then), and A hears of b.
    std::vector<std::wstring> expected = {L" hears insert part ", L" hears insert part ", L"A hears insert part "};
    std::sort(expected.begin(), expected.end());
    auto got = gEvents;
    std::sort(got.begin(), got.end());
    EXPECT_EQ(expected, got);
}

TEST_F(ComponentTest, NamesFollowIdentifierRulesAndAreUniqueInTheOwner) {
    std::unique_ptr<TComponent, void (*)(TObject*)> owner(Create<TComponent>(nullptr), Free);
    auto* a = Create<TTestPart>(owner.get());
    auto* b = Create<TTestPart>(owner.get());
    a->SetName(L"Timer1");
    EXPECT_THROW(b->SetName(L"timer1"), EComponentError); // case-insensitive uniqueness
    for (const wchar_t* bad : {L"1abc", L"a b", L"a.b", L"a-b"}) EXPECT_THROW(b->SetName(bad), EComponentError) << bad;
    b->SetName(L"_Timer2");
    a->SetName(L"TIMER1"); // renaming to itself in another case is allowed
    EXPECT_EQ(b, owner->FindComponent(L"_timer2"));
    EXPECT_EQ(nullptr, owner->FindComponent(L""));
    b->SetName(L"");
    EXPECT_EQ(L"", b->Name());
}

TEST_F(ComponentTest, DestroyingRemovesOwnedComponentsAndFreeNotificationLinks) {
    TComponent* owner = Create<TComponent>(nullptr);
    TComponent* other = Create<TComponent>(nullptr);
    auto* a = Create<TTestPart>(owner);
    a->SetName(L"A");
    auto* b = Create<TTestPart>(other);
    b->SetName(L"B");
    a->SetBuddy(b); // across owners: a free-notification link
    gEvents.clear();
    Free(b);
    EXPECT_EQ(nullptr, a->Buddy());
    EXPECT_NE(std::find(gEvents.begin(), gEvents.end(), L"A hears remove part B"), gEvents.end());
    b = Create<TTestPart>(other);
    a->SetBuddy(b);
    a->SetBuddy(nullptr);
    gEvents.clear();
    Free(b); // the link was removed: a hears nothing
    EXPECT_EQ(std::find(gEvents.begin(), gEvents.end(), L"A hears remove part "), gEvents.end());

    int before = TTestPart::Alive;
    auto* c = Create<TTestPart>(owner);
    c->SetName(L"C");
    gEvents.clear();
    Free(owner);
    EXPECT_EQ(before - 1, TTestPart::Alive);
    // Owned components go last first.
    auto destroyC = std::find(gEvents.begin(), gEvents.end(), L"destroy C");
    auto destroyA = std::find(gEvents.begin(), gEvents.end(), L"destroy A");
    ASSERT_NE(destroyC, gEvents.end());
    EXPECT_LT(destroyC, destroyA);
    Free(other);
}

TEST_F(ComponentTest, ClassRegistryCreatesByName) {
    EXPECT_EQ(&TTestPart::StaticClassInfo(), &FindClass(L"ttestpart"));
    EXPECT_EQ(nullptr, GetClass(L"TNoSuchClass"));
    EXPECT_THROW(FindClass(L"TNoSuchClass"), EClassNotFound);
    TComponent* owner = Create<TComponent>(nullptr);
    TComponent* made = FindClass(L"TTestPart").CreateComponent(owner);
    EXPECT_EQ(L"TTestPart", made->ClassName());
    EXPECT_TRUE(made->InheritsFrom(TComponent::StaticClassInfo()));
    EXPECT_FALSE(made->InheritsFrom(TDataModule::StaticClassInfo()));
    Free(owner);
}

TEST_F(ComponentTest, PublishedPropertiesInheritedFirstAndFoundByName) {
    auto props = TStoredModule::StaticClassInfo().Properties();
    ASSERT_GE(props.size(), 4u);
    EXPECT_EQ(L"Tag", props[0]->Name);
    EXPECT_EQ(L"OnCreate", props[1]->Name);
    EXPECT_EQ(L"AllowStop", props[3]->Name);
    EXPECT_NE(nullptr, TStoredModule::StaticClassInfo().FindProperty(L"allowstop"));
    EXPECT_EQ(nullptr, TStoredModule::StaticClassInfo().FindProperty(L"Nothing"));
    EXPECT_NE(nullptr, TStoredModule::StaticClassInfo().FindMethod(L"ModuleTick"));
}

TEST_F(ComponentTest, DispatchFindsMessageMethodsOrTheDefaultHandler) {
    TTestModule* m = Create<TTestModule>(nullptr);
    TMessage msg{WM_USER + 1, 0, 0, 0};
    m->Dispatch(msg);
    EXPECT_EQ(42, msg.Result);
    TMessage other{WM_USER + 2, 0, 0, 0};
    m->Dispatch(other);
    EXPECT_EQ(-1, other.Result);
    Free(m);
}

TEST_F(ComponentTest, AssignBetweenUnrelatedClassesRaisesConvertError) {
    TTestSub sub;
    TStringList list;
    EXPECT_THROW(sub.Assign(&list), EConvertError);
    EXPECT_THROW(sub.Assign(nullptr), EConvertError);
    try {
        list.Assign(&sub);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(L"Cannot assign a TTestSub to a TStringList", e.Message());
    }
}

// ---------------------------------------------------------------------------------------------
// Streaming

namespace {
TTestModule* MakeFullModule() {
    auto* m = Create<TTestModule>(nullptr);
    m->SetName(L"Module1");
    m->SetAllowStop(false);
    m->SetCount(-7);
    m->SetMask(0xFFFFFFFF);
    m->SetBig(-5000000000LL);
    m->SetColor(tcBlue);
    m->SetColors({tcRed, tcBlue});
    m->SetTitle(L"It's \u00e9t\u00e9\r\nline two");
    m->SetRatio(0.25);
    m->Lines()->Add(L"RpcSs");
    m->Lines()->Add(L"");
    m->Sub()->SetDepth(9);
    m->Sub()->SetLabel(L"sub");
    auto* item = static_cast<TTestItem*>(m->Items()->Add());
    item->SetValue(5);
    item->SetColor(tcGreen);
    m->Items()->Add();
    auto* p1 = Create<TTestPart>(m);
    p1->SetName(L"Part1");
    auto* p2 = Create<TTestPart>(m);
    p2->SetName(L"Part2");
    p2->SetInterval(250);
    p2->SetBuddy(p1);
    m->SetTarget(p2);
    m->SetOnTick(MakeMethod<&TTestModule::ModuleTick>(m));
    m->SetOnStop(MakeMethod<&TTestModule::ModuleStop>(m));
    m->FToken = L"ABC-123";
    m->Blob = {0x00, 0xFF, 0x10};
    return m;
}
} // namespace

TEST_F(ComponentTest, StreamingRoundTripsEveryPropertyKind) {
    TTestModule* m = MakeFullModule();
    std::wstring text = ComponentToText(m);
    EXPECT_NE(std::wstring::npos, text.find(L"object Module1: TTestModule")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"  Colors = [tcRed, tcBlue]")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"  Title = 'It''s '#233't'#233#13#10'line two'")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"  Lines.Strings = (\r\n    'RpcSs'\r\n    '')")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"  Sub.Depth = 9")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"  Items = <\r\n    item\r\n      Value = 5\r\n      Color = tcGreen\r\n    end"))
        << text;
    EXPECT_NE(std::wstring::npos, text.find(L"  Blob = {\r\n    00FF10}")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"  OnTick = ModuleTick")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"    Buddy = Part1")) << text;
    EXPECT_EQ(std::wstring::npos, text.find(L"Interval = 1000")) << text; // defaults are not written
    // Events come after the plain properties and the defined values.
    EXPECT_LT(text.find(L"Token ="), text.find(L"OnStop ="));
    EXPECT_LT(text.find(L"Title ="), text.find(L"OnStop ="));

    auto* copy = Create<TTestModule>(nullptr);
    ReadComponentFromText(copy, text);
    EXPECT_EQ(L"Module1", copy->Name());
    EXPECT_EQ(-7, copy->Count());
    EXPECT_EQ(0xFFFFFFFFu, copy->Mask());
    EXPECT_EQ(-5000000000LL, copy->Big());
    EXPECT_EQ(tcBlue, copy->Color());
    EXPECT_EQ((TSet<TTestColor>{tcRed, tcBlue}), copy->Colors());
    EXPECT_EQ(m->Title(), copy->Title());
    EXPECT_DOUBLE_EQ(0.25, copy->Ratio());
    EXPECT_EQ(2, copy->Lines()->Count());
    EXPECT_EQ(9, copy->Sub()->Depth());
    ASSERT_EQ(2, copy->Items()->Count());
    EXPECT_EQ(tcGreen, CollectionItem<TTestItem>(*copy->Items(), 0)->Color());
    ASSERT_EQ(2, copy->ComponentCount());
    auto* p2 = dynamic_cast<TTestPart*>(copy->FindComponent(L"Part2"));
    ASSERT_NE(nullptr, p2);
    EXPECT_EQ(copy->FindComponent(L"Part1"), p2->Buddy());
    EXPECT_EQ(p2, copy->Target());
    EXPECT_EQ(copy->FindComponent(L"Part1"), copy->Part1); // published field bound by name
    EXPECT_EQ(MakeMethod<&TTestModule::ModuleTick>(copy), copy->OnTick()); // bound to the new root
    EXPECT_EQ(L"ABC-123", copy->FToken);
    EXPECT_TRUE(copy->TokenLoaded);
    EXPECT_EQ(m->Blob, copy->Blob);
    // The event was read after AllowStop = False, so its setter wins.
    EXPECT_TRUE(copy->AllowStop());
    // A second write gives the same text.
    EXPECT_EQ(text, ComponentToText(copy));
    EXPECT_FALSE(copy->ComponentState().Contains(csLoading));
    Free(copy);
    Free(m);
}

TEST_F(ComponentTest, ReadingCallsLoadedOnEveryComponentAndEventsAfterPlainValues) {
    auto* m = Create<TTestModule>(nullptr);
    gEvents.clear();
    ReadComponentFromText(m, L"object M: TTestModule\n"
                             L"  OnStop = ModuleStop\n"
                             L"  AllowStop = False\n"
                             L"  object P: TTestPart\n"
                             L"  end\n"
                             L"end\n");
    EXPECT_TRUE(m->AllowStop()); // the event is applied after the plain value, whatever the order
    EXPECT_NE(std::find(gEvents.begin(), gEvents.end(), L"loaded P"), gEvents.end());
    Free(m);
}

TEST_F(ComponentTest, BadStoredDataRaisesReadErrorWithTheLine) {
    struct Case {
        const wchar_t* text;
        const wchar_t* expect;
    } cases[] = {
        {L"object M: TTestModule\n  Count = 'x'\nend", L"Line 2: "},
        {L"object M: TTestModule\n  Count = -1\nend", L"Count may not be -1"},
        {L"object M: TTestModule\n\n  Nothing = 1\nend", L"Line 3: "},
        {L"object M: TTestModule\n  Color = tcPurple\nend", L"tcPurple"},
        {L"object M: TTestModule\n  Colors = [tcRed, nope]\nend", L"nope"},
        {L"object M: TTestModule\n  OnTick = Missing\nend", L"Missing"},
        {L"object M: TTestModule\n  OnTick = ModuleStop\nend", L"does not fit"},
        {L"object M: TTestModule\n  Title = 'open\nend", L"Unterminated"},
        {L"object M: TTestModule\n  Count = 99999999999\nend", L"Line 2"},
        {L"object M: TTestModule\n  Blob = {0F1}\nend", L"binary"},
        {L"object M: TTestModule\n  object X: TNoSuchClass\n  end\nend", L"TNoSuchClass"},
        {L"object M: TTestModule\n  Count = 1\n", L"'end' expected"},
        {L"object M: TTestModule\n  Sub = 1\nend", L"Line 2"},
        {L"", L"'object' expected"},
        {L"object M: TTestModule\nend\nextra", L"End of text"},
    };
    for (const auto& c : cases) {
        auto* m = Create<TTestModule>(nullptr);
        try {
            ReadComponentFromText(m, c.text);
            ADD_FAILURE() << "no error for " << WideToUtf8(c.text);
        } catch (const EReadError& e) {
            EXPECT_NE(std::wstring::npos, e.Message().find(c.expect)) << WideToUtf8(e.Message());
            EXPECT_EQ(0u, e.Message().find(L"Line ")) << WideToUtf8(e.Message());
        }
        EXPECT_FALSE(m->ComponentState().Contains(csLoading));
        Free(m);
    }
}

TEST_F(ComponentTest, MutatedStoredFormsNeverCrash) {
    TTestModule* m = MakeFullModule();
    std::wstring text = ComponentToText(m);
    Free(m);
    std::mt19937 rng(1234);
    const wchar_t alphabet[] = L"'#${}()<>[]=:.,+-0123456789 \r\nabcendobjectitem";
    int errors = 0;
    for (int round = 0; round < 2000; ++round) {
        std::wstring t = text;
        int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits && !t.empty(); ++e) {
            size_t pos = rng() % t.size();
            switch (rng() % 3) {
            case 0:
                t.erase(pos, 1 + rng() % 8);
                break;
            case 1:
                t.insert(pos, 1, alphabet[rng() % (sizeof(alphabet) / sizeof(wchar_t) - 1)]);
                break;
            default:
                t[pos] = alphabet[rng() % (sizeof(alphabet) / sizeof(wchar_t) - 1)];
            }
        }
        auto* copy = Create<TTestModule>(nullptr);
        try {
            ReadComponentFromText(copy, t);
        } catch (const Exception&) {
            ++errors;
        }
        Free(copy);
    }
    EXPECT_GT(errors, 0);
}

TEST_F(ComponentTest, DataModuleReadsItsStoredFormFromTheProgramResource) {
    gEvents.clear();
    auto* m = Create<TStoredModule>(nullptr);
    // The stored form was read after all constructors ran, with virtual setters working, then the
    // module finished its construction.
    EXPECT_EQ(L"StoredModule1", m->Name());
    EXPECT_EQ(L"virtual:from resource", m->Title());
    EXPECT_EQ(3, m->Count());
    EXPECT_TRUE(m->TokenLoaded);
    ASSERT_EQ(1, m->ComponentCount());
    EXPECT_EQ(L"Tick1", m->Components(0)->Name());
    ASSERT_GE(gEvents.size(), 2u);
    EXPECT_EQ(L"constructed", gEvents.front());
    EXPECT_NE(std::find(gEvents.begin(), gEvents.end(), L"finish, token loaded: 1"), gEvents.end());
    EXPECT_FALSE(m->ComponentState().Contains(csLoading));
    Free(m);
}

TEST_F(ComponentTest, FailureWhileReadingDestroysTheHalfMadeModule) {
    TBrokenModule::Destroyed = 0;
    int alive = TTestPart::Alive;
    TComponent* owner = Create<TComponent>(nullptr);
    EXPECT_THROW(Create<TBrokenModule>(owner), EReadError);
    EXPECT_EQ(1, TBrokenModule::Destroyed);
    EXPECT_EQ(0, owner->ComponentCount());
    EXPECT_EQ(alive, TTestPart::Alive); // the part read before the failure went with it
    Free(owner);
}

// ---------------------------------------------------------------------------------------------
// String lists and collections

TEST(StringList, TextSortingDuplicatesAndObjects) {
    TStringList list;
    list.SetText(L"b\r\na\nc\rd");
    EXPECT_EQ(4, list.Count());
    EXPECT_EQ(L"b\r\na\r\nc\r\nd\r\n", list.Text());
    list.SetSorted(true);
    EXPECT_EQ(L"a", list[0]);
    EXPECT_THROW(list.Insert(0, L"x"), EListError);
    EXPECT_EQ(0, list.Add(L"A")); // duplicates ignored, case-insensitive
    EXPECT_EQ(4, list.Count());
    list.SetDuplicates(dupError);
    EXPECT_THROW(list.Add(L"b"), EListError);
    list.SetCaseSensitive(true);
    list.SetDuplicates(dupAccept);
    list.Add(L"B");
    EXPECT_EQ(5, list.Count());
    try {
        list.Get(5);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(L"List index out of bounds (5)", e.Message());
    }

    struct Counted : TObject {
        int* n;
        explicit Counted(int* c) : n(c) {}
        ~Counted() override { ++*n; }
    };
    int freed = 0;
    {
        TStringList owning(true);
        owning.AddObject(L"x", new Counted(&freed));
        owning.AddObject(L"y", new Counted(&freed));
        owning.Delete(0);
        EXPECT_EQ(1, freed);
    }
    EXPECT_EQ(2, freed);
}

TEST(StringList, ChangeEventsFireOncePerUpdate) {
    struct Listener {
        int changes = 0;
        void Changed(TObject*) { ++changes; }
    } listener;
    TStringList list;
    list.SetOnChange(TNotifyEvent::Of<&Listener::Changed>(&listener));
    list.Add(L"a");
    EXPECT_EQ(1, listener.changes);
    list.BeginUpdate();
    list.Add(L"b");
    list.Add(L"c");
    list.EndUpdate();
    EXPECT_EQ(2, listener.changes);
    TStringList other;
    other.SetCommaText(L"one,\"two words\",\"with \"\"quote\"\"\"");
    ASSERT_EQ(3, other.Count());
    EXPECT_EQ(L"with \"quote\"", other[2]);
    EXPECT_EQ(L"one,\"two words\",\"with \"\"quote\"\"\"", other.CommaText());
    list.Assign(&other);
    EXPECT_EQ(3, listener.changes);
    EXPECT_TRUE(list.Equals(other));
}

TEST(Collection, ItemsUpdatesAndAssign) {
    TTestItems items(nullptr);
    auto* a = static_cast<TTestItem*>(items.Add());
    auto* b = static_cast<TTestItem*>(items.Add());
    EXPECT_EQ(1, b->Index());
    EXPECT_EQ(&items, b->Collection());
    EXPECT_EQ(&items, b->GetOwner());
    items.Updates = 0;
    a->SetValue(4);
    EXPECT_EQ(1, items.Updates);
    EXPECT_EQ(a, items.LastUpdated);
    items.BeginUpdate();
    a->SetValue(5);
    b->SetValue(6);
    items.EndUpdate();
    EXPECT_EQ(2, items.Updates);
    EXPECT_EQ(nullptr, items.LastUpdated);
    b->SetIndex(0);
    EXPECT_EQ(b, items.Items(0));
    EXPECT_EQ(L"Item 6", items.Items(0)->DisplayName());
    EXPECT_THROW(items.Items(2), EListError);
    TTestItems copy(nullptr);
    copy.Assign(&items);
    ASSERT_EQ(2, copy.Count());
    EXPECT_EQ(6, CollectionItem<TTestItem>(copy, 0)->Value());
    items.Delete(0);
    EXPECT_EQ(1, items.Count());
    items.Clear();
    EXPECT_EQ(0, items.Count());
}

TEST_F(ComponentTest, DataModuleEventsAtCreationAndDestruction) {
    struct TWatcher {
        std::vector<std::wstring> Seen;
        void Destroyed(TObject* s) { Seen.push_back(L"destroy " + static_cast<TComponent*>(s)->Name()); }
    } watcher;
    // The stored form binds OnCreate to a method of the module; it runs once the form was read.
    auto* m = Create<TStoredModule>(nullptr);
    EXPECT_EQ(1, m->Ticks);
    m->SetOnDestroy(TNotifyEvent::Of<&TWatcher::Destroyed>(&watcher));
    Free(m);
    EXPECT_EQ((std::vector<std::wstring>{L"destroy StoredModule1"}), watcher.Seen);
}

TEST(StringsFile, SavesInTheAnsiCodePageOrAsUtf16WithByteOrderMark) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    const std::wstring path = std::wstring(dir) + L"tamrel_strings_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    TStringList lines;
    lines.Add(L"caf\u00e9");
    lines.Add(L"");
    auto read = [&] {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        char buffer[256];
        DWORD n = 0;
        ReadFile(h, buffer, sizeof buffer, &n, nullptr);
        CloseHandle(h);
        return std::string(buffer, n);
    };
    lines.SaveToFile(path);
    EXPECT_EQ(std::string("caf\xE9\r\n\r\n"), read()) << "code page 1252";
    lines.Add(L"\u0416");
    lines.SaveToFile(path, TTextEncoding::Utf16LE);
    EXPECT_EQ(std::string("\xFF\xFE" "c\0a\0f\0\xE9\0\r\0\n\0\r\0\n\0\x16\x04\r\0\n\0", 24), read());
    lines.Delete(2);
    lines.SaveToFile(path);
    EXPECT_EQ(std::string("caf\xE9\r\n\r\n"), read()) << "an existing file is replaced";
    DeleteFileW(path.c_str());
    EXPECT_THROW(lines.SaveToFile(L"Z:\\no\\such\\dir\\x.txt"), EFCreateError);
}

namespace {

class TListHolder : public TComponent {
    TAMREL_CLASS(TListHolder, TComponent)
public:
    explicit TListHolder(TComponent* owner) : TComponent(owner) {}
    TStrings* Lines() const { return FLines.get(); }
    void SetLines(TStrings* v) { FLines->Assign(v); }
    TTestSub* Sub() const { return FSub.get(); }

private:
    std::unique_ptr<TStringList> FLines = std::make_unique<TStringList>();
    std::unique_ptr<TTestSub> FSub = std::make_unique<TTestSub>();
};

TAMREL_IMPLEMENT_CLASS(TListHolder) {
    b.Object(L"Lines", &TListHolder::Lines, &TListHolder::SetLines);
    b.Object(L"Sub", &TListHolder::Sub);
}

} // namespace

// A design-time editor finds from the information alone what an object property holds and whether
// it may be set: the class it is declared with, and a setter where the class publishes one, which
// takes that class or a descendant and refuses anything else.
TEST(ObjectProperties, NameTheirDeclaredClassAndTakeTheirSetterWhereThereIsOne) {
    const TPropInfo* lines = TListHolder::StaticClassInfo().FindProperty(L"Lines");
    const TPropInfo* sub = TListHolder::StaticClassInfo().FindProperty(L"Sub");
    ASSERT_TRUE(lines && sub);
    EXPECT_EQ(&lines->DeclaredClass(), &TStrings::StaticClassInfo());
    EXPECT_EQ(&sub->DeclaredClass(), &TTestSub::StaticClassInfo());
    EXPECT_FALSE(sub->SetObj);
    ASSERT_TRUE(lines->SetObj);

    TListHolder* holder = Create<TListHolder>(nullptr);
    TStringList source;
    source.Add(L"RpcSs");
    source.Add(L"TDI");
    lines->SetObj(holder, &source);
    EXPECT_EQ(holder->Lines()->CommaText(), L"RpcSs,TDI");
    EXPECT_NE(lines->GetObj(holder), &source); // assigned from, not taken
    TTestSub other;
    EXPECT_THROW(lines->SetObj(holder, &other), EPropertyError);
    EXPECT_EQ(holder->Lines()->Count(), 2);
    Free(holder);
}
