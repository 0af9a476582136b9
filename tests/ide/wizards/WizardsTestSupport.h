// The environment stand-in with the service wizards started as the design-time package starts
// them (the probe package of programs/), in a work folder whose name has a blank (or the name a
// test gives it); the tools
// library's and the importer's log for the scope; answering the wizards' new-class dialog as a
// user does.
#pragma once

#include "tests/ide/wizards/TypeLibraryTestSupport.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tamrel {
class TWinControl;
}

namespace tamrel::test {

class TWizardsIde {
public:
    struct TOptions {
        bool AppBuilder = true;
        bool ProposeClassNames = true;
        // The probe package without its finalization: the add-in library is freed without it.
        bool NoFinalize = false;
        // The start of the work folder's name (a number follows).
        std::wstring FolderName = L"wizards work ";
    };
    TWizardsIde();
    explicit TWizardsIde(TOptions options);
    // Unloads the package, then the environment goes.
    ~TWizardsIde();

    TIdeHost& Host() { return *FHost; }
    const std::wstring& Package() const { return FPackage; }
    bool Loaded() const { return FLoaded; }
    // The work folder.
    const std::wstring& Folder() const;
    // What the tools library and the importer were asked, one line each.
    std::vector<std::string> ToolsLog() const;
    // Runs the wizard; fails the test when something came out of it.
    void Run(const std::wstring& wizard);
    // A new service application project made by its wizard; its file name.
    std::wstring NewProject();
    // The files of the work folder, sorted, without the tools log.
    std::vector<std::wstring> Files() const;

private:
    std::unique_ptr<TIdeHost> FHost;
    std::wstring FPackage;
    std::wstring FLog;
    bool FLoaded = false;
};

// How the new-class dialog is answered.
struct TClassAnswer {
    std::wstring ClassName;
    std::wstring ServiceName;
    // "Nothing special", "apartment", "singleton": the radio button to check.
    std::wstring Factory = L"RBnOrdinary";
    bool Events = false;
    bool Cancel = false;
};

// Answers the dialog of that caption with the given answer: the edits filled, the radio button
// and the check box set, then OK (or Cancel) pressed as a user presses it.
void AnswerClassDialog(TIdeHost& host, const std::wstring& caption, const TClassAnswer& answer);
// A component of a form by name, of the expected class (the test fails otherwise).
template <class T> T* Control(TComponent* form, const wchar_t* name) {
    auto* found = dynamic_cast<T*>(form ? form->FindComponent(name) : nullptr);
    EXPECT_NE(nullptr, found) << "no " << testing::PrintToString(std::wstring(name));
    return found;
}
// Presses a push button as a user does (BM_CLICK) and serves what it caused.
void Press(TWinControl* button);


// The identifiers of 8-bit Pascal source, as the tokenizer sees them; Declared: only those
// followed (blanks and comments aside) by "=" or ":".
std::vector<std::string> PasIdentifiers(const std::string& source, bool declared = false);
// A hand-written expected text carried by the test program (RCDATA of that name), its lines
// ended by CR LF.
std::string ExpectedText(const wchar_t* name);

// The text with every GUID in braces made {00000000-0000-0000-0000-000000000000}, as the
// expected units of the importer write them.
std::string WithoutGuids(const std::string& text);

// A text quoted as the environment's records quote it.
std::wstring ToQuoted(const std::wstring& text);

// The recorded calls of an area, as "CALL field=value ..." lines, in order.
std::vector<std::wstring> Calls(const TIdeHost& host, const std::wstring& area);

} // namespace tamrel::test
