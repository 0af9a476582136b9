// The editor-view component against the environment stand-in: the test program is the add-in.
#include "ide/framework/Dev_WQ_CustomEditorView.h"

#include "host/forms/Forms.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace tamrel;

namespace {

// Answers the environment's calls as an add-in's data module would, and notes them.
struct TViewHandlers {
    bool Handle = true;
    std::vector<std::wstring> Calls;
    TObject* Displayed = nullptr;
    bool HandlesCall(IUnknown* context) {
        Calls.push_back(L"handles");
        TComPtr<IOTAModule> module;
        IdeService<IOTAEditorViewServices>()->ContextToModule(context, module);
        Calls.push_back(L"module " + ExtractFileName(module ? module->GetFileName() : std::wstring()));
        return Handle;
    }
    void Display(IUnknown*, TObject* view) {
        Calls.push_back(L"display");
        Displayed = view;
    }
    void Hide(IUnknown*, TObject*) { Calls.push_back(L"hide"); }
    void Closed(IUnknown*, TObject*) { Calls.push_back(L"closed"); }
    const TClassInfo* FrameClass() { return &TFrame::StaticClassInfo(); }
};

TWQEditorView* NewView(TViewHandlers& h, const std::wstring& caption, TWQEditorViewPriority priority) {
    auto* view = Create<TWQEditorView>(nullptr);
    view->SetCaption(caption);
    view->SetPriority(priority);
    view->SetOnHandles(TWQHandlesEvent::Of<&TViewHandlers::HandlesCall>(&h));
    view->SetOnDisplay(TWQDisplayEvent::Of<&TViewHandlers::Display>(&h));
    view->SetOnHide(TWQDisplayEvent::Of<&TViewHandlers::Hide>(&h));
    view->SetOnViewClosed(TWQDisplayEvent::Of<&TViewHandlers::Closed>(&h));
    view->SetOnGetFrameClass(TWQGetFrameClassEvent::Of<&TViewHandlers::FrameClass>(&h));
    view->Loaded();
    return view;
}

std::wstring NewUnit(TIdeHost& host, const std::wstring& name) {
    const std::wstring file = IncludeTrailingPathDelimiter(host.WorkFolder()) + name;
    std::ofstream(file.c_str()) << "unit " << WideToAnsi(ChangeFileExt(name, L"")) << ";\r\n";
    EXPECT_TRUE(host.OpenFile(file));
    return file;
}

} // namespace

TEST(EditorView, PagesComeInPriorityOrderAndFramesLiveFromFirstDisplayToClose) {
    TIdeHost host;
    TViewHandlers low, highest;
    TOwnedPtr<TWQEditorView> a(NewView(low, L"Low page", evpLow));
    TOwnedPtr<TWQEditorView> b(NewView(highest, L"Highest page", evpHighest));
    ASSERT_NE(a->RegisteredEditorView(), nullptr);
    const std::wstring unit = NewUnit(host, L"Pages.pas");

    const int window = host.OpenEditorWindow(unit);
    EXPECT_EQ(host.EditorPages(window), (std::vector<std::wstring>{L"Highest page", L"Low page"}));
    EXPECT_EQ(low.Calls, (std::vector<std::wstring>{L"handles", L"module Pages.pas"}));
    EXPECT_EQ(host.EditorFrame(window, L"Low page"), nullptr);

    ASSERT_TRUE(host.ShowEditorPage(window, L"Low page"));
    TComponent* frame = host.EditorFrame(window, L"Low page");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(low.Displayed, frame);
    ASSERT_TRUE(host.ShowEditorPage(window, L"Highest page"));
    ASSERT_TRUE(host.CloseEditorWindow(window));
    EXPECT_EQ(low.Calls, (std::vector<std::wstring>{L"handles", L"module Pages.pas", L"display", L"hide", L"closed"}));
    EXPECT_TRUE(host.Faults().empty());
}

TEST(EditorView, AViewThatDoesNotHandleTheModuleGetsNoPage) {
    TIdeHost host;
    TViewHandlers h;
    h.Handle = false;
    TOwnedPtr<TWQEditorView> view(NewView(h, L"Never", evpNormal));
    const int window = host.OpenEditorWindow(NewUnit(host, L"Plain.pas"));
    EXPECT_TRUE(host.EditorPages(window).empty());
    EXPECT_FALSE(host.ShowEditorPage(window, L"Never"));
}

TEST(EditorView, DestroyedComponentUnregistersClosesItsFramesAndLeavesDefaultAnswers) {
    TIdeHost host;
    TViewHandlers h;
    TWQEditorView* view = NewView(h, L"Going", evpNormal);
    const int window = host.OpenEditorWindow(NewUnit(host, L"Gone.pas"));
    ASSERT_TRUE(host.ShowEditorPage(window, L"Going"));
    TComPtr<INTACustomEditorSubView> kept(view->EditorView());
    Free(view);

    EXPECT_TRUE(host.EditorViews().empty());
    EXPECT_TRUE(host.EditorPages(window).empty());
    // The component let go of the page before unregistering: it hears nothing of the closing.
    EXPECT_EQ(h.Calls.back(), L"display");
    EXPECT_EQ(kept->GetCaption(), L"");
    EXPECT_FALSE(kept->Handles(nullptr));
    EXPECT_EQ(kept->GetFrameClass(), nullptr);
    EXPECT_EQ(kept->GetPriority(), 0);
    EXPECT_TRUE(host.Faults().empty());
}

TEST(EditorView, BlankCaptionRaisesAndRegistersNothing) {
    TIdeHost host;
    TOwnedPtr<TWQEditorView> view(Create<TWQEditorView>(nullptr));
    view->SetCaption(L"  ");
    try {
        view->Loaded();
        FAIL() << "a blank caption was accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), L"EditorView \"  \" : Invalid value of \"Caption\" property");
    }
    EXPECT_EQ(view->RegisteredEditorView(), nullptr);
    EXPECT_TRUE(host.EditorViews().empty());
}

TEST(EditorView, OnADesignerSurfaceNothingIsMadeOrRegistered) {
    TIdeHost host;
    TOwnedPtr<TComponent> view(TWQEditorView::StaticClassInfo().CreateComponent(nullptr, true));
    auto* v = static_cast<TWQEditorView*>(view.get());
    v->SetCaption(L"Designed");
    v->Loaded();
    EXPECT_EQ(v->EditorView(), nullptr);
    EXPECT_TRUE(host.EditorViews().empty());
}

TEST(EditorView, WithoutAnEnvironmentNothingIsRegisteredAndNothingRaises) {
    TOwnedPtr<TWQEditorView> view(Create<TWQEditorView>(nullptr));
    view->SetCaption(L"Alone");
    view->Loaded();
    EXPECT_EQ(view->RegisteredEditorView(), nullptr);
}
