// The environment stand-in's design-time services: which registered property editor the inspector
// takes for a property (the kind, a declared class or a descendant of it, class and name before
// type alone, the later before the earlier), editors working on any persistent of a designing
// module (a collection item, a sub-object) with Modified recorded with the value of that moment,
// packages' registrations recorded and forgotten when the package goes, palette bitmaps checked,
// and the fault switch refusing a chosen registration.
#include "tests/support/TestSupport.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include "host/Classes.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tamrel {

class TInspectedShape : public TPersistent {
    TAMREL_CLASS(TInspectedShape, TPersistent)
public:
    int32_t Width() const { return FWidth; }
    void SetWidth(int32_t value) { FWidth = value; }

private:
    int32_t FWidth = 5;
};
TAMREL_IMPLEMENT_CLASS(TInspectedShape) { b.Integer(L"Width", &TInspectedShape::Width, &TInspectedShape::SetWidth, 0); }

class TInspectedItem : public TCollectionItem {
    TAMREL_CLASS(TInspectedItem, TCollectionItem)
public:
    explicit TInspectedItem(TCollection* collection) : TCollectionItem(collection) {}
    uint32_t Mask() const { return FMask; }
    void SetMask(uint32_t value) { FMask = value; }

private:
    uint32_t FMask = 0;
};
TAMREL_IMPLEMENT_CLASS(TInspectedItem) { b.Cardinal(L"Mask", &TInspectedItem::Mask, &TInspectedItem::SetMask, 0); }

class TInspected : public TComponent {
    TAMREL_CLASS(TInspected, TComponent)
public:
    explicit TInspected(TComponent* owner) : TComponent(owner) {}
    int32_t Level() const { return FLevel; }
    void SetLevel(int32_t value) { FLevel = value; }
    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& value) { FCaption = value; }
    TInspectedShape* Shape() const { return FShape.get(); }
    TOwnedCollection* Items() const { return FItems.get(); }
    TStrings* Lines() const { return FLines.get(); }

private:
    int32_t FLevel = 0;
    std::wstring FCaption;
    std::unique_ptr<TInspectedShape> FShape = std::make_unique<TInspectedShape>();
    std::unique_ptr<TOwnedCollection> FItems = std::make_unique<TOwnedCollection>(this, TInspectedItem::StaticClassInfo());
    std::unique_ptr<TStringList> FLines = std::make_unique<TStringList>();
};
TAMREL_IMPLEMENT_CLASS(TInspected) {
    b.Integer(L"Level", &TInspected::Level, &TInspected::SetLevel, 0);
    b.String(L"Caption", &TInspected::Caption, &TInspected::SetCaption);
    b.Object(L"Shape", &TInspected::Shape);
    b.Object(L"Items", &TInspected::Items);
    b.Object(L"Lines", &TInspected::Lines);
}

class TInspectedDescendant : public TInspected {
    TAMREL_CLASS(TInspectedDescendant, TInspected)
public:
    explicit TInspectedDescendant(TComponent* owner) : TInspected(owner) {}
};
TAMREL_IMPLEMENT_CLASS(TInspectedDescendant) {}

} // namespace tamrel

using namespace tamrel;
using namespace tamrel::test;

