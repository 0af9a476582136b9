#include "runtime/controls/Tamrel_UsersComboBox.h"

#include "runtime/controls/internal/Tamrel_UsersPickerInternal.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TrkUsersComboBox) {
    DescribeUsersPicker(b);
}

TrkUsersComboBox::TrkUsersComboBox(TComponent* AOwner) : TrkCustomUsersPicker(AOwner, false) {}

} // namespace tamrel
