// The open and save dialogs as components: a file name, a filter, a default extension and
// options in, the chosen name out. They show the system's dialogs through ShowFileDialog
// (host/FileDialog.h), so tests replace them as a whole or drive them under the modal hook.
#pragma once

#include "host/Api.h"
#include "host/Classes.h"

#include <windows.h>
#include <commdlg.h>

#include <string>

namespace tamrel {

// One option per OFN_ flag of a single-file dialog. ofReadOnly is also the state of the dialog's
// read-only box after Execute; ofExtensionDifferent is only an answer (the name chosen does not
// end in DefaultExt).
TAMREL_ENUM(TOpenOption, ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofNoValidate,
            ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
            ofNoTestFileCreate, ofNoNetworkButton, ofNoDereferenceLinks, ofEnableSizing);
using TOpenOptions = TSet<TOpenOption>;

// The OFN_ flags of the options.
TAMREL_API DWORD OpenOptionsToFlags(TOpenOptions Options);

class TAMREL_API TOpenDialog : public TComponent {
    TAMREL_CLASS(TOpenDialog, TComponent)
public:
    explicit TOpenDialog(TComponent* AOwner);

    // The name the dialog starts with, and the one chosen.
    const std::wstring& FileName() const { return FFileName; }
    void SetFileName(const std::wstring& Value) { FFileName = Value; }
    // Pairs of description and patterns, all separated by '|': "Text (*.txt)|*.txt|All|*.*".
    const std::wstring& Filter() const { return FFilter; }
    void SetFilter(const std::wstring& Value) { FFilter = Value; }
    // The filter pair shown, from 1; the one chosen after Execute.
    int32_t FilterIndex() const { return FFilterIndex; }
    void SetFilterIndex(int32_t Value) { FFilterIndex = Value; }
    // Added to a name typed without an extension (without the dot).
    const std::wstring& DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const std::wstring& Value) { FDefaultExt = Value; }
    const std::wstring& InitialDir() const { return FInitialDir; }
    void SetInitialDir(const std::wstring& Value) { FInitialDir = Value; }
    // The dialog's caption; empty: the system's.
    const std::wstring& Title() const { return FTitle; }
    void SetTitle(const std::wstring& Value) { FTitle = Value; }
    TOpenOptions Options() const { return FOptions; }
    void SetOptions(TOpenOptions Value) { FOptions = Value; }

    // Shows the dialog; true when the user chose a name (FileName, FilterIndex and the answer
    // options are then updated; otherwise nothing changes).
    virtual bool Execute();

protected:
    bool DoExecute(bool Save);

private:
    std::wstring FFileName;
    std::wstring FFilter;
    int32_t FFilterIndex = 1;
    std::wstring FDefaultExt;
    std::wstring FInitialDir;
    std::wstring FTitle;
    TOpenOptions FOptions = {ofHideReadOnly, ofEnableSizing};
};

class TAMREL_API TSaveDialog : public TOpenDialog {
    TAMREL_CLASS(TSaveDialog, TOpenDialog)
public:
    explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}
    bool Execute() override;
};

} // namespace tamrel
