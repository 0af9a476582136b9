// Registration of an add-in's wizards with the environment's wizard services.
#pragma once

#include "ide/framework/IdeServices.h"

#include <cstdint>

namespace tamrel {

// Adds the wizard and keeps the index it got in Index; false (Index untouched) without an
// environment or without a wizard.
bool RegisterWizard(IOTAWizard* wizard, uint32_t& index);
// Removes the wizard registered under Index; nothing without an environment.
void UnregisterWizard(uint32_t index);

} // namespace tamrel
