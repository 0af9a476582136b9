// The stand-in's editor windows and notifier services, driven in-process: the test program acts
// as the add-in with editor views of its own, an IDE notifier and module notifiers.
#include "tests/support/TestSupport.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include "host/forms/Forms.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tamrel;
using namespace tamrel::test;

// The frame of the test views: it answers CloseQuery as it is told and notes that it went.
class TProbeViewFrame : public TFrame {
    TAMREL_CLASS(TProbeViewFrame, TFrame)
public:
    explicit TProbeViewFrame(TComponent* owner) : TFrame(owner) {}
    ~TProbeViewFrame() override { ++Freed; }
    bool CloseQuery() override {
        ++Asked;
        return MayClose;
    }
    static inline bool MayClose = true;
    static inline int Asked = 0;
    static inline int Freed = 0;
};

TAMREL_IMPLEMENT_CLASS(TProbeViewFrame) {}

namespace {

using TCalls = std::vector<std::wstring>;

class TProbeView : public TInterfaced<INTACustomEditorSubView> {
public:
    TProbeView(TCalls& calls, std::wstring caption, int32_t priority, bool handles)
        : FCalls(calls), FCaption(std::move(caption)), FPriority(priority), FHandles(handles) {}
    bool CanCloneView() override { return false; }
    std::wstring GetCaption() override { return FCaption; }
    int32_t GetPriority() override { return FPriority; }
    std::wstring GetViewIdentifier() override { return FCaption; }
    void Display(IUnknown* context, TObject* frame) override { Note(L"Display", context, frame); }
    bool EditAction(IUnknown*, TEditAction, TObject*) override { return false; }
    TEditState GetEditState(IUnknown*, TObject*) override { return {}; }
    bool Handles(IUnknown* context) override {
        TComPtr<IOTAModule> module;
        TComPtr<IOTAEditorViewServices> services = IdeService<IOTAEditorViewServices>();
        const bool known = services && services->ContextToModule(context, module) && module;
        FCalls.push_back(FCaption + L" Handles " + (known ? ExtractFileName(module->GetFileName()) : L"?"));
        return FHandles;
    }
    void Hide(IUnknown* context, TObject* frame) override { Note(L"Hide", context, frame); }
    void ViewClosed(IUnknown* context, TObject* frame) override { Note(L"ViewClosed", context, frame); }
    const TClassInfo* GetFrameClass() override { return &TProbeViewFrame::StaticClassInfo(); }
    void FrameCreated(TComponent* frame) override { Note(L"FrameCreated", nullptr, frame); }

private:
    void Note(const wchar_t* call, IUnknown*, TObject* frame) {
        auto* f = dynamic_cast<TProbeViewFrame*>(frame);
        FCalls.push_back(FCaption + L" " + call + (f ? (f->Visible() ? L" shown" : L" hidden") : L" -"));
    }
    TCalls& FCalls;
    std::wstring FCaption;
    int32_t FPriority;
    bool FHandles;
};

class TProbeIdeNotifier : public TInterfaced<IOTAIDENotifier> {
public:
    explicit TProbeIdeNotifier(TCalls& calls) : FCalls(calls) {}
    void AfterSave() override {}
    void BeforeSave() override {}
    void Destroyed() override {}
    void Modified() override {}
    void FileNotification(TOTAFileNotification code, const std::wstring& fileName, bool&) override {
        FCalls.push_back(IntToStr(static_cast<int>(code)) + L" " + ExtractFileName(fileName));
    }
    void BeforeCompile(IOTAProject*, bool&) override {}
    void AfterCompile(bool) override {}

private:
    TCalls& FCalls;
};

class TProbeModuleNotifier : public TInterfaced<IOTAModuleNotifier> {
public:
    explicit TProbeModuleNotifier(TCalls& calls) : FCalls(calls) {}
    void AfterSave() override { FCalls.push_back(L"AfterSave"); }
    void BeforeSave() override { FCalls.push_back(L"BeforeSave"); }
    void Destroyed() override { FCalls.push_back(L"Destroyed"); }
    void Modified() override {}
    bool CheckOverwrite() override { return true; }
    void ModuleRenamed(const std::wstring& newName) override { FCalls.push_back(L"Renamed " + ExtractFileName(newName)); }

private:
    TCalls& FCalls;
};

class EditorWindows : public ::testing::Test {
protected:
    TIdeHost host;
    TCalls calls;
    std::vector<void*> handles;

