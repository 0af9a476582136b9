#include "tests/host/forms/programs/FormLib.h"

#include "host/forms/StdCtrls.h"

namespace tamrel {
TAMREL_IMPLEMENT_CLASS(TLibForm) { b.Field(L"CloseButton", &TLibForm::CloseButton); }
} // namespace tamrel

extern "C" tamrel::TLibForm* CreateLibForm() { return tamrel::Create<tamrel::TLibForm>(nullptr); }
