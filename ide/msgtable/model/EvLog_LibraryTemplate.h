// Where the message-library builder takes its template DLL from. By default the RCDATA resource
// "ELTELIB" of the module that holds the model's code (the add-in); tests give other bytes.
// Internal to the model library.
#pragma once

#include <cstdint>
#include <vector>

namespace tamrel::evlog {

using TLibraryTemplateSource = std::vector<uint8_t> (*)();

// Answers the source in place before; nullptr puts the default back.
TLibraryTemplateSource SetLibraryTemplateSource(TLibraryTemplateSource source);

} // namespace tamrel::evlog
