// The user-defined access-bits templates: named bit sets kept in one INI file per machine (one
// section per template, the 64 keys of the bits' INI form), and the modeless manager window in
// which the developer adds, renames, edits, removes and saves them.
//
// The file is written whole, never in place: into a temporary file beside it (the file's name
// + ".tmp"), which then replaces it, so that a failure leaves the file as it was. It is written
// in the system's ANSI code page, or as UTF-16 (with a byte-order mark) when a name would not
// survive the ANSI code page; both kinds read back. Template names are compared as the INI file
// compares section names (without case, blanks around them dropped): two equal names, or a
// blank one, would lose a template, so such a list is refused before anything is written.
#pragma once

#include "ide/editors/BitGrid.h"
#include "ide/editors/EditorsApi.h"

#include "host/ActnList.h"
#include "host/forms/Forms.h"
#include "host/forms/ImgList.h"
#include "host/forms/ListView.h"
#include "host/forms/Splitter.h"
#include "host/forms/StdCtrls.h"
#include "host/forms/ToolBar.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tamrel {

// The Windows directory + "\TamrelMaskTemplate.ini".
TAMRELWIZ_API std::wstring GetMaskTemplateFileName();
// The template names of a file, in file order; a missing file has none.
TAMRELWIZ_API std::vector<std::wstring> ReadMaskTemplateNames(const std::wstring& fileName);
// Replaces the file with exactly these templates, in this order (none: the file is deleted).
// Raises (and writes nothing) for a blank name or two equal names, naming it; a failure to write
// raises and keeps the old file.
TAMRELWIZ_API void WriteMaskTemplates(const std::wstring& fileName,
                                      const std::vector<std::pair<std::wstring, const TrkAccessBits*>>& templates);
// Saves one template into the file: the template of an equal name is written over in its place,
// else it is added at the end; the others stay byte for byte as they are. The file becomes UTF-16
// when the template's names need it. Raises (and writes nothing) for a name the file cannot hold.
TAMRELWIZ_API void SaveMaskTemplate(const std::wstring& fileName, const std::wstring& name, const TrkAccessBits& bits);

class TAMRELWIZ_API TRkManageAccessBitsTemplateForm : public TForm {
    TAMREL_CLASS(TRkManageAccessBitsTemplateForm, TForm)
public:
    explicit TRkManageAccessBitsTemplateForm(TComponent* AOwner);
    ~TRkManageAccessBitsTemplateForm() override;

    TToolBar* ToolBar1 = nullptr;
    TToolButton* TbAdd = nullptr;
    TToolButton* TbRemove = nullptr;
    TToolButton* TbSave = nullptr;
    TToolButton* TbSeparator = nullptr;
    TToolButton* TbExit = nullptr;
    TImageList* ImageList1 = nullptr;
    TAction* ActAdd = nullptr;
    TAction* ActRemove = nullptr;
    TAction* ActSave = nullptr;
    TAction* ActExit = nullptr;
    TPanel* PnTemplates = nullptr;
    TLabel* LbTemplates = nullptr;
    TListView* LvTemplates = nullptr;
    TSplitter* Splitter1 = nullptr;
    TPanel* PnPreview = nullptr;
    TLabel* LbPreview = nullptr;
    TStringGrid* GrMaskBits = nullptr;

    // The bit set of the selected item, or null.
    TrkAccessBits* AccessMask() const { return FGrid ? FGrid->Bits() : nullptr; }
    // The menu of the window: "&Add" (with the four actions) and "&Help".
    TPopupMenu* MainMenuItems() const { return FMenu; }
    HMENU MenuHandle() const { return FMenuHandle; }

    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void ActAddExecute(TObject* Sender);
    void ActRemoveExecute(TObject* Sender);
    void ActSaveExecute(TObject* Sender);
    void ActExitExecute(TObject* Sender);
    void LvTemplatesSelectItem(TObject* Sender, TListItem* Item, bool Selected);
    void LvTemplatesDeletion(TObject* Sender, TListItem* Item);
    void PnTemplatesResize(TObject* Sender);
    void PnPreviewResize(TObject* Sender);

    // A template was saved elsewhere (the bits editor's "&Add to templates"): the item of that
    // name takes a copy of the bits, or a new item does.
    void TemplateSaved(const std::wstring& name, const TrkAccessBits& bits);

    void WndProc(TMessage& message) override;
    void BeforeDestruction() override;

protected:
    // The menu bar and the tool tips belong to the window: they are set when it is made, and the
    // menu is taken back before it goes (a window destroys the menu it holds; the form keeps its
    // menu for its next window and destroys it itself).
    void CreateWnd() override;
    void DestroyWnd() override;

private:
    void ShowCurrent();
    void BuildMenu();
    void CreateWndParts();
    std::unique_ptr<TBitGrid> FGrid;
    TPopupMenu* FMenu = nullptr; // owned as a component: the items of the menu bar
    HMENU FMenuHandle = nullptr;
    std::vector<TMenuItem*> FMenuCommands;
};

// Shows the one manager (made on the first call, owned by the application) and brings it to the
// front.
TAMRELWIZ_API void ShowMaskTemplateManager();
// The manager while it is open, else null.
TAMRELWIZ_API TRkManageAccessBitsTemplateForm* MaskTemplateManager();

} // namespace tamrel
