// Fuzz target: template expansion and the parameter scan never fail, never read outside the
// text, and produce no more than the text and the substituted values hold.
//
// Input: the parts to leave out (comma-separated) up to the first NUL byte, the template after
// it; without a NUL byte the whole input is the template and part "P" is left out.
#include "ide/framework/Dev_WQ_MacroTextCore.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace tamrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> skip{"P"};
    std::string_view text = input;
    if (const size_t nul = input.find('\0'); nul != std::string_view::npos) {
        skip.clear();
        std::string_view list = input.substr(0, nul);
        for (size_t comma; (comma = list.find(',')) != std::string_view::npos; list.remove_prefix(comma + 1))
            skip.emplace_back(list.substr(0, comma));
        skip.emplace_back(list);
        text = input.substr(nul + 1);
    }
    auto inside = [&text](std::string_view piece) {
        return piece.data() >= text.data() && piece.data() + piece.size() <= text.data() + text.size();
    };

    size_t valueBytes = 0;
    const std::string out = ExpandTemplate(
        text,
        [&](std::string_view part) {
            if (!inside(part)) std::abort();
            return std::find(skip.begin(), skip.end(), part) != skip.end();
        },
        [&](std::string_view name) {
            if (!inside(name)) std::abort();
            std::string value = "<" + std::string(name) + ">";
            valueBytes += value.size();
            return value;
        });
    if (out.size() > text.size() + valueBytes) std::abort();

    ScanTemplateParams(text, [&](std::string_view name) {
        if (!inside(name) || name.find('~') != std::string_view::npos) std::abort();
    });
    return 0;
}