    void SetUp() override {
        TProbeViewFrame::MayClose = true;
        TProbeViewFrame::Asked = TProbeViewFrame::Freed = 0;
    }
    void TearDown() override {
        if (auto services = IdeService<IOTAEditorViewServices>())
            for (void* h : handles) services->UnregisterEditorSubView(h);
        EXPECT_TRUE(host.Faults().empty()) << WideToUtf8(host.Faults().front().Line());
    }
    void* Register(const std::wstring& caption, int32_t priority, bool handles_ = true) {
        void* handle = IdeService<IOTAEditorViewServices>()->RegisterEditorSubView(
            MakeInterfaced<TProbeView, INTACustomEditorSubView>(calls, caption, priority, handles_).Get());
        handles.push_back(handle);
        return handle;
    }
    std::wstring OpenUnit(const std::wstring& name) {
        const std::wstring file = IncludeTrailingPathDelimiter(host.WorkFolder()) + name;
        WriteFileBytes(file, "unit " + WideToUtf8(ChangeFileExt(name, L"")) + ";\r\n");
        EXPECT_TRUE(host.OpenFile(file));
        return file;
    }
};

TEST_F(EditorWindows, PagesComeInTheOrderOfTheirPrioritiesForTheViewsThatHandleTheModule) {
    Register(L"Low", 255);
    Register(L"Refuses", -300, false);
    Register(L"Highest", INT32_MIN);
    Register(L"Normal", 0);
    const int window = host.OpenEditorWindow(OpenUnit(L"Pages.pas"));
    EXPECT_EQ(host.EditorPages(window), (std::vector<std::wstring>{L"Highest", L"Normal", L"Low"}));
    // Each view was asked once, with a context that names the window's module.
    EXPECT_EQ(calls, (TCalls{L"Highest Handles Pages.pas", L"Refuses Handles Pages.pas", L"Normal Handles Pages.pas",
                             L"Low Handles Pages.pas"}));
    EXPECT_EQ(host.OpenEditorWindow(IncludeTrailingPathDelimiter(host.WorkFolder()) + L"NotOpen.pas"), 0);
}

TEST_F(EditorWindows, AFrameIsMadeOnFirstDisplayAndPagesAreHiddenAndDisplayedInTurn) {
    Register(L"A", -1);
    Register(L"B", 1);
    const int window = host.OpenEditorWindow(OpenUnit(L"Frames.pas"));
    calls.clear();
    EXPECT_EQ(host.EditorFrame(window, L"A"), nullptr);
    ASSERT_TRUE(host.ShowEditorPage(window, L"A"));
    TComponent* a = host.EditorFrame(window, L"A");
    ASSERT_NE(a, nullptr);
    ASSERT_TRUE(host.ShowEditorPage(window, L"B"));
    EXPECT_FALSE(static_cast<TControl*>(a)->Visible());
    ASSERT_TRUE(host.ShowEditorPage(window, L"A"));
    EXPECT_EQ(host.EditorFrame(window, L"A"), a); // made once
    EXPECT_TRUE(static_cast<TControl*>(a)->Visible());
    EXPECT_FALSE(static_cast<TControl*>(host.EditorFrame(window, L"B"))->Visible());
    EXPECT_EQ(calls, (TCalls{L"A FrameCreated shown", L"A Display shown", L"A Hide shown", L"B FrameCreated shown",
                             L"B Display shown", L"B Hide shown", L"A Display shown"}));
    EXPECT_FALSE(host.ShowEditorPage(window, L"C"));
}

TEST_F(EditorWindows, AFrameThatRefusesKeepsTheWindowElseTheViewsHearTheirFramesCloseAndTheFramesGo) {
    Register(L"A", 0);
    const std::wstring unit = OpenUnit(L"Close.pas");
    const int window = host.OpenEditorWindow(unit);
    ASSERT_TRUE(host.ShowEditorPage(window, L"A"));
    calls.clear();
    TProbeViewFrame::MayClose = false;
    EXPECT_FALSE(host.CloseEditorWindow(window));
    EXPECT_EQ(host.EditorPages(window), TCalls{L"A"});
    EXPECT_TRUE(calls.empty());
    TProbeViewFrame::MayClose = true;
    EXPECT_TRUE(host.CloseEditorWindow(window));
    EXPECT_EQ(TProbeViewFrame::Asked, 2);
    EXPECT_EQ(calls, TCalls{L"A ViewClosed shown"});
    EXPECT_EQ(TProbeViewFrame::Freed, 1);
    EXPECT_TRUE(host.EditorPages(window).empty());

    // Closing the module closes its windows without asking.
    const int again = host.OpenEditorWindow(unit);
    ASSERT_TRUE(host.ShowEditorPage(again, L"A"));
    TProbeViewFrame::MayClose = false;
    ASSERT_TRUE(host.CloseModule(unit));
    EXPECT_EQ(TProbeViewFrame::Asked, 2);
    EXPECT_EQ(TProbeViewFrame::Freed, 2);
}

TEST_F(EditorWindows, AViewUnregisteredTakesItsPagesOutOfEveryWindowAndAnUnknownHandleIsAFault) {
    void* a = Register(L"A", 0);
    Register(L"B", 1);
    const std::wstring unit = OpenUnit(L"Views.pas");
    const int first = host.OpenEditorWindow(unit), second = host.OpenEditorWindow(unit);
    ASSERT_TRUE(host.ShowEditorPage(first, L"A"));
    ASSERT_TRUE(host.ShowEditorPage(second, L"A"));
    IdeService<IOTAEditorViewServices>()->UnregisterEditorSubView(a);
    handles.erase(handles.begin());
    EXPECT_EQ(host.EditorPages(first), TCalls{L"B"});
    EXPECT_EQ(host.EditorPages(second), TCalls{L"B"});
    EXPECT_EQ(TProbeViewFrame::Freed, 2);
    EXPECT_EQ(host.EditorViews(), TCalls{L"B"});

    IdeService<IOTAEditorViewServices>()->UnregisterEditorSubView(a);
    ASSERT_EQ(host.Faults().size(), 1u);
    EXPECT_EQ(host.Faults()[0].Call, L"unregister");
    host.ClearRecords();
}

TEST_F(EditorWindows, NotifiersHearOfOpenedAndClosingFilesAndModulesOfSaveAsAndTheirEnd) {
    TComPtr<IOTAServices> services = IdeService<IOTAServices>();
    const int32_t index = services->AddNotifier(MakeInterfaced<TProbeIdeNotifier, IOTAIDENotifier>(calls).Get());
    EXPECT_EQ(host.IdeNotifierCount(), 1);
    const std::wstring unit = OpenUnit(L"Old.pas");
    TComPtr<IOTAModule> module = IdeService<IOTAModuleServices>()->FindModule(unit);
    ASSERT_TRUE(module);
    module->AddNotifier(MakeInterfaced<TProbeModuleNotifier, IOTAModuleNotifier>(calls).Get());
    const int window = host.OpenEditorWindow(unit);

    const std::wstring renamed = IncludeTrailingPathDelimiter(host.WorkFolder()) + L"New.pas";
    ASSERT_TRUE(host.SaveModuleAs(unit, renamed));
    EXPECT_EQ(module->GetFileName(), renamed);
    EXPECT_EQ(ReadFileBytes(renamed), "unit Old;\r\n");
    EXPECT_FALSE(host.SaveModuleAs(unit, renamed)); // nothing is open under the old name now
    host.ClearRecords();
    EXPECT_TRUE(host.CloseEditorWindow(window));
    ASSERT_TRUE(host.CloseModule(renamed));
    EXPECT_EQ(calls, (TCalls{L"1 Old.pas", L"Renamed New.pas", L"BeforeSave", L"AfterSave", L"2 New.pas", L"Destroyed"}));

    services->RemoveNotifier(index);
    EXPECT_EQ(host.IdeNotifierCount(), 0);
    services->RemoveNotifier(index);
    ASSERT_EQ(host.Faults().size(), 1u);
    EXPECT_EQ(host.Faults()[0].Area, L"notifiers");
    host.ClearRecords();
}

} // namespace
