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

    TWQIEditorView* EditorView() const { return _EditorView.Get(); }
    // The environment's handle of the registered page; null when nothing is registered.
    void* RegisteredEditorView() const { return _RegisteredEditorView; }

    const std::wstring& Caption() const { return _Caption; }
    void SetCaption(const std::wstring& value) { _Caption = value; }
    TWQEditorViewPriority Priority() const { return _Priority; }
    void SetPriority(TWQEditorViewPriority value) { _Priority = value; }
    TEditorViewStyles ViewStyle() const { return _ViewStyle; }
    void SetViewStyle(TEditorViewStyles value) { _ViewStyle = value; }
    const std::wstring& ViewIdentifier() const { return _ViewIdentifier; }
    void SetViewIdentifier(const std::wstring& value) { _ViewIdentifier = value; }

    TWQHandlesEvent OnHandles() const { return _OnHandles; }
    void SetOnHandles(TWQHandlesEvent value) { _OnHandles = value; }
    TWQDisplayEvent OnDisplay() const { return _OnDisplay; }
    void SetOnDisplay(TWQDisplayEvent value) { _OnDisplay = value; }
    TWQDisplayEvent OnHide() const { return _OnHide; }
    void SetOnHide(TWQDisplayEvent value) { _OnHide = value; }
    TWQDisplayEvent OnViewClosed() const { return _OnViewClosed; }
    void SetOnViewClosed(TWQDisplayEvent value) { _OnViewClosed = value; }
    TWQEditActionEvent OnEditAction() const { return _OnEditAction; }
    void SetOnEditAction(TWQEditActionEvent value) { _OnEditAction = value; }
    TWQGetEditStateEvent OnGetEditState() const { return _OnGetEditState; }
    void SetOnGetEditState(TWQGetEditStateEvent value) { _OnGetEditState = value; }
    TWQGetFrameClassEvent OnGetFrameClass() const { return _OnGetFrameClass; }
    void SetOnGetFrameClass(TWQGetFrameClassEvent value) { _OnGetFrameClass = value; }

    // Outside a designer: a blank Caption raises "EditorView "%s" : Invalid value of "Caption"
    // property"; then the page is registered when the environment offers editor views.
    void Loaded() override;

private:
    TComPtr<TWQIEditorView> _EditorView; // null on a designer surface
    void* _RegisteredEditorView = nullptr;
    std::wstring _Caption;
    TWQEditorViewPriority _Priority = evpNormal;
    TEditorViewStyles _ViewStyle;
    std::wstring _ViewIdentifier;
    TWQHandlesEvent _OnHandles;
    TWQDisplayEvent _OnDisplay, _OnHide, _OnViewClosed;
    TWQEditActionEvent _OnEditAction;
    TWQGetEditStateEvent _OnGetEditState;
    TWQGetFrameClassEvent _OnGetFrameClass;
};

} // namespace tamrel
