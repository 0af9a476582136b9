// .ELP text rules on UTF-16 input: escaping and quoting are undone exactly by their readers, a
// value written as a line reads back whole, and any line goes into a section without harm.
#include "ide/msgtable/model/core/ElpText.h"

#include <cstdlib>

using namespace tamrel::msgcore;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    if (UnescapeElpText(text).size() > text.size()) std::abort();
    if (UnescapeElpText(EscapeElpText(text)) != text) std::abort();
    if (IniValue(IniQuote(text)) != text) std::abort();

    IniSection written;
    written.AddLine(u" Key = " + IniQuote(EscapeElpText(text)));
    const std::u16string* value = written.Find(u"KEY");
    if (!value || UnescapeElpText(*value) != text) std::abort();

    IniSection any;
    any.AddLine(text);
    for (const std::u16string& key : any.Keys()) any.Value(key);
    return 0;
}
