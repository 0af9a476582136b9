// The environment's design-time services: what packages register (palette components, custom
// modules, classes, property editors), with the library each registration came from so that
// unloading the library forgets it; the fault switch; the object inspector.
#pragma once

#include "ide/framework/DesignEditors.h"
#include "tools/devenv/tamrelide/IdeState.h"

#include <memory>
#include <string>
#include <vector>

namespace tamrel {

struct TEditorRegistration {
    TPropertyType Type;
    const TClassInfo* ComponentClass = nullptr;
    std::wstring PropertyName;
    TPropertyEditorClass Editor;
    HMODULE Library = nullptr; // the image of the editor's code
};

struct TDesignState {
    // The library whose Register or INITWIZARD0001 runs now; null otherwise.
    HMODULE Registering = nullptr;
    std::wstring RegisteringPath;
    std::vector<TEditorRegistration> Editors;
    // The classes a library registered by name while it registered, by library.
    std::vector<std::pair<HMODULE, const TClassInfo*>> Classes;
    // Which library added each palette entry and custom module (parallel to the host's lists).
    std::vector<HMODULE> PaletteLibraries;
    std::vector<HMODULE> CustomModuleLibraries;
    // The fault switch: the registration call (component, class, custommodule, propertyeditor)
    // and the name (class or property) that makes it raise.
    std::wstring FailCall, FailName;
};

// Made with the environment; installs the host's registration procedures while it lives.
std::shared_ptr<TDesignState> NewDesignState();
void ReleaseDesignState(TDesignState& state);
// Unloading: the registrations a library made are forgotten.
void ForgetRegistrations(TIdeHostImpl& host, HMODULE library);
// Raises when the fault switch names this call (after recording it as refused).
void CheckFaultSwitch(TIdeHostImpl& host, const wchar_t* call, const std::wstring& name,
                      std::initializer_list<TIdeField> fields);

// The text form of a property's value: numbers, True/False, value names, strings as they are, a
// string list as its comma text, another object as its class name in parentheses.
std::wstring PropertyText(TObject* instance, const TPropInfo& prop);

// Where a code address lies: the module, or null.
HMODULE ModuleOfAddress(const void* address);

} // namespace tamrel

namespace tamrel {

// What an editor made by the inspector works on; the inspector attaches it before each call.
class TPropertyEditorContext {
public:
    THostLink Host;
    std::wstring File;  // the designer's unit
    std::wstring Path;  // the inspected object in the designer
    std::vector<TPersistent*> Objects;
    const TPropInfo* Prop = nullptr;
    std::wstring EditorName;

    static void Attach(TPropertyEditor& editor, std::shared_ptr<TPropertyEditorContext> context) {
        editor.FContext = std::move(context);
    }
    // Recorded with the property's value at this moment.
    void Modified();
};

} // namespace tamrel
