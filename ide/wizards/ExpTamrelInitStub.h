// The add-in entry of tamrelwiz: the design-time package calls it once per load, at the end of
// its registration.
#pragma once

#include "ide/editors/EditorsApi.h"

extern "C" TAMRELWIZ_API void InitTamrelExperts();
