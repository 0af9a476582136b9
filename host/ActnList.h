// Actions: one command (its caption, hint, image, enabled and checked state, and what it does)
// shared by the menu items and tool buttons linked to it. A linked client shows the action's
// state and runs the action when clicked; it hears of every change of the action.
#pragma once

#include "host/Api.h"
#include "host/Classes.h"

#include <string>
#include <vector>

namespace tamrel {

class TBasicAction;

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
    void SetOnExecute(TNotifyEvent e) { FOnExecute = e; }
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

class TAMREL_API TAction : public TBasicAction {
    TAMREL_CLASS(TAction, TBasicAction)
public:
    explicit TAction(TComponent* owner);

    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& value);
    const std::wstring& Hint() const { return FHint; }
    void SetHint(const std::wstring& value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);
    int32_t ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int32_t value);

    bool Execute() override;

private:
    std::wstring FCaption;
    std::wstring FHint;
    bool FEnabled = true;
    bool FChecked = false;
    int32_t FImageIndex = -1;
};

} // namespace tamrel
