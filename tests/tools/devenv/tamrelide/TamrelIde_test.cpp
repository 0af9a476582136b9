// The environment stand-in, driven in-process: the test program acts as the add-in.
#include "tests/support/TestSupport.h"
#include "tests/tools/devenv/tamrelide/programs/ProbeCreators.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include "host/Classes.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tamrel;
using namespace tamrel::probe;
using namespace tamrel::test;

// The form root class of the designer tests: its stored form (resource TDESIGNPROBE) holds a
// child that notes whether it was designing when it was loaded.
class TDesignProbe : public TDataModule {
    TAMREL_CLASS(TDesignProbe, TDataModule)
public:
    explicit TDesignProbe(TComponent* owner) : TDataModule(owner) {}
    int32_t Level() const { return FLevel; }
    void SetLevel(int32_t value) { FLevel = value; }
    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& value) { FCaption = value; }
    bool Active() const { return FActive; }
    void SetActive(bool value) { FActive = value; }

private:
    int32_t FLevel = 0;
    std::wstring FCaption;
    bool FActive = false;
};
TAMREL_IMPLEMENT_CLASS(TDesignProbe) {
    b.Integer(L"Level", &TDesignProbe::Level, &TDesignProbe::SetLevel, 0);
    b.String(L"Caption", &TDesignProbe::Caption, &TDesignProbe::SetCaption);
    b.Boolean(L"Active", &TDesignProbe::Active, &TDesignProbe::SetActive, false);
}

class TLoadProbe : public TComponent {
    TAMREL_CLASS(TLoadProbe, TComponent)
public:
    explicit TLoadProbe(TComponent* owner) : TComponent(owner) {}
    void Loaded() override {
        TComponent::Loaded();
        DesigningWhenLoaded = ComponentState().Contains(csDesigning);
        ++LoadedCount;
    }
    static inline bool DesigningWhenLoaded = false;
    static inline int LoadedCount = 0;
};
TAMREL_IMPLEMENT_CLASS(TLoadProbe) {}

namespace {

TComPtr<IOTASourceEditor> SourceEditorOf(const TComPtr<IOTAModule>& module) {
    return module->GetModuleFileEditor(0).As<IOTASourceEditor>();
}

TComPtr<IOTAModule> NewUnit(const std::wstring& source) {
    static TEvents events;
    TProbeModuleCreator::TSettings unit;
    unit.Type = L"Unit";
    unit.Ancestor = L"";
    unit.Source = source;
    return CreateModule(MakeInterfaced<TProbeModuleCreator, IOTACreator>(events, unit).Get());
}

class TRecordingNotifier : public TInterfaced<IOTAModuleNotifier> {
public:
    explicit TRecordingNotifier(TEvents& events) : FEvents(events) {}
    void AfterSave() override { FEvents.push_back(L"AfterSave"); }
    void BeforeSave() override { FEvents.push_back(L"BeforeSave"); }
    void Destroyed() override { FEvents.push_back(L"Destroyed"); }
    void Modified() override {}
    bool CheckOverwrite() override { return true; }
    void ModuleRenamed(const std::wstring&) override {}

private:
    TEvents& FEvents;
};

} // namespace

TEST(IdeHost, NothingIsAvailableWithoutAnEnvironment) {
    EXPECT_EQ(nullptr, BorlandIDEServices());
    EXPECT_FALSE(IdeService<IOTAModuleServices>());
    EXPECT_EQ(nullptr, ToolServices());
    RegisterComponents(L"Nowhere", {&TLoadProbe::StaticClassInfo()}); // does nothing
    {
        TIdeHost host;
        EXPECT_NE(nullptr, BorlandIDEServices());
        EXPECT_TRUE(IdeService<IOTAModuleServices>());
        EXPECT_TRUE(IdeService<IOTAWizardServices>());
        EXPECT_NE(nullptr, ToolServices());
        EXPECT_TRUE(IdeService<IOTAEditorViewServices>());
        EXPECT_TRUE(IdeService<IOTAServices>());
        // A service the environment does not offer is a failed query, not an error.
        EXPECT_FALSE(IdeService<IOTAEditorContent>());
        EXPECT_TRUE(host.PaletteComponents(L"Nowhere").empty());
        EXPECT_THROW(TIdeHost second, EInvalidOperation);
    }
    EXPECT_EQ(nullptr, BorlandIDEServices());
}

