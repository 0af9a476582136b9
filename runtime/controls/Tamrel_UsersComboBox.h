// The accounts, groups and well-known principals of one computer or domain in an owner-drawn
// combo box, each with the glyph of its kind (the members: Tamrel_UsersPicker.h).
#pragma once

#include "runtime/controls/Tamrel_ComboBox.h"
#include "runtime/controls/Tamrel_UsersPicker.h"

namespace tamrel {

extern template class TAMREL_API TrkCustomUsersPicker<TrkCustomComboBox>;

class TAMREL_API TrkUsersComboBox : public TrkCustomUsersPicker<TrkCustomComboBox> {
    TAMREL_CLASS(TrkUsersComboBox, TrkCustomUsersPicker<TrkCustomComboBox>)
public:
    explicit TrkUsersComboBox(TComponent* AOwner);
};

} // namespace tamrel