namespace {

// What an editor saw of the object it was made for.
struct TSeen {
    TPersistent* Object = nullptr;
    int Count = 0;
    std::wstring Property;
};
TSeen gSeen;

// Edit writes 42, tells the designer, then writes 43: the designer must have heard of 42.
class TWritingEditor : public TIntegerProperty {
public:
    void Edit() override {
        gSeen = {GetComponent(0), PropCount(), GetName()};
        SetOrdValue(42);
        Modified();
        SetOrdValue(43);
    }
};

class DesignServices : public testing::Test {
protected:
    void SetUp() override {
        RegisterClasses({&TInspected::StaticClassInfo(), &TInspectedDescendant::StaticClassInfo(), &TDataModule::StaticClassInfo()});
        File = Host.OpenDesigner(L"TDataModule");
        Inspected = dynamic_cast<TInspected*>(Host.AddComponent(File, L"TInspected", L"Inspected"));
        Descendant = dynamic_cast<TInspected*>(Host.AddComponent(File, L"TInspectedDescendant", L"Descendant"));
        ASSERT_TRUE(Inspected && Descendant);
        Inspected->Items()->Add();
    }
    TInspectorCall Inspect(TInspectorOp op, const std::wstring& path, const std::wstring& property) {
        return Host.Inspect(op, File, path, property);
    }
    std::wstring EditorFor(const std::wstring& path, const std::wstring& property) {
        TInspectorCall call = Inspect(TInspectorOp::GetAttributes, path, property);
        EXPECT_TRUE(call.Found) << ToUtf8(call.Error);
        return call.Editor;
    }
    TIdeHost Host;
    std::wstring File;
    TInspected* Inspected = nullptr;
    TInspected* Descendant = nullptr;
};

TEST_F(DesignServices, TheInspectorTakesTheMostSpecificAndAmongEqualsTheLaterRegistration) {
    const TPropertyType integer = TPropertyType::Ordinal(TTypeKind::Integer);
    const TClassInfo* inspected = &TInspected::StaticClassInfo();
    auto editor = [](const wchar_t* name) { return PropertyEditorClass<TIntegerProperty>(name); };
    RegisterPropertyEditor(integer, nullptr, L"", editor(L"AnyInteger"));
    RegisterPropertyEditor(integer, inspected, L"", editor(L"InspectedInteger"));
    RegisterPropertyEditor(integer, nullptr, L"Level", editor(L"AnyLevel"));
    RegisterPropertyEditor(integer, inspected, L"Level", editor(L"InspectedLevel"));
    RegisterPropertyEditor(integer, inspected, L"Level", editor(L"InspectedLevelLater"));
    RegisterPropertyEditor(integer, inspected, L"Width", editor(L"NotForShapes"));
    RegisterPropertyEditor(TPropertyType::Object(TPersistent::StaticClassInfo()), inspected, L"Shape", editor(L"AnyPersistentShape"));
    RegisterPropertyEditor(TPropertyType::Object(TStrings::StaticClassInfo()), nullptr, L"", editor(L"AnyStrings"));
    RegisterPropertyEditor(TPropertyType::Ordinal(TTypeKind::Cardinal), nullptr, L"Mask", editor(L"AnyMask"));

    const struct {
        const wchar_t* Path;
        const wchar_t* Property;
        const wchar_t* Editor;
    } cases[] = {
        {L"Inspected", L"Level", L"InspectedLevelLater"},  // class and name; the later of two
        {L"Descendant", L"Level", L"InspectedLevelLater"}, // a descendant of the class
        {L"Inspected", L"Tag", L"InspectedInteger"},       // type alone: the later of those
        {L"", L"Tag", L"AnyInteger"},                      // neither class nor name narrows it
        {L"Inspected", L"Shape", L"AnyPersistentShape"},   // a descendant of the declared class
        {L"Inspected", L"Lines", L"AnyStrings"},
        {L"Inspected", L"Items", L"TPropertyEditor"},      // no TStrings: nothing registered fits
        {L"Inspected", L"Caption", L"TPropertyEditor"},
        {L"Inspected.Shape", L"Width", L"AnyInteger"},     // the class is the sub-object's own
        {L"Inspected.Items[0]", L"Mask", L"AnyMask"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EditorFor(c.Path, c.Property), c.Editor) << ToUtf8(std::wstring(c.Path) + L"." + c.Property);
    const std::vector<std::wstring> listed = Host.PropertyEditors();
    EXPECT_NE(std::find(listed.begin(), listed.end(), L"Integer TInspected.Level InspectedLevelLater"), listed.end());
}

TEST_F(DesignServices, AnEditorWorksOnAnyPersistentOfTheDesignerAndModifiedHoldsTheValueThen) {
    RegisterPropertyEditor(TPropertyType::Ordinal(TTypeKind::Cardinal), &TInspectedItem::StaticClassInfo(), L"Mask",
                           PropertyEditorClass<TWritingEditor>(L"TWritingEditor"));
    RegisterPropertyEditor(TPropertyType::Ordinal(TTypeKind::Integer), &TInspectedShape::StaticClassInfo(), L"Width",
                           PropertyEditorClass<TWritingEditor>(L"TWritingEditor"));
    EXPECT_TRUE(Inspected->ComponentState().Contains(csDesigning));
    const struct {
        const wchar_t* Path;
        const wchar_t* Property;
        TPersistent* Object;
    } cases[] = {{L"Inspected.Items[0]", L"Mask", Inspected->Items()->Items(0)}, {L"Inspected.Shape", L"Width", Inspected->Shape()}};
    for (const auto& c : cases) {
        Host.ClearRecords();
        gSeen = {};
        TInspectorCall edit = Inspect(TInspectorOp::Edit, c.Path, c.Property);
        ASSERT_TRUE(edit.Succeeded) << ToUtf8(edit.Error);
        EXPECT_EQ(gSeen.Object, c.Object);
        EXPECT_EQ(gSeen.Count, 1);
        EXPECT_EQ(gSeen.Property, c.Property);
        std::vector<TIdeRecord> notices;
        for (const TIdeRecord& r : Host.Records())
            if (r.Area == L"designer" && r.Call == L"Modified") notices.push_back(r);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].Field(L"value"), L"42");
        EXPECT_EQ(notices[0].Field(L"path"), c.Path);
        EXPECT_EQ(notices[0].Field(L"editor"), L"TWritingEditor");
        EXPECT_EQ(Inspect(TInspectorOp::GetValue, c.Path, c.Property).Value, L"43");
    }
    EXPECT_EQ(Inspected->Shape()->Width(), 43);