TEST(IdeHost, ServicesKeptPastTheEnvironmentAnswerNothing) {
    TComPtr<IOTAModuleServices> modules;
    TComPtr<IOTAModule> unit;
    {
        TIdeHost host;
        modules = IdeService<IOTAModuleServices>();
        unit = NewUnit(L"unit ~;");
        ASSERT_TRUE(unit);
    }
    EXPECT_EQ(0, modules->GetModuleCount());
    EXPECT_FALSE(modules->FindModule(unit->GetFileName()));
    EXPECT_FALSE(unit->CloseModule(true));
}

TEST(IdeHost, WizardIndexesStartAtZeroAndRemovingOneNotLiveIsAFault) {
    TIdeHost host;
    TComPtr<IOTAWizardServices> wizards = IdeService<IOTAWizardServices>();
    ICONINFO info{};
    const BYTE andMask[32 * 4] = {}, xorMask[32 * 4] = {};
    HICON icon = CreateIcon(GetModuleHandleW(nullptr), 32, 32, 1, 1, andMask, xorMask);
    ASSERT_NE(nullptr, icon);
    auto a = MakeInterfaced<TProbeWizard, IOTAWizard>(L"A", nullptr, icon);
    auto b = MakeInterfaced<TProbeWizard, IOTAWizard>(L"B", nullptr);
    EXPECT_EQ(0, wizards->AddWizard(a.Get()));
    EXPECT_EQ(1, wizards->AddWizard(b.Get()));
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B"}), host.WizardIds());
    EXPECT_EQ(2, static_cast<TProbeWizard*>(a.Get())->RefCount()); // ours and the environment's

    wizards->RemoveWizard(0);
    EXPECT_EQ(1, static_cast<TProbeWizard*>(a.Get())->RefCount());
    // The environment took the icon over and let it go with the wizard.
    EXPECT_FALSE(GetIconInfo(icon, &info));
    EXPECT_TRUE(host.Faults().empty());

    wizards->RemoveWizard(0);
    wizards->RemoveWizard(7);
    const auto faults = host.Faults();
    ASSERT_EQ(2u, faults.size());
    EXPECT_EQ(L"0", faults[0].Field(L"index"));
    EXPECT_EQ(L"7", faults[1].Field(L"index"));
    EXPECT_EQ(L"wizards remove index=7 reason=\"no live wizard has this index\" result=fault", faults[1].Line());
    EXPECT_EQ(std::vector<std::wstring>{L"B"}, host.WizardIds());
    // Indexes are not used again.
    EXPECT_EQ(2, wizards->AddWizard(a.Get()));
}

TEST(IdeHost, ProjectThenUnitWithCallbacksInTheDocumentedOrderAndTheUnitInTheActiveProject) {
    TIdeHost host;
    TEvents events;
    TProbeModuleCreator::TSettings unit;
    unit.Source = L"unit ~; { \u00e9 }";
    TComPtr<IOTAModule> project = CreateProjectWithUnit(events, unit);
    ASSERT_TRUE(project);
    const TEvents expected = {
        L"GetCreatorType", L"GetExisting", L"GetFileSystem", L"GetOwner", L"GetUnnamed", L"GetFileName",
        L"GetOptionFileName", L"GetShowSource", L"GetProjectPersonality", L"NewProjectSource(Project1)",
        L"NewOptionSource(Project1)", L"NewDefaultProjectModule", L"NewDefaultModule",
        // the unit, made while the project is made
        L"GetCreatorType", L"GetExisting", L"GetFileSystem", L"GetOwner", L"GetUnnamed", L"GetAncestorName",
        L"GetImplFileName", L"GetIntfFileName", L"GetFormName", L"GetMainForm", L"GetShowForm", L"GetShowSource",
        L"NewFormFile(Form1,DataModule)", L"NewImplSource(Unit1,Form1,DataModule)",
        L"NewIntfSource(Unit1,Form1,DataModule)", L"FormCreated",
        // the project again
        L"NewProjectResource"};
    EXPECT_EQ(expected, events);

    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    ASSERT_EQ(3, modules->GetModuleCount());
    TComPtr<IOTAProjectGroup> group = modules->GetModule(0).As<IOTAProjectGroup>();
    ASSERT_TRUE(group); // the project group comes first
    TComPtr<IOTAProject> active = group->GetActiveProject();
    ASSERT_TRUE(active);
    EXPECT_EQ(project->GetFileName(), active->GetFileName());
    EXPECT_EQ(host.WorkFolder() + L"\\Project1.dpr", active->GetFileName());
    ASSERT_EQ(1, active->GetUnitCount());
    EXPECT_EQ(host.WorkFolder() + L"\\Unit1.pas", active->GetUnitFileName(0));
    EXPECT_EQ(modules->GetModule(2)->GetFileName(), active->GetUnitFileName(0));
    // Buffers hold the ANSI form.
    EXPECT_EQ("unit Unit1; { \xE9 }", host.Buffer(active->GetUnitFileName(0)));
    EXPECT_EQ(0u, host.Buffer(active->GetFileName()).find("program Project1;"));
    EXPECT_TRUE(host.Faults().empty());
}

