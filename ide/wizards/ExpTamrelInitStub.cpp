#include "ide/wizards/ExpTamrelInitStub.h"

extern "C" void InitTamrelExperts() {}
