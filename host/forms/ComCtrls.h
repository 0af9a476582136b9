// Common controls: the page control, a tab strip over a stack of tab sheets of which one shows.
//
// Every sheet belongs to one page control, in page order; only sheets whose TabVisible is set
// have a tab, so tab numbers and page numbers differ once a sheet hides its tab. The active
// page is the one sheet shown, filling the page control's display area; it may be a sheet
// without a tab (then no tab is selected). A click on a tab, or the arrow keys on the focused
// strip, make its sheet the active page and report OnChange; setting ActivePage from code
// reports nothing.
#pragma once

#include "host/Api.h"
#include "host/forms/Controls.h"

#include <vector>

namespace tamrel {

class TPageControl;

class TAMREL_API TTabSheet : public TWinControl {
    TAMREL_CLASS(TTabSheet, TWinControl)
public:
    explicit TTabSheet(TComponent* owner);
    ~TTabSheet() override;

    // The page control also becomes the sheet's parent; the sheet is its last page.
    TPageControl* PageControl() const { return FPageControl; }
    void SetPageControl(TPageControl* value);
    // Whether the sheet has a tab of its own.
    bool TabVisible() const { return FTabVisible; }
    void SetTabVisible(bool value);
    // The sheet's place among all pages; -1 without a page control.
    int32_t PageIndex() const;
    void SetPageIndex(int32_t value);
    // The tab's place among the tabs; -1 while it has none.
    int32_t TabIndex() const;

    // A stored sheet names its page control as its parent.
    void SetParentComponent(TComponent* parent) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void PropertyChanged(UINT cm) override;

private:
    friend class TPageControl;
    TPageControl* FPageControl = nullptr;
    bool FTabVisible = true;
};

class TAMREL_API TPageControl : public TWinControl {
    TAMREL_CLASS(TPageControl, TWinControl)
public:
    explicit TPageControl(TComponent* owner);
    ~TPageControl() override;

    int32_t PageCount() const { return static_cast<int32_t>(FPages.size()); }
    // Raises EListError for an index out of range.
    TTabSheet* Pages(int32_t index) const;
    // Null, or one of this control's sheets (EInvalidOperation otherwise).
    TTabSheet* ActivePage() const { return FActivePage; }
    void SetActivePage(TTabSheet* value);
    int32_t ActivePageIndex() const;
    void SetActivePageIndex(int32_t value);
    // The sheet of a tab; null for a tab it does not have.
    TTabSheet* SheetOfTab(int32_t tab) const;
    // The area the active sheet fills, in client coordinates.
    RECT DisplayRect();

    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }
    void Loaded() override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void AlignControls(RECT& rect) override;
    virtual void Change();
    void CNNotify(TMessage& m);

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void MovePage(TTabSheet* page, int32_t index);
    // Rebuilds the tabs from the sheets and selects the active page's tab.
    void UpdateTabs();
    // Shows the active page and hides the others.
    void ShowActivePage();

    std::vector<TTabSheet*> FPages;
    TTabSheet* FActivePage = nullptr;
    TNotifyEvent FOnChange;
};

} // namespace tamrel
