// A component that registers an extra page of the code editor window (its content a frame) and
// turns every call the environment makes of that page into an event, so that an add-in's data
// module can be designed rather than coded.
#pragma once

#include "ide/framework/IdeServices.h"
#include "ide/framework/WQ_SMSBase.h"

namespace tamrel {

class TWQEditorView;

TAMREL_ENUM(TWQEditorViewPriority, evpLowest, evpLow, evpNormal, evpHigh, evpHighest);
TAMREL_ENUM(TEditorViewStyle, evsRuntime, evsDesigntime);
using TEditorViewStyles = TSet<TEditorViewStyle>;

using TWQHandlesEvent = TMethod<bool(IUnknown* AContext)>;
using TWQDisplayEvent = TMethod<void(IUnknown* AContext, TObject* AViewObject)>;
using TWQEditActionEvent = TMethod<bool(IUnknown* AContext, TEditAction Action, TObject* AViewObject)>;
using TWQGetEditStateEvent = TMethod<TEditState(IUnknown* AContext, TObject* AViewObject)>;
using TWQGetFrameClassEvent = TMethod<const TClassInfo*()>;

// The priority the environment orders pages by: lower values come first.
int32_t EditorViewPriorityValue(TWQEditorViewPriority priority);

// The environment's side of the page. It may outlive its component: once the component is gone
// every call answers the default (empty, False, nothing).
class TWQIEditorView : public TInterfaced<INTACustomEditorSubView> {
public:
    explicit TWQIEditorView(TWQEditorView* owner) : Owner(owner) {}

    bool CanCloneView() override { return false; }
    std::wstring GetCaption() override;
    int32_t GetPriority() override;
    std::wstring GetViewIdentifier() override;
    void Display(IUnknown* context, TObject* viewObject) override;
    bool EditAction(IUnknown* context, TEditAction action, TObject* viewObject) override;
    TEditState GetEditState(IUnknown* context, TObject* viewObject) override;
    bool Handles(IUnknown* context) override;
    void Hide(IUnknown* context, TObject* viewObject) override;
    void ViewClosed(IUnknown* context, TObject* viewObject) override;
    const TClassInfo* GetFrameClass() override;
    void FrameCreated(TComponent* /*frame*/) override {}

    TWQEditorView* Owner;
};

class TWQEditorView : public TWQSMSBase {
    TAMREL_CLASS(TWQEditorView, TWQSMSBase)
public:
    explicit TWQEditorView(TComponent* owner);
    ~TWQEditorView() override;
    void AfterConstruction() override;

    TWQIEditorView* EditorView() const { return FEditorView.Get(); }
    // The environment's handle of the registered page; null when nothing is registered.
    void* RegisteredEditorView() const { return FRegisteredEditorView; }

    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& value) { FCaption = value; }
    TWQEditorViewPriority Priority() const { return FPriority; }
    void SetPriority(TWQEditorViewPriority value) { FPriority = value; }
    TEditorViewStyles ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TEditorViewStyles value) { FViewStyle = value; }
    const std::wstring& ViewIdentifier() const { return FViewIdentifier; }
    void SetViewIdentifier(const std::wstring& value) { FViewIdentifier = value; }

    TWQHandlesEvent OnHandles() const { return FOnHandles; }
    void SetOnHandles(TWQHandlesEvent value) { FOnHandles = value; }
    TWQDisplayEvent OnDisplay() const { return FOnDisplay; }
    void SetOnDisplay(TWQDisplayEvent value) { FOnDisplay = value; }
    TWQDisplayEvent OnHide() const { return FOnHide; }
    void SetOnHide(TWQDisplayEvent value) { FOnHide = value; }
    TWQDisplayEvent OnViewClosed() const { return FOnViewClosed; }
    void SetOnViewClosed(TWQDisplayEvent value) { FOnViewClosed = value; }
    TWQEditActionEvent OnEditAction() const { return FOnEditAction; }
    void SetOnEditAction(TWQEditActionEvent value) { FOnEditAction = value; }
    TWQGetEditStateEvent OnGetEditState() const { return FOnGetEditState; }
    void SetOnGetEditState(TWQGetEditStateEvent value) { FOnGetEditState = value; }
    TWQGetFrameClassEvent OnGetFrameClass() const { return FOnGetFrameClass; }
    void SetOnGetFrameClass(TWQGetFrameClassEvent value) { FOnGetFrameClass = value; }

    // Outside a designer: a blank Caption raises "EditorView "%s" : Invalid value of "Caption"
    // property"; then the page is registered when the environment offers editor views.
    void Loaded() override;

private:
    TComPtr<TWQIEditorView> FEditorView; // null on a designer surface
    void* FRegisteredEditorView = nullptr;
    std::wstring FCaption;
    TWQEditorViewPriority FPriority = evpNormal;
    TEditorViewStyles FViewStyle;
    std::wstring FViewIdentifier;
    TWQHandlesEvent FOnHandles;
    TWQDisplayEvent FOnDisplay, FOnHide, FOnViewClosed;
    TWQEditActionEvent FOnEditAction;
    TWQGetEditStateEvent FOnGetEditState;
    TWQGetFrameClassEvent FOnGetFrameClass;
};

} // namespace tamrel
