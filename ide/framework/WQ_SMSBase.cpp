#include "ide/framework/WQ_SMSBase.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TWQSMSBase) {}

} // namespace tamrel
