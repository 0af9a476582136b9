// The design-time editor of a service module's dependencies (DependsOnServices and
// DependsOnGroups of TNtService): one dialog that lists the dependencies beside the services
// installed on the machine and the load-order groups, moved across by buttons or by dragging.
#pragma once

#include "ide/editors/EditorsApi.h"
#include "ide/framework/DesignEditors.h"

#include "host/forms/Forms.h"
#include "host/forms/ImgList.h"
#include "host/forms/ListView.h"
#include "host/forms/SpeedButton.h"
#include "host/forms/StdCtrls.h"

#include <memory>
#include <string>
#include <vector>

namespace tamrel {

// The published property of that name (case ignored), inherited ones included; null when none.
TAMRELWIZ_API const TPropInfo* FindPublishedProperty(const TObject* component, const std::wstring& name);

// The load-order groups: the multi-string "List" under
// HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\ServiceGroupOrder, up to its empty string
// or the end of the data read. A failure raises the system's message.
TAMRELWIZ_API std::vector<std::wstring> ReadServiceGroups();

struct TServiceName {
    std::wstring Name;
    std::wstring DisplayName;
};
// The services of the local service manager (all types, all states). A failure raises the
// system's message.
TAMRELWIZ_API std::vector<TServiceName> ReadServiceNames();

class TAMRELWIZ_API TDependenciesEditorForm : public TForm {
    TAMREL_CLASS(TDependenciesEditorForm, TForm)
public:
    explicit TDependenciesEditorForm(TComponent* AOwner);
    ~TDependenciesEditorForm() override;

    TLabel* LbDependencies = nullptr;
    TListView* LVDependencies = nullptr;
    TLabel* LbAvailable = nullptr;
    TListView* LVAvailable = nullptr;
    TSpeedButton* SbAdd = nullptr;
    TSpeedButton* SbDelete = nullptr;
    TSpeedButton* SbDeleteAll = nullptr;
    TButton* BnNewService = nullptr;
    TButton* BnNewGroup = nullptr;
    TButton* BnDelete = nullptr;
    TButton* BnOK = nullptr;
    TButton* BnCancel = nullptr;
    TImageList* SmallImages = nullptr;
    TImageList* LargeImages = nullptr;
    TPopupMenu* PmDependencies = nullptr;
    TPopupMenu* PmAvailable = nullptr;

    // The item whose caption is being edited, or null.
    TListItem* EditedItem = nullptr;

    // The captions of the service (group) items, in list order; writing keeps what is listed
    // already and adds what is missing.
    TStrings* DependsOnServices();
    void SetDependsOnServices(TStrings* Value);
    TStrings* DependsOnGroups();
    void SetDependsOnGroups(TStrings* Value);

    void FormCreate(TObject* Sender);
    void SbAddClick(TObject* Sender);
    void SbDeleteClick(TObject* Sender);
    void SbDeleteAllClick(TObject* Sender);
    void BnNewServiceClick(TObject* Sender);
    void BnNewGroupClick(TObject* Sender);
    void LVDependenciesEditing(TObject* Sender, TListItem* Item, bool& AllowEdit);
    void LVDependenciesEdited(TObject* Sender, TListItem* Item, std::wstring& S);
    void LVDependenciesCancelEdit(TObject* Sender, TListItem* Item);
    void LVDependenciesDeletion(TObject* Sender, TListItem* Item);
    void LVDependenciesKeyUp(TObject* Sender, WORD& Key, TShiftState Shift);
    void ListDragOver(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept);
    void LVDependenciesDragDrop(TObject* Sender, TObject* Source, int X, int Y);
    void LVAvailableDragDrop(TObject* Sender, TObject* Source, int X, int Y);
    void ViewPopup(TObject* Sender);
    void ViewClick(TObject* Sender);

private:
    TStrings* ReadList(TStringList& list, int image);
    void WriteList(TStrings* value, int image);
    void AddNew(int image);
    // The display name of the available item of that caption and type, else "???????".
    std::wstring LookUpDisplayName(const std::wstring& caption, int image) const;
    TListItem* AddItem(TListView* view, const std::wstring& caption, int image, const std::wstring& display);
    void FillAvailable();
    TPopupMenu* MakeViewMenu(TListView* view);

    std::unique_ptr<TStringList> FDependsOnServices;
    std::unique_ptr<TStringList> FDependsOnGroups;
};

class TAMRELWIZ_API TDependenciesPropertyEditor : public TPropertyEditor {
public:
    TPropertyAttributes GetAttributes() override;
    std::wstring GetValue() override;
    void Edit() override;
};

TAMRELWIZ_API void Tamrel_Property_Dependencies_DoRegister();

} // namespace tamrel
