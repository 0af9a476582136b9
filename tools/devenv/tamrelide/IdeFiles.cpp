// Files the environment opens beside units and projects (a type library, any file an add-in
// names), and the action services that reload a file from disk.
#include "tools/devenv/tamrelide/IdeState.h"

#include "host/SysUtils.h"

#include <fstream>
#include <iterator>

namespace tamrel {

namespace {

bool ReadWholeFile(const std::wstring& fileName, std::string& bytes) {
    std::ifstream in(fileName.c_str(), std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

class TActionServices : public TInterfaced<IOTAActionServices> {
public:
    explicit TActionServices(THostLink host) : FHost(std::move(host)) {}

    // An open file takes its text from disk again (one undo step, no longer modified); a file
    // that is not open is only checked for.
    bool ReloadFile(const std::wstring& fileName) override {
        TIdeHostImpl* host = *FHost;
        if (!host) return false;
        std::string bytes;
        const bool read = ReadWholeFile(fileName, bytes);
        TIdeModuleState* module = host->FindModule(fileName);
        if (read && module && module->Source) {
            module->Source->Replace(std::move(bytes));
            module->Source->Modified = false;
        }
        host->Record(L"actions", L"ReloadFile", {TextField(L"file", fileName), NumField(L"open", module != nullptr)},
                     read ? L"ok" : L"refused");
        return read;
    }

private:
    THostLink FHost;
};

} // namespace

TComPtr<IUnknown> NewActionServices(const THostLink& host) { return MakeInterfaced<TActionServices, IUnknown>(host); }

bool TIdeHost::OpenFile(const std::wstring& fileName) {
    std::string bytes;
    if (FImpl->FindModule(fileName) || !ReadWholeFile(fileName, bytes)) {
        FImpl->Record(L"modules", L"open", {TextField(L"kind", L"file"), TextField(L"file", fileName)}, L"refused");
        return false;
    }
    auto module = MakeInterfaced<TIdeUnit>(FImpl->Link, TModuleKind::Unit, fileName);
    module->Source->Text = std::move(bytes);
    FImpl->Open(TComPtr<IOTAModule>(module.Get()));
    FImpl->Record(L"modules", L"open", {TextField(L"kind", L"file"), TextField(L"file", fileName)}, L"ok");
    return true;
}

bool TIdeHost::Modified(const std::wstring& fileName) const {
    TIdeModuleState* module = FImpl->FindModule(fileName);
    return module && module->Source && module->Source->Modified;
}

} // namespace tamrel
