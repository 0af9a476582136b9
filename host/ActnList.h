// Actions: one command (its caption, hint, image, enabled and checked state, and what it does)
// shared by the menu items and tool buttons linked to it. A linked client shows the action's
// state and runs the action when clicked; it hears of every change of the action, its handler
// included.
//
// An action list groups the actions of a form or frame. An action in a list that has no OnExecute
// is disabled (unless its DisableIfNoHandler is cleared): it shows so in its clients and does not
// run, and it is enabled again once it gets a handler.
#pragma once

#include "host/Api.h"
#include "host/Classes.h"

#include <string>
#include <vector>

namespace tamrel {

class TBasicAction;

// A key with the Shift, Ctrl and Alt keys held, as one number: the virtual-key code in the low
// byte and these flags above it.
using TShortCut = uint16_t;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;

// What a control or menu item linked to an action implements.
class TAMREL_API TActionClient {
public:
    virtual ~TActionClient() = default;
    // The action changed (or goes: then Action is null afterwards).
    virtual void ActionChanged(TBasicAction* action) = 0;

protected:
    // Links the client to Value in place of the action held in Slot: leaves the old one's
    // clients, joins the new one's and takes its state.
    void LinkAction(TBasicAction*& Slot, TBasicAction* Value);
};

class TAMREL_API TBasicAction : public TComponent {
    TAMREL_CLASS(TBasicAction, TComponent)
public:
    explicit TBasicAction(TComponent* owner);
    ~TBasicAction() override;
    void BeforeDestruction() override;

    TNotifyEvent OnExecute() const { return FOnExecute; }
    void SetOnExecute(TNotifyEvent e);
    // Runs OnExecute; false when there is none (or the action is disabled).
    virtual bool Execute();

    void RegisterClient(TActionClient* client);
    void UnRegisterClient(TActionClient* client);

protected:
    // Tells every client.
    void Change();

private:
    std::vector<TActionClient*> FClients;
    TNotifyEvent FOnExecute;
};

class TActionList;

class TAMREL_API TAction : public TBasicAction {
    TAMREL_CLASS(TAction, TBasicAction)
public:
    explicit TAction(TComponent* owner);
    ~TAction() override;

    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& value);
    const std::wstring& Hint() const { return FHint; }
    void SetHint(const std::wstring& value);
    // False also for an action of a list that has no handler (see above); SetEnabled keeps the
    // value that applies once it has one.
    bool Enabled() const;
    void SetEnabled(bool value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);
    int32_t ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int32_t value);
    // The list the action belongs to, or null.
    TActionList* ActionList() const { return FActionList; }
    void SetActionList(TActionList* value);
    bool DisableIfNoHandler() const { return FDisableIfNoHandler; }
    void SetDisableIfNoHandler(bool value);
    // The key that runs the action wherever the focus is inside the owner of its list (a form or
    // a frame), before the focused control sees the key (host/forms/Forms.h); 0 for none.
    TShortCut ShortCut() const { return FShortCut; }
    void SetShortCut(TShortCut value) { FShortCut = value; }

    bool Execute() override;

private:
    friend class TActionList;
    TActionList* FActionList = nullptr;
    bool FDisableIfNoHandler = true;
    std::wstring FCaption;
    std::wstring FHint;
    bool FEnabled = true;
    bool FChecked = false;
    int32_t FImageIndex = -1;
    TShortCut FShortCut = 0;
};

// The actions of a form or frame, in the order they joined. The list does not own them (their
// owner does); an action that goes leaves its list, and a list that goes lets its actions go free.
class TAMREL_API TActionList : public TComponent {
    TAMREL_CLASS(TActionList, TComponent)
public:
    explicit TActionList(TComponent* owner);
    ~TActionList() override;

    int ActionCount() const { return static_cast<int>(FActions.size()); }
    // Raises EListError for an index out of range.
    TAction* Actions(int index) const;
    int IndexOf(const TAction* action) const;
    // Runs the action of that key when it is enabled; true when one ran.
    bool IsShortCut(TShortCut shortCut);

private:
    friend class TAction;
    std::vector<TAction*> FActions;
};

} // namespace tamrel