TEST(IdeHost, NamesForAPrefixWithAndWithoutClassProposals) {
    TIdeHost host;
    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    std::wstring unit, cls, file;
    modules->GetNewModuleAndClassName(L"svc", unit, cls, file);
    EXPECT_EQ(L"svc1", unit);
    // A class of its own kind, never named like the unit: a program that uses the unit names
    // the form's variable by the class name.
    EXPECT_EQ(L"Service1", cls);
    EXPECT_EQ(host.WorkFolder() + L"\\svc1.pas", file);
    // Neither is a file already on disk proposed again, nor a class named like a unit there.
    WriteFileBytes(host.WorkFolder() + L"\\Service1.pas", "unit Service1;");
    modules->GetNewModuleAndClassName(L"svc", unit, cls, file);
    EXPECT_EQ(L"svc1", unit);
    EXPECT_EQ(L"Service2", cls);
    WriteFileBytes(file, "unit svc1;");
    host.SetProposeClassNames(false);
    modules->GetNewModuleAndClassName(L"svc", unit, cls, file);
    EXPECT_EQ(L"svc2", unit);
    EXPECT_EQ(L"", cls);
}

TEST(IdeHost, CreatorExceptionReachesTheCallerAndOpensNothing) {
    TIdeHost host;
    TEvents events;
    TProbeModuleCreator::TSettings unit;
    unit.FailImplSource = true;
    try {
        CreateModule(MakeInterfaced<TProbeModuleCreator, IOTACreator>(events, unit).Get());
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(L"probe creator failed", e.Message());
    }
    EXPECT_EQ(0, IdeService<IOTAModuleServices>()->GetModuleCount());
    const auto records = host.Records();
    auto it = std::find_if(records.begin(), records.end(), [](const TIdeRecord& r) { return r.Result == L"exception"; });
    ASSERT_NE(records.end(), it);
    EXPECT_EQ(L"NewImplSource", it->Call);
    EXPECT_EQ(L"probe creator failed", it->Field(L"message"));
}

TEST(IdeHost, FormWithoutARegisteredAncestorIsRefusedBeforeAnythingOpens) {
    TIdeHost host;
    TEvents events;
    TProbeModuleCreator::TSettings unit;
    unit.Ancestor = L"NoSuchModule";
    EXPECT_THROW(CreateModule(MakeInterfaced<TProbeModuleCreator, IOTACreator>(events, unit).Get()), EClassNotFound);
    EXPECT_EQ(0, IdeService<IOTAModuleServices>()->GetModuleCount());
    EXPECT_EQ(events.end(), std::find(events.begin(), events.end(), L"NewImplSource(Unit1,Form1,NoSuchModule)"));
}

TEST(IdeHost, FindModuleByFileAndCloseItForced) {
    TIdeHost host;
    TEvents events;
    TComPtr<IOTAModule> project = CreateProjectWithUnit(events, {});
    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    const std::wstring unitFile = host.WorkFolder() + L"\\Unit1.pas";
    TComPtr<IOTAModule> unit = modules->FindModule(UpperCase(unitFile));
    ASSERT_TRUE(unit);
    EXPECT_EQ(unitFile, unit->GetFileName());
    EXPECT_TRUE(unit->CloseModule(true));
    EXPECT_FALSE(modules->FindModule(unitFile));
    EXPECT_EQ(2, modules->GetModuleCount());
    EXPECT_EQ(0, unit->GetModuleFileCount());
    // Closing the active project leaves the group without one.
    EXPECT_TRUE(project->CloseModule(true));
    EXPECT_FALSE(ActiveProject());
    EXPECT_EQ(1, modules->GetModuleCount());
}

