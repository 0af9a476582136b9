#include "ide/msgtable/model/CoreBridge.h"

namespace tamrel::evlog {

std::u16string SystemAnsiToUtf16(std::string_view text) { return ToU16(AnsiToWide(text)); }

msgcore::ResourceId ToCoreId(const TResIdText& id) {
    return id.IsString() ? msgcore::ResourceId::String(ToU16(id.Text())) : msgcore::ResourceId::Number(id.ID());
}

void AssignCoreId(TResIdText& id, const msgcore::ResourceId& source) {
    if (source.IsString) id.SetText(ToWide(source.Name));
    else id.SetID(source.Id);
}

} // namespace tamrel::evlog
