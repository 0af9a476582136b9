// Internal to the service wizards: filling a template engine and reading its expansion.
#pragma once

#include "host/SysUtils.h"
#include "ide/framework/Dev_WQ_MacroText.h"

#include <initializer_list>
#include <string>
#include <utility>

namespace tamrel {

using TTemplateValues = std::initializer_list<std::pair<const wchar_t*, std::wstring>>;

// Sets the named parameters (texts go to the template in the system's ANSI code page).
inline void FillTemplate(TWQMacroText& engine, TTemplateValues values) {
    for (const auto& [name, value] : values)
        engine.ParamByName(name)->Value = WideToAnsi(value);
}

// The expansion as one text, each line ended by CR LF.
inline std::wstring ExpandedTemplate(TWQMacroText& engine) {
    return engine.ResultText()->Text();
}

// Line Index of the expansion; empty when it has fewer lines.
inline std::wstring ExpandedLine(TWQMacroText& engine, int index) {
    TStrings* lines = engine.ResultText();
    return index < lines->Count() ? lines->Strings(index) : std::wstring();
}

// The file's name without folder and extension.
inline std::wstring BareFileName(const std::wstring& fileName) {
    return ChangeFileExt(ExtractFileName(fileName), L"");
}

} // namespace tamrel
