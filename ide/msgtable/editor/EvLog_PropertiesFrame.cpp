#include "ide/msgtable/editor/EvLog_PropertiesFrame.h"

namespace tamrel::evlog {

TAMREL_IMPLEMENT_CLASS(TPropertiesFrame) {}

TPropertiesFrame::TPropertiesFrame(TComponent* owner) : TFrame(owner) {}

void TPropertiesFrame::SetDocument(TEvLogDocument* value) { _Document = value; }

} // namespace tamrel::evlog
