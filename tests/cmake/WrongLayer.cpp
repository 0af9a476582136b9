// Not compiled: the unit that the layer-check test hands to cmake/CheckLayers.cmake as one of the
// security layer's. The first include is of a layer that security stands on; the next two reach
// the service layer, which it does not link, once from the root and once by a relative path.
#include "host/Classes.h"
#include "runtime/service/Tamrel_NTService.h"
#include "../../runtime/service/Tamrel_WinSvc.h"
