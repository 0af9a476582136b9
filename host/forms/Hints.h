// Hints as tooltips: one tooltip window per form (or other top-level control) that shows the Hint
// of each control inside it whose hint is shown (its own ShowHint, or the top-level control's)
// when the pointer rests on it.
#pragma once

#include "host/Api.h"
#include "host/forms/Controls.h"

namespace tamrel {

// Makes (or refreshes, after hints changed) the tooltips of Root's controls; answers the tooltip
// window, which Root's window owns and takes with it.
TAMREL_API HWND ShowControlHints(TWinControl* root);

} // namespace tamrel
