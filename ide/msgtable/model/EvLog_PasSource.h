// The generator of a document's source unit: the constants of its message and category ids and
// the method that reports events to its event source, from three source templates that the
// module's stored form carries. No message may be named like a word the templates use
// (SymbolNameError of EvLog_Common lists them): a template that names another identifier at the
// unit's level adds it there.
#pragma once

#include "host/Classes.h"
#include "ide/framework/Dev_WQ_MacroText.h"
#include "ide/msgtable/model/EvLog_Document.h"

#include <string>

namespace tamrel::evlog {

class TPasSourceModule : public TDataModule {
    TAMREL_CLASS(TPasSourceModule, TDataModule)
public:
    explicit TPasSourceModule(TComponent* owner) : TDataModule(owner) {}

    // The unit text of the document, every line ended by CR LF.
    std::wstring PasSource(TEvLogDocument& document);

    // The templates: the whole unit, and the declarations and bodies of the reporting method.
    TWQMacroText* txtPasSource() const { return Template(L"txtPasSource"); }
    TWQMacroText* txtPasMethodInterfaces() const { return Template(L"txtPasMethodInterfaces"); }
    TWQMacroText* txtPasMethodImplementations() const { return Template(L"txtPasMethodImplementations"); }

private:
    // Raises when the stored form did not bring the template.
    TWQMacroText* Template(const wchar_t* name) const;

    TEvLogDocument* FDocument = nullptr;
};

// The constant lines of one message: "const Name = $Id; // comment", or the comment's lines
// first when it has several. A name the unit cannot declare (SymbolNameError: no identifier, a
// reserved word, a name of the unit's own) is replaced by the default name, and a default name
// made of an unusable prefix by "Block_" + LowId.
std::wstring MessageConstant(const TMessageBlock& block, int index);

} // namespace tamrel::evlog
