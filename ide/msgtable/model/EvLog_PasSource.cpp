#include "ide/msgtable/model/EvLog_PasSource.h"

#include <string_view>
#include <vector>

namespace tamrel::evlog {

TAMREL_IMPLEMENT_CLASS(TPasSourceModule) {}

namespace {

std::vector<std::wstring> Lines(std::wstring_view text) {
    std::vector<std::wstring> lines;
    size_t i = 0;
    while (i < text.size()) {
        const size_t start = i;
        while (i < text.size() && text[i] != L'\r' && text[i] != L'\n') ++i;
        lines.emplace_back(text.substr(start, i - start));
        if (i < text.size() && text[i] == L'\r') ++i;
        if (i < text.size() && text[i] == L'\n') ++i;
    }
    return lines;
}

// A text our templates put between single quotes.
std::string Literal(const std::wstring& text) {
    std::wstring doubled;
    for (wchar_t c : text) {
        doubled.push_back(c);
        if (c == L'\'') doubled.push_back(c);
    }
    return WideToAnsi(doubled);
}

std::wstring Constants(const TMessageBlock& block) {
    std::wstring text;
    for (int i = 0; i < block.Count(); ++i) text += MessageConstant(block, i);
    return text;
}

} // namespace

std::wstring MessageConstant(const TMessageBlock& block, int index) {
    std::wstring name = block.Names(index);
    if (!SymbolNameError(name).empty()) name = block.DefaultName(index);
    if (!SymbolNameError(name).empty())
        name = DefaultMessageName(L"Block_" + IntToHex(block.LowId(), 4), block.LowId() + index);
    const std::wstring constant = L"const " + name + L" = $" + IntToHex(block.LowId() + index, 2) + L";";
    const std::vector<std::wstring> comment = Lines(block.Comments(index));
    if (comment.size() < 2) return constant + L" // " + (comment.empty() ? L"" : comment[0]) + L"\r\n";
    std::wstring text;
    for (const std::wstring& line : comment) text += L"// " + line + L"\r\n";
    return text + constant + L"\r\n";
}

TWQMacroText* TPasSourceModule::Template(const wchar_t* name) const {
    auto* engine = dynamic_cast<TWQMacroText*>(FindComponent(name));
    if (!engine) throw Exception(L"The source template %s is missing", name);
    return engine;
}

std::wstring TPasSourceModule::PasSource(TEvLogDocument& document) {
    FDocument = &document;
    std::wstring categories;
    if (document.UseCategories())
        categories = L"// Event categories\r\n\r\n" + Constants(*document.CategoriesBlock()) + L"\r\n";
    std::wstring messages;
    TMessageTable& table = document.MessageTable();
    for (int b = 0; b < table.BlockCount(); ++b) {
        TMessageBlock* block = table.Blocks(b);
        if (!(document.UseCategories() && block->LowId() == 1)) messages += Constants(*block);
    }
    if (!messages.empty()) messages = L"// Event messages\r\n\r\n" + messages;

    TWQMacroText* interfaces = txtPasMethodInterfaces();
    interfaces->SkipParts()->Clear();
    if (!document.UseCategories()) interfaces->SkipParts()->Add(L"SkipCategory");
    TWQMacroText* implementations = txtPasMethodImplementations();
    implementations->SkipParts()->Clear();
    implementations->SkipParts()->Add(document.UseCategories() ? L"SkipHasCategory" : L"SkipCategory");

    TWQMacroText* unit = txtPasSource();
    const std::pair<const wchar_t*, std::string> values[] = {
        {L"UnitName", WideToAnsi(ChangeFileExt(ExtractFileName(document.FileName()), L""))},
        {L"EventSourceName", Literal(document.EventSource())},
        {L"CategoryConstants", WideToAnsi(categories)},
        {L"MessageConstants", WideToAnsi(messages)},
        {L"Journal", WideToAnsi(EventLogName(document.EventType()))},
        {L"EventSource", Literal(document.EventSource())},
        {L"MethodInterfaces", WideToAnsi(interfaces->ResultText()->Text())},
        {L"MethodImplementations", WideToAnsi(implementations->ResultText()->Text())}};
    for (const auto& [name, value] : values) unit->ParamByName(name)->Value = value;
    return unit->ResultText()->Text();
}

} // namespace tamrel::evlog
