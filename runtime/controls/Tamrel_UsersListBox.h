// The accounts, groups and well-known principals of one computer or domain in an owner-drawn
// list box, each with the glyph of its kind (the members: Tamrel_UsersPicker.h).
#pragma once

#include "runtime/controls/Tamrel_ListBox.h"
#include "runtime/controls/Tamrel_UsersPicker.h"

namespace tamrel {

extern template class TAMREL_API TrkCustomUsersPicker<TrkCustomListBox>;

class TAMREL_API TrkUsersListBox : public TrkCustomUsersPicker<TrkCustomListBox> {
    TAMREL_CLASS(TrkUsersListBox, TrkCustomUsersPicker<TrkCustomListBox>)
public:
    explicit TrkUsersListBox(TComponent* AOwner);
};

} // namespace tamrel
