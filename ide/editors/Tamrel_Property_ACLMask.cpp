#include "ide/editors/Tamrel_Property_ACLMask.h"

namespace tamrel {

void Tamrel_Property_ACLMask_DoRegister() {}

} // namespace tamrel
