// Pictures of shown controls, as the screen has them: for tests that check what was drawn.
#pragma once

#include "host/Api.h"

#include "host/forms/Controls.h"

#include <memory>

namespace tamrel {

// The control's client area (or its whole window, frame included) as a 24-bit bitmap, after
// pending painting was done. The control must be shown and on the screen: a window never shown
// captures blank.
TAMREL_API std::unique_ptr<TBitmap> CaptureControl(TWinControl* control, bool wholeWindow = false);

} // namespace tamrel
