// The host application as add-ins find it: its component "AppBuilder" (the environment's main
// window) with the menu item "HelpMenu", where add-ins append items of their own.
#include "tools/devenv/tamrelide/IdeState.h"

#include "host/HostApplication.h"
#include "host/SysUtils.h"

namespace tamrel {

namespace {

// Whether code lies in an image that is still loaded.
bool CodeLoaded(const void* code) {
    HMODULE module = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(code), &module) != 0;
}

void Leftovers(const TMenuItem& parent, std::vector<TMenuItem*>& found) {
    for (int i = 0; i < parent.Count(); ++i) {
        TMenuItem* item = parent.Items(i);
        if (item->OnClick() && !CodeLoaded(item->OnClick().Raw().Code)) found.push_back(item);
        else Leftovers(*item, found);
    }
}

} // namespace

void TIdeHostImpl::MakeAppBuilder() {
    if (!Options.AppBuilder) return;
    // A leftover of an environment that ended without its clean-up would answer the look-up first.
    if (TComponent* old = HostApplication->FindComponent(L"AppBuilder")) Free(old);
    AppBuilder = new TComponent(HostApplication.Get());
    AppBuilder->SetName(L"AppBuilder");
    auto* help = new TMenuItem(AppBuilder);
    help->SetName(L"HelpMenu");
    help->SetCaption(L"&Help");
}

void TIdeHostImpl::FreeAppBuilder() {
    if (AppBuilder) Free(std::exchange(AppBuilder, nullptr));
}

TMenuItem* TIdeHostImpl::HelpMenu() const {
    return AppBuilder ? dynamic_cast<TMenuItem*>(AppBuilder->FindComponent(L"HelpMenu")) : nullptr;
}

void TIdeHostImpl::RemoveMenuLeftovers(const std::wstring& path) {
    TMenuItem* help = HelpMenu();
    if (!help) return;
    std::vector<TMenuItem*> found;
    Leftovers(*help, found);
    for (TMenuItem* item : found) {
        Record(L"addin", L"leftover",
               {TextField(L"path", path), TextField(L"kind", L"menu item"), TextField(L"caption", item->Caption())}, L"fault");
        Free(item);
    }
}

std::vector<std::wstring> TIdeHost::HelpMenuItems() const {
    std::vector<std::wstring> captions;
    if (TMenuItem* help = FImpl->HelpMenu())
        for (int i = 0; i < help->Count(); ++i) captions.push_back(help->Items(i)->Caption());
    return captions;
}

bool TIdeHost::ClickHelpMenuItem(const std::wstring& caption) {
    TMenuItem* help = FImpl->HelpMenu();
    for (int i = 0; help && i < help->Count(); ++i)
        if (help->Items(i)->Caption() == caption) {
            FImpl->Record(L"menu", L"click", {TextField(L"caption", caption)}, L"ok");
            help->Items(i)->Click();
            return true;
        }
    FImpl->Record(L"menu", L"click", {TextField(L"caption", caption)}, L"refused");
    return false;
}

} // namespace tamrel
