// The tab set: a row of tabs along the bottom of a display area that holds the controls placed in
// it (aligned ones fill the area above the tabs). Tabs is the list of captions, each with an
// object of the caller's (not owned); the row follows every change of the list.
//
// TabIndex is the selected tab, -1 for none. OnChange reports each change of it made by a click on
// a tab or by setting TabIndex from code: the system's tab control tells of clicks only, so the
// tab set raises the event itself for both. A change of the list that puts TabIndex back into
// range reports nothing.
#pragma once

#include "host/Api.h"
#include "host/forms/Controls.h"

#include <memory>

namespace tamrel {

class TAMREL_API TTabSet : public TWinControl {
    TAMREL_CLASS(TTabSet, TWinControl)
public:
    explicit TTabSet(TComponent* owner);
    ~TTabSet() override;

    TStrings* Tabs() const { return FTabs.get(); }
    void SetTabs(TStrings* value) { FTabs->Assign(value); }
    int32_t TabIndex() const { return FTabIndex; }
    // A value outside the tabs selects none.
    void SetTabIndex(int32_t value);
    // The area the controls fill, in client coordinates.
    RECT DisplayRect();
    // The rectangle of a tab in client coordinates; empty for a tab the row does not show.
    RECT TabRect(int32_t index);

    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void AlignControls(RECT& rect) override;
    virtual void Change();
    void CNNotify(TMessage& m);

private:
    void TabsChanged(TObject* sender);
    // Rebuilds the row from the list and selects TabIndex.
    void UpdateTabs();

    std::unique_ptr<TStringList> FTabs;
    int32_t FTabIndex = -1;
    TNotifyEvent FOnChange;
};

} // namespace tamrel
