// The design-time editors of the DACL and SACL masks of a security descriptor dialog.
#pragma once

#include "ide/editors/EditorsApi.h"

namespace tamrel {

// Registers the DACL and SACL mask editors with the environment.
TAMRELWIZ_API void Tamrel_Property_ACLMask_DoRegister();

} // namespace tamrel