TEST(IdeHost, ReaderTakesTwoReadsForA4096ByteBufferTheSecondZero) {
    TIdeHost host;
    TComPtr<IOTAModule> unit = NewUnit(std::wstring(4096, L'x'));
    TComPtr<IOTAEditReader> reader = SourceEditorOf(unit)->CreateReader();
    std::vector<char> buffer(4096);
    EXPECT_EQ(4096, reader->GetText(0, buffer.data(), 4096));
    EXPECT_EQ(0, reader->GetText(4096, buffer.data(), 4096));
    EXPECT_EQ(96, reader->GetText(4000, buffer.data(), 4096));
    EXPECT_EQ(0, reader->GetText(-1, buffer.data(), 10));
}

TEST(IdeHost, UndoableWriterRewritesFrontToBackAsOneUndoStep) {
    TIdeHost host;
    TComPtr<IOTAModule> unit = NewUnit(L"uses A, B;\r\nend.");
    const std::wstring file = unit->GetFileName();
    {
        TComPtr<IOTAEditWriter> writer = SourceEditorOf(unit)->CreateUndoableWriter();
        writer->CopyTo(6);   // "uses A"
        writer->DeleteTo(9); // drop ", B"
        writer->Insert(", C");
        EXPECT_EQ(9, writer->GetCurrentPos());
        EXPECT_THROW(writer->CopyTo(3), EInvalidOperation); // backwards
        EXPECT_THROW(SourceEditorOf(unit)->CreateUndoableWriter(), EInvalidOperation);
        EXPECT_EQ("uses A, B;\r\nend.", host.Buffer(file)); // nothing changes before the release
    }
    EXPECT_EQ("uses A, C;\r\nend.", host.Buffer(file));
    EXPECT_EQ(1, host.UndoDepth(file));
    { SourceEditorOf(unit)->CreateUndoableWriter()->Insert("{x}"); }
    EXPECT_EQ("{x}uses A, C;\r\nend.", host.Buffer(file));
    EXPECT_EQ(2, host.UndoDepth(file));
    // A writer that changes nothing adds no step.
    { SourceEditorOf(unit)->CreateUndoableWriter()->CopyTo(1000); }
    EXPECT_EQ(2, host.UndoDepth(file));
    EXPECT_TRUE(host.Undo(file));
    EXPECT_EQ("uses A, C;\r\nend.", host.Buffer(file));
    EXPECT_TRUE(host.Undo(file));
    EXPECT_FALSE(host.Undo(file));
    EXPECT_EQ("uses A, B;\r\nend.", host.Buffer(file));
}

TEST(IdeHost, EditorContentReadsFromTheStartAndReplacesTheWholeText) {
    TIdeHost host;
    TComPtr<IOTAModule> unit = NewUnit(L"old text");
    TComPtr<IOTAEditorContent> content = SourceEditorOf(unit).As<IOTAEditorContent>();
    ASSERT_TRUE(content);
    TComPtr<IStream> stream = content->GetContent();
    char text[32] = {};
    ULONG n = 0;
    ASSERT_EQ(S_OK, stream->Read(text, sizeof text, &n));
    EXPECT_EQ("old text", std::string(text, n));

    TComPtr<IStream> replacement;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, replacement.Put()));
    replacement->Write("new", 3, &n); // left at its end: read from the start anyway
    content->SetContent(replacement.Get());
    EXPECT_EQ("new", host.Buffer(unit->GetFileName()));
    EXPECT_EQ(1, host.UndoDepth(unit->GetFileName()));
}

