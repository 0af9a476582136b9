// The dialog in which the locales a document uses are chosen from all locales the system knows.
#pragma once

#include <cstdint>
#include <vector>

namespace tamrel::evlog {

// Checks the locales of the list in the dialog and shows it; on OK the list holds the checked
// locales in the dialog's order and the result is true. Cancel leaves the list as it was.
bool SelectLocales(std::vector<uint32_t>& locales);

} // namespace tamrel::evlog
