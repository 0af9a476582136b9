// Internal to the secret center and its tests: the registry store kept on systems without an
// LSA. A stored secret is a record of bytes (random fill, the value's offsets scattered over the
// first eight bytes, the value's low bytes), scrambled with a 32-byte key and written as
// hexadecimal text, low digit first. The key itself is the store key's default value.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tamrel::detail {

inline constexpr wchar_t SecretStoreKeyPath[] = L"Software\\Dunmere\\Tamrel\\Storage";

using TSecretKey = std::array<uint8_t, 32>;

// A number 0 .. Range - 1 from the process-wide generator.
uint32_t SecretRandom(uint32_t Range);

// The key of the text: byte i = digit (2i + 1) x 16 + digit 2i. The text holds 64 digits;
// a non-hexadecimal digit raises EConvertError.
TSecretKey SecretKeyFromText(std::wstring_view text);
// A new key text: 16 groups of 4 upper-case hexadecimal digits, each group a random 0..65534.
std::wstring NewSecretKeyText();

// The stored text of Value (each character's low byte): 2 x record length characters.
std::wstring EncodeStoredSecret(std::wstring_view Value, const TSecretKey& Key);
// The value a stored text holds. False (and Value empty) when the record's offsets point
// outside the record; a non-hexadecimal digit raises EConvertError.
bool DecodeStoredSecret(std::wstring_view Text, const TSecretKey& Key, std::wstring& Value);

// The store key of this process: read from the registry on first use (and made there when the
// stored text is not exactly 64 characters long).
TSecretKey SecretStoreKey();
// Reads the store key from the registry again, as the first use does.
void ReloadSecretStoreKey();

} // namespace tamrel::detail