TEST(IdeHost, FormRootIsCreatedDesigningAndTakesPropertiesByName) {
    RegisterCustomModule(TDesignProbe::StaticClassInfo()); // no environment: nothing happens
    TIdeHost host;
    RegisterCustomModule(TDesignProbe::StaticClassInfo());
    EXPECT_EQ(std::vector<std::wstring>{L"TDesignProbe"}, host.CustomModules());
    TLoadProbe::DesigningWhenLoaded = false;
    TLoadProbe::LoadedCount = 0;
    TEvents events;
    TComPtr<IOTAComponent> root;
    TProbeModuleCreator::TSettings unit;
    unit.Ancestor = L"DesignProbe";
    unit.FormName = L"Service1";
    unit.OnFormCreated = [&](IOTAFormEditor* editor) { root = editor->GetRootComponent(); };
    TComPtr<IOTAModule> module = CreateModule(MakeInterfaced<TProbeModuleCreator, IOTACreator>(events, unit).Get());
    ASSERT_TRUE(root);
    EXPECT_EQ(1, TLoadProbe::LoadedCount);
    EXPECT_TRUE(TLoadProbe::DesigningWhenLoaded);
    auto* component = dynamic_cast<TDesignProbe*>(root.As<INTAComponent>()->GetComponent());
    ASSERT_NE(nullptr, component);
    EXPECT_TRUE(component->ComponentState().Contains(csDesigning));
    EXPECT_EQ(L"Service1", component->Name());
    EXPECT_EQ(3, component->Level()); // from its stored form
    EXPECT_EQ(L"TDesignProbe", root->GetComponentType());

    const struct {
        const wchar_t* Name;
        const wchar_t* Value;
        bool Taken;
    } sets[] = {{L"Level", L"7", true},   {L"Caption", L"{1B2C}", true}, {L"Active", L"True", true},
                {L"Level", L"x", false},  {L"Active", L"maybe", false},  {L"NoSuchProperty", L"1", false}};
    for (const auto& s : sets) EXPECT_EQ(s.Taken, root->SetPropByName(s.Name, s.Value)) << s.Name << L"=" << s.Value;
    EXPECT_EQ(7, component->Level());
    EXPECT_EQ(L"{1B2C}", component->Caption());
    EXPECT_TRUE(component->Active());
    std::wstring value;
    EXPECT_TRUE(root->GetPropValueByName(L"Level", value));
    EXPECT_EQ(L"7", value);
    EXPECT_EQ(2, module->GetModuleFileCount());
    EXPECT_TRUE(module->GetModuleFileEditor(1).As<IOTAFormEditor>());

    // Closed: the root is gone and its designer component answers nothing.
    module->CloseModule(true);
    EXPECT_EQ(nullptr, root.As<INTAComponent>()->GetComponent());
    EXPECT_FALSE(root->SetPropByName(L"Level", L"1"));
}

TEST(IdeHost, SavingWritesFilesBetweenTheNotifiersBeforeAndAfterSave) {
    TIdeHost host;
    TComPtr<IOTAModule> unit = NewUnit(L"unit ~;\r\n\u00e9");
    TEvents events;
    const int32_t index = unit->AddNotifier(MakeInterfaced<TRecordingNotifier, IOTAModuleNotifier>(events).Get());
    EXPECT_EQ(0, index);
    host.SaveAll();
    EXPECT_EQ("unit Unit1;\r\n\xE9", ReadFileBytes(unit->GetFileName()));
    EXPECT_EQ((TEvents{L"BeforeSave", L"AfterSave"}), events);

    unit->RemoveNotifier(5);
    ASSERT_EQ(1u, host.Faults().size());
    EXPECT_EQ(L"RemoveNotifier", host.Faults()[0].Call);
    unit->CloseModule(true);
    EXPECT_EQ(L"Destroyed", events.back());
    unit->RemoveNotifier(index); // after the close the notifier is gone already: no fault
    EXPECT_EQ(1u, host.Faults().size());
}

TEST(IdeHost, OlderToolServicesWriteIntoAnOpenFile) {
    TIdeHost host;
    TComPtr<IOTAModule> unit = NewUnit(L"uses A;");
    {
        TComPtr<IOTAEditWriter> writer = ToolServices()->CreateEditWriter(unit->GetFileName());
        ASSERT_TRUE(writer);
        writer->CopyTo(6);
        writer->Insert(",\r\n  B");
    }
    EXPECT_EQ("uses A,\r\n  B;", host.Buffer(unit->GetFileName()));
    EXPECT_FALSE(ToolServices()->CreateEditWriter(host.WorkFolder() + L"\\missing.pas"));
}

TEST(IdeHost, RecordsAreLoggedAsLinesWithQuotedTexts) {
    TIdeRecord r{L"editor", L"Insert", {{L"text", L"a \"b\"\r\n\t\\\x01", true}, {L"index", L"3", false}}, L"ok"};
    EXPECT_EQ(L"editor Insert text=\"a \\\"b\\\"\\r\\n\\t\\\\\\x01\" index=3 result=ok", r.Line());
    EXPECT_EQ(L"3", r.Field(L"index"));
    EXPECT_EQ(L"", r.Field(L"none"));
}
