// Fuzz target: reading a stored template never fails other than with a read error; a block that
// reads writes back to the same bytes; unscrambling undoes scrambling for any key and text.
#include "ide/framework/Dev_WQ_MacroTextCore.h"
#include "tests/support/CoreErrors.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace tamrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input as a stored block.
    try {
        const TStoredTemplate stored = ReadStoredBlock(data, size);
        if (WriteStoredBlock(stored.Key, stored.Text) != std::vector<uint8_t>(data, data + size)) std::abort();
    } catch (const TCoreReadError& e) {
        if (!IsCoreReadError(e)) std::abort();
    }

    // The input as a key (up to the first NUL byte) and a text.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    const std::string_view key = input.substr(0, nul);
    const std::string_view text = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
    if (ScrambleKey(ScrambleKey(key)) != key || ScrambleText(ScrambleText(text, key), key) != text) std::abort();
    const std::vector<uint8_t> block = WriteStoredBlock(key, text);
    const TStoredTemplate back = ReadStoredBlock(block.data(), block.size());
    if (back.Key != key || back.Text != text) std::abort();
    const TStoredTemplate older = ReadStoredStrings({ScrambleKey(key), ScrambleText(text, key)});
    if (older.Key != key || older.Text != text) std::abort();
    return 0;
}
