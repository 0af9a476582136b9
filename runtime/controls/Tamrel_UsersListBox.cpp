#include "runtime/controls/Tamrel_UsersListBox.h"

#include "runtime/controls/internal/Tamrel_UsersPickerInternal.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TrkUsersListBox) {
    DescribeUsersPicker(b);
}

TrkUsersListBox::TrkUsersListBox(TComponent* AOwner) : TrkCustomUsersPicker(AOwner, true) {}

} // namespace tamrel