    // What comes out of an editor is answered and recorded, never passed on.
    TInspectorCall bad = Host.Inspect(TInspectorOp::SetValue, File, L"Inspected", L"Level", L"many");
    EXPECT_TRUE(bad.Found);
    EXPECT_FALSE(bad.Succeeded);
    EXPECT_FALSE(bad.Error.empty());
    EXPECT_EQ(Host.Records().back().Result, L"exception");
    EXPECT_FALSE(Inspect(TInspectorOp::GetValue, L"Nobody", L"Level").Found);
    EXPECT_FALSE(Inspect(TInspectorOp::GetValue, L"Inspected", L"NoSuchProperty").Found);
}

TEST_F(DesignServices, TheFaultSwitchRefusesTheChosenRegistrationOnly) {
    Host.FailRegistration(L"propertyeditor", L"level");
    const TPropertyType integer = TPropertyType::Ordinal(TTypeKind::Integer);
    EXPECT_THROW(RegisterPropertyEditor(integer, nullptr, L"Level", PropertyEditorClass<TIntegerProperty>(L"Refused")),
                 EInvalidOperation);
    RegisterPropertyEditor(integer, nullptr, L"Tag", PropertyEditorClass<TIntegerProperty>(L"Taken"));
    EXPECT_EQ(Host.PropertyEditors(), std::vector<std::wstring>{L"Integer *.Tag Taken"});
    Host.FailRegistration(L"custommodule", L"TInspected");
    EXPECT_THROW(RegisterCustomModule(TInspected::StaticClassInfo()), EInvalidOperation);
    Host.FailRegistration(L"", L"");
    RegisterCustomModule(TInspected::StaticClassInfo());
    EXPECT_EQ(Host.CustomModules(), std::vector<std::wstring>{L"TInspected"});
    const auto records = Host.Records();
    EXPECT_EQ(std::count_if(records.begin(), records.end(), [](const TIdeRecord& r) { return r.Result == L"refused"; }), 2);
}

std::wstring ProbePath(const wchar_t* name) { return BinDir() + L"probe addins\\" + name; }

TEST(DesignPackages, WhatAPackageRegisteredLeavesWithIt) {
    TIdeHost host;
    ASSERT_TRUE(host.LoadPackage(ProbePath(L"probe_package.dll")));
    EXPECT_EQ(host.PropertyEditors(), std::vector<std::wstring>{L"Integer TProbeComponent.Tag TProbeTagEditor"});
    EXPECT_EQ(host.RegisteredClasses(), std::vector<std::wstring>{L"TProbeComponent"});
    EXPECT_EQ(host.PaletteComponents(L"Probe"), std::vector<std::wstring>{L"TProbeComponent"});
    ASSERT_TRUE(host.Unload(ProbePath(L"probe_package.dll")));
    EXPECT_TRUE(host.PropertyEditors().empty());
    EXPECT_TRUE(host.RegisteredClasses().empty());
    EXPECT_TRUE(host.PaletteComponents(L"Probe").empty());
    EXPECT_TRUE(host.CustomModules().empty());
    EXPECT_TRUE(host.Faults().empty());
}

TEST(DesignPackages, PaletteBitmapsThatAreMissingOrNot24By24AreThePackagesFaults) {
    TIdeHost host;
    ASSERT_TRUE(host.LoadPackage(ProbePath(L"probe_badpackage.dll")));
    std::vector<std::wstring> reasons;
    for (const TIdeRecord& r : host.Faults())
        if (r.Area == L"register" && r.Call == L"bitmap") reasons.push_back(r.Field(L"class") + L": " + r.Field(L"reason"));
    EXPECT_EQ(reasons, (std::vector<std::wstring>{L"TProbeUnpictured: no bitmap TPROBEUNPICTURED",
                                                  L"TProbeSmallPicture: bitmap TPROBESMALLPICTURE is 16 x 16"}));
    // The components are on the palette all the same.
    EXPECT_EQ(host.PaletteComponents(L"Probe").size(), 2u);
}

TEST(DesignPackages, ARefusedRegistrationReachesTheLoaderAndThePackageGoes) {
    TIdeHost host;
    host.FailRegistration(L"component", L"TProbeComponent");
    EXPECT_FALSE(host.LoadPackage(ProbePath(L"probe_package.dll")));
    const auto records = host.Records();
    const auto registered = std::find_if(records.begin(), records.end(),
                                         [](const TIdeRecord& r) { return r.Area == L"addin" && r.Call == L"register"; });
    ASSERT_NE(registered, records.end());
    EXPECT_EQ(registered->Result, L"exception");
    EXPECT_NE(registered->Field(L"message").find(L"TProbeComponent"), std::wstring::npos);
    EXPECT_TRUE(host.Libraries().empty());
    EXPECT_TRUE(host.PaletteComponents(L"Probe").empty());
    EXPECT_EQ(nullptr, GetModuleHandleW(ProbePath(L"probe_package.dll").c_str()));
    host.FailRegistration(L"", L"");
    EXPECT_TRUE(host.LoadPackage(ProbePath(L"probe_package.dll")));
}

} // namespace
