#include "runtime/controls/Tamrel_SidSourceComboBox.h"

#include "runtime/controls/internal/Tamrel_AccountSourceInternal.h"

#include <mutex>

namespace tamrel {

namespace {
struct TSourceGlyphs {
    std::unique_ptr<TBitmap> Computer = detail::LoadLibraryBitmap(L"SID_SOURCE_COMPUTER");
    std::unique_ptr<TBitmap> Domain = detail::LoadLibraryBitmap(L"SID_SOURCE_DOMAIN");
};
TSourceGlyphs& SourceGlyphs() {
    static TSourceGlyphs glyphs;
    return glyphs;
}
} // namespace

void LoadSidSourceGlyphs() { SourceGlyphs(); }

TAMREL_IMPLEMENT_CLASS(TrkSidSourceComboBox) {}

TrkSidSourceComboBox::TrkSidSourceComboBox(TComponent* AOwner) : TrkCustomComboBox(AOwner) { LoadSidSourceGlyphs(); }

TrkSidSourceComboBox::~TrkSidSourceComboBox() = default;

Tamrel_SidSourceComboBox::TrkSidSource* TrkSidSourceComboBox::SidSources(int Index) const {
    if (Index < 0 || Index >= Count()) throw EListError(SListIndexError, Index);
    return FSources[static_cast<size_t>(Index)].get();
}

void TrkSidSourceComboBox::Clear() { FSources.clear(); }

void TrkSidSourceComboBox::SetParent(TWinControl* AParent) {
    TrkCustomComboBox::SetParent(AParent);
    Refresh();
}

void TrkSidSourceComboBox::Loaded() {
    TrkCustomComboBox::Loaded();
    Refresh();
}

void TrkSidSourceComboBox::Refresh() {
    if (!Parent()) return;
    if (ComponentState().Contains(csDestroying) || ComponentState().Contains(csLoading)) return;
    Clear();
    const auto& src = AccountSource();
    // The computer: a name of up to 15 characters and its terminator; empty when the call fails.
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!src.GetComputerNameW(computer, &size)) computer[0] = L'\0';
    FSources.push_back(std::make_unique<Tamrel_SidSourceComboBox::TrkSidSource>(L"", computer, 0));

    DWORD resume = 0;
    DWORD preferred = 4096;
    for (;;) {
        LPBYTE buffer = nullptr;
        DWORD read = 0, total = 0;
        NET_API_STATUS status =
            src.NetServerEnum(nullptr, 100, &buffer, preferred, &read, &total, SV_TYPE_DOMAIN_ENUM, nullptr, &resume);
        TScopeExit release([&src, buffer] {
            if (buffer) src.NetApiBufferFree(buffer);
        });
        // No browser on the network: there are no domains to offer.
        if (status == ERROR_NO_BROWSER_SERVERS_FOUND) break;
        if (status != NERR_Success && status != ERROR_MORE_DATA) RaiseLastOSError(status);
        if (!buffer) read = 0;
        auto* servers = reinterpret_cast<SERVER_INFO_100*>(buffer);
        for (DWORD i = 0; i < read; ++i) {
            std::wstring domain = servers[i].sv100_name ? servers[i].sv100_name : L"";
            LPBYTE dc = nullptr;
            if (src.NetGetAnyDCName(nullptr, domain.c_str(), &dc) == NERR_Success && dc) {
                std::wstring name = reinterpret_cast<const wchar_t*>(dc);
                src.NetApiBufferFree(dc);
                FSources.push_back(std::make_unique<Tamrel_SidSourceComboBox::TrkSidSource>(name.size() > 2 ? name.substr(2) : L"", domain, 1));
            }
        }
        if (status == NERR_Success) break;
        if (read == 0) {
            if (preferred == MAX_PREFERRED_LENGTH) RaiseLastOSError(status);
            preferred = preferred >= 0x80000000u ? MAX_PREFERRED_LENGTH : preferred * 2;
        }
    }
    Changed(-1);
}

int TrkSidSourceComboBox::GetImageIndex(int Index) {
    if (Index < 0 || Index >= Count()) return -1;
    return FSources[static_cast<size_t>(Index)]->ImageIndex();
}

std::wstring TrkSidSourceComboBox::GetStrings(int Index) {
    if (Index < 0 || Index >= Count()) return std::wstring();
    return FSources[static_cast<size_t>(Index)]->DisplayName();
}

void TrkSidSourceComboBox::DrawGlyph(RECT Rect, int Index) {
    switch (GetImageIndex(Index)) {
    case 0: detail::DrawTransparentGlyph(Canvas(), Rect, SourceGlyphs().Computer.get()); break;
    case 1: detail::DrawTransparentGlyph(Canvas(), Rect, SourceGlyphs().Domain.get()); break;
    default: break;
    }
}

} // namespace tamrel
