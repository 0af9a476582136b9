#include "ide/framework/Dev_WQ_CustomEditorView.h"

#include "host/SysUtils.h"

#include <limits>

namespace tamrel {

int32_t EditorViewPriorityValue(TWQEditorViewPriority priority) {
    switch (priority) {
    case evpLowest: return std::numeric_limits<int32_t>::max();
    case evpLow: return 255;
    case evpNormal: return 0;
    case evpHigh: return -255;
    case evpHighest: return std::numeric_limits<int32_t>::min();
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// TWQIEditorView

std::wstring TWQIEditorView::GetCaption() { return Owner ? Owner->Caption() : std::wstring(); }
int32_t TWQIEditorView::GetPriority() { return Owner ? EditorViewPriorityValue(Owner->Priority()) : 0; }
std::wstring TWQIEditorView::GetViewIdentifier() { return Owner ? Owner->ViewIdentifier() : std::wstring(); }

void TWQIEditorView::Display(IUnknown* context, TObject* viewObject) {
    if (Owner && Owner->OnDisplay()) Owner->OnDisplay()(context, viewObject);
}

bool TWQIEditorView::EditAction(IUnknown* context, TEditAction action, TObject* viewObject) {
    return Owner && Owner->OnEditAction() && Owner->OnEditAction()(context, action, viewObject);
}

TEditState TWQIEditorView::GetEditState(IUnknown* context, TObject* viewObject) {
    return Owner && Owner->OnGetEditState() ? Owner->OnGetEditState()(context, viewObject) : TEditState();
}

bool TWQIEditorView::Handles(IUnknown* context) {
    return Owner && Owner->OnHandles() && Owner->OnHandles()(context);
}

void TWQIEditorView::Hide(IUnknown* context, TObject* viewObject) {
    if (Owner && Owner->OnHide()) Owner->OnHide()(context, viewObject);
}

void TWQIEditorView::ViewClosed(IUnknown* context, TObject* viewObject) {
    if (Owner && Owner->OnViewClosed()) Owner->OnViewClosed()(context, viewObject);
}

const TClassInfo* TWQIEditorView::GetFrameClass() {
    return Owner && Owner->OnGetFrameClass() ? Owner->OnGetFrameClass()() : nullptr;
}

// ---------------------------------------------------------------------------------------------
// TWQEditorView

TAMREL_IMPLEMENT_CLASS(TWQEditorView) {
    b.String(L"Caption", &TWQEditorView::Caption, &TWQEditorView::SetCaption);
    b.Enum(L"Priority", &TWQEditorView::Priority, &TWQEditorView::SetPriority, evpNormal);
    b.Set(L"ViewStyle", &TWQEditorView::ViewStyle, &TWQEditorView::SetViewStyle, TEditorViewStyles{});
    b.String(L"ViewIdentifier", &TWQEditorView::ViewIdentifier, &TWQEditorView::SetViewIdentifier);
    b.Event(L"OnHandles", &TWQEditorView::OnHandles, &TWQEditorView::SetOnHandles);
    b.Event(L"OnDisplay", &TWQEditorView::OnDisplay, &TWQEditorView::SetOnDisplay);
    b.Event(L"OnHide", &TWQEditorView::OnHide, &TWQEditorView::SetOnHide);
    b.Event(L"OnViewClosed", &TWQEditorView::OnViewClosed, &TWQEditorView::SetOnViewClosed);
    b.Event(L"OnEditAction", &TWQEditorView::OnEditAction, &TWQEditorView::SetOnEditAction);
    b.Event(L"OnGetEditState", &TWQEditorView::OnGetEditState, &TWQEditorView::SetOnGetEditState);
    b.Event(L"OnGetFrameClass", &TWQEditorView::OnGetFrameClass, &TWQEditorView::SetOnGetFrameClass);
}

TWQEditorView::TWQEditorView(TComponent* owner) : TWQSMSBase(owner) {}

void TWQEditorView::AfterConstruction() {
    // Only here is the designing flag of a component made for a designer surface known.
    TWQSMSBase::AfterConstruction();
    if (!ComponentState().Contains(csDesigning)) FEditorView = MakeInterfaced<TWQIEditorView>(this);
}

TWQEditorView::~TWQEditorView() {
    // The environment may keep the page object; from now on it answers the defaults.
    if (FEditorView) FEditorView->Owner = nullptr;
    if (void* handle = std::exchange(FRegisteredEditorView, nullptr))
        if (auto services = IdeService<IOTAEditorViewServices>()) services->UnregisterEditorSubView(handle);
}

void TWQEditorView::Loaded() {
    TWQSMSBase::Loaded();
    if (ComponentState().Contains(csDesigning) || !FEditorView) return;
    if (Trim(FCaption).empty())
        throw Exception(L"EditorView \"%s\" : Invalid value of \"Caption\" property", FCaption);
    if (auto services = IdeService<IOTAEditorViewServices>())
        FRegisteredEditorView = services->RegisterEditorSubView(FEditorView.Get());
}

} // namespace tamrel
