// Automatic dragging between controls: the source captures the mouse once a drag begins; each
// move asks the control under the pointer whether it takes the drop (its drag-over event), and
// releasing the left button over a control that takes it drops there. Esc, the right button or a
// lost capture ends the drag without a drop.
//
// A control takes part as a target by implementing TDragTarget; a source starts the drag with
// BeginAutoDrag and hands its mouse and key messages to HandleDragMessage while it runs.
#pragma once

#include "host/Api.h"
#include "host/forms/Controls.h"

namespace tamrel {

TAMREL_ENUM(TDragState, dsDragEnter, dsDragLeave, dsDragMove);
TAMREL_ENUM(TDragMode, dmManual, dmAutomatic);

using TDragOverEvent =
    TMethod<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = TMethod<void(TObject* Sender, TObject* Source, int X, int Y)>;

// Coordinates are the target's client coordinates.
class TAMREL_API TDragTarget {
public:
    virtual ~TDragTarget() = default;
    virtual bool DragOver(TObject* source, int x, int y, TDragState state) = 0;
    virtual void DragDrop(TObject* source, int x, int y) = 0;
};

// Starts dragging Source; the mouse stays captured by Source's window until the drag ends.
TAMREL_API void BeginAutoDrag(TWinControl* source);
// Whether Source is being dragged.
TAMREL_API bool Dragging(const TWinControl* source);
// Source's window procedure calls this first while it is dragged; true: the message is handled.
TAMREL_API bool HandleDragMessage(TWinControl* source, TMessage& message);

} // namespace tamrel
