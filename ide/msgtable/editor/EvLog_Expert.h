// The message-table add-in's road from the environment to the documents: the expert module with
// its designed components (the editor page, the IDE notifier, the repository wizard and its
// module creator), and one document module per unit that binds the unit to its message document.
//
// A unit's document lives beside it under the unit's name: "Name.elp" (the text document) and
// "Name.dll" (the message library built from it); both are written when the unit is about to be
// saved. Every change of the document rewrites the unit's buffer with the generated source.
#pragma once

#include "host/Classes.h"
#include "ide/framework/Dev_WQ_Creators.h"
#include "ide/framework/Dev_WQ_CustomEditorView.h"
#include "ide/framework/Dev_WQ_Experts.h"
#include "ide/framework/Dev_WQ_IDENotifier.h"
#include "ide/msgtable/model/EvLog_Document.h"

#include <memory>
#include <string>
#include <vector>

namespace tamrel::evlog {

class TEvLogExpertModule;

// Binds one module of the environment (a unit) to one document. It is a view of its own document
// and a notifier of its module for as long as it is listed by the expert module.
class TEvLogDocumentModule : public TInterfaced<IEvLogDocumentView, IOTAModuleNotifier> {
public:
    // Adds itself to the module as notifier. Without a document it reads the unit's ".elp" file
    // (a missing or unreadable file gives an empty or partly read document).
    TEvLogDocumentModule(TEvLogExpertModule& expert, TComPtr<IOTAModule> module,
                         std::unique_ptr<TEvLogDocument> document);
    ~TEvLogDocumentModule() override;

    const std::wstring& UnitName() const { return FUnitName; }
    IOTAModule* Module() const { return FModule.Get(); }
    TEvLogDocument& Document() const { return *FDocument; }

    // Takes the notifier off the module and lets the module go; a second call does nothing.
    void RemoveNotifier();
    // Writes the ".elp" file and the message library beside the unit. A file that cannot be
    // written is shown in an error box, with the reason the library's build gave; the unit is
    // saved all the same.
    // True when both were written. Without the module, the files lie beside the document's.
    bool SaveDocumentFiles();
    // Makes the unit's buffer hold the generated source: one undoable edit, and none when the
    // texts differ only in leading or trailing blanks and line breaks.
    void RegenerateSource();
    // Ends the binding: the notifier goes and the module leaves its document's views.
    void Detach();

    // IEvLogDocumentView
    void STDMETHODCALLTYPE DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb) override;
    // IOTAModuleNotifier
    void AfterSave() override {}
    // Brings the buffer up to date first, then writes the ".elp" file and the library.
    void BeforeSave() override;
    void Destroyed() override { RemoveNotifier(); }
    void Modified() override {}
    bool CheckOverwrite() override { return true; }
    void ModuleRenamed(const std::wstring& newName) override;

private:
    TEvLogExpertModule& FExpert;
    std::wstring FUnitName;
    TComPtr<IOTAModule> FModule;
    int32_t FNotifierIndex = -1;
    std::unique_ptr<TEvLogDocument> FDocument;
    bool FViewing = false;
};

class TEvLogExpertModule : public TDataModule {
    TAMREL_CLASS(TEvLogExpertModule, TDataModule)
public:
    explicit TEvLogExpertModule(TComponent* owner) : TDataModule(owner) {}

    int DocumentModuleCount() const { return static_cast<int>(FModules.size()); }
    TEvLogDocumentModule* DocumentModules(int index) const { return FModules.at(static_cast<size_t>(index)).Get(); }
    // The document of the wizard's new unit, until a module takes it or the wizard ends.
    TEvLogDocument* CreatorDocument() const { return FCreatorDocument.get(); }

    // The module of an editor-view context; false without the editor-view services.
    bool ContextToModule(IUnknown* context, TComPtr<IOTAModule>& module);
    // The document module of the context's module: the listed one, else a new one with the
    // wizard's document (for the wizard's own unit only) or with the unit's ".elp" file when
    // there is one; null otherwise.
    TEvLogDocumentModule* GetDocumentModuleForContext(IUnknown* context);
    TEvLogDocumentModule* FindDocumentModuleByFileName(const std::wstring& fileName) const;
    // Ends every document module, the last first.
    void ReleaseDocumentModules();

    // Designed components and their handlers.
    TWQEditorView* EvLogEditorView = nullptr;
    TWQIDENotifier* IDENotifier = nullptr;
    TWQAdvancedExpert* EventLogExpert = nullptr;
    TWQModuleCreator* EventLogCreator = nullptr;

    void DataModuleCreate(TObject* Sender);
    void DataModuleDestroy(TObject* Sender);
    void EventLogExpertExecute(TObject* Sender);
    std::wstring EventLogCreatorGetIntfName(TObject* Sender);
    std::wstring EventLogCreatorGetSource(TObject* Sender, const std::wstring& UnitName, const std::wstring& FormName,
                                          const std::wstring& AncestorName);
    const TClassInfo* EvLogEditorViewGetFrameClass();
    bool EvLogEditorViewHandles(IUnknown* AContext);
    void EvLogEditorViewDisplay(IUnknown* AContext, TObject* AViewObject);
    void IDENotifierFileOpened(const std::wstring& FileName, bool& Cancel);
    void IDENotifierFileClosing(const std::wstring& FileName, bool& Cancel);

private:
    friend class TEvLogDocumentModule;
    // The unit text of a module whose document is deleting a block is made once the block is
    // gone: after the handling of the current message, or before the unit is saved.
    static constexpr UINT WM_REGENERATE = WM_APP + 0x101;
    void RegenerateLater(TEvLogDocumentModule* module);
    // The pending ones now (only that module's, when one is given).
    void RegeneratePending(TEvLogDocumentModule* only);
    void LaterWindowMessage(TMessage& message);

    std::vector<TComPtr<TEvLogDocumentModule>> FModules;
    std::unique_ptr<TEvLogDocument> FCreatorDocument;
    std::vector<TComPtr<TEvLogDocumentModule>> FPending;
    HWND FLaterWindow = nullptr;
};

// The expert module of the loaded add-in, from its OnCreate to its OnDestroy; null otherwise.
extern TEvLogExpertModule* EvLogExpert;

// The experts key of the environment, under HKEY_CURRENT_USER, and this add-in's value in it.
inline constexpr wchar_t ExpertsKey[] = L"Software\\Embarcadero\\BDS\\12.0\\Experts";
inline constexpr wchar_t ExpertsValue[] = L"tamrelmsgwiz";
// Writes the full path of this library under the experts key (made when missing); answers the
// failure as an HRESULT.
HRESULT RegisterExpertLibrary();
// Deletes the value; a missing key or value is no failure, and no key is made.
HRESULT UnregisterExpertLibrary();

} // namespace tamrel::evlog
