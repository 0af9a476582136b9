// The environment stand-in with the property editors of the add-in library registered, a
// designer on a service module, and what the designer was told.
#pragma once

#include "tools/devenv/tamrelide/TamrelIde.h"

#include <memory>
#include <string>
#include <vector>

namespace tamrel {
class TControl;
}

namespace tamrel::test {

class TEditorsDesign {
public:
    // Registers the service module classes by name and the editors, then opens a designer whose
    // root is a RootClass.
    explicit TEditorsDesign(const std::wstring& rootClass);
    ~TEditorsDesign();
    TIdeHost& Host() { return *FHost; }
    const std::wstring& File() const { return FFile; }
    TComponent* Root() const;
    TInspectorCall Inspect(TInspectorOp op, const std::wstring& property, const std::wstring& value = {});
    // The values the designer was told of (Modified), in order.
    std::vector<std::wstring> ModifiedValues() const;

private:
    std::unique_ptr<TIdeHost> FHost;
    std::wstring FFile;
};

// Presses a button of a form as a user does (a push button with BM_CLICK, a speed button with a
// left click at its centre) and serves what it caused.
void ClickButton(TControl* button);

} // namespace tamrel::test
