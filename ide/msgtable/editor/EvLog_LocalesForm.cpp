#include "ide/msgtable/editor/EvLog_LocalesForm.h"

namespace tamrel::evlog {

bool SelectLocales(std::vector<uint32_t>&) { return false; }

} // namespace tamrel::evlog
