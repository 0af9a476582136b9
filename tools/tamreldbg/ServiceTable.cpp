#include "ServiceTable.h"

#include "Text.h"

namespace tamreldbg {

TState& State() {
    static TState* state = new TState;
    return *state;
}

TService* FindCurrent(const std::wstring& name) {
    for (TService* s : State().Current)
        if (SameName(s->Name, name)) return s;
    return nullptr;
}

TService* FindLatest(const std::wstring& name) {
    auto& all = State().Services;
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if (SameName((*it)->Name, name)) return it->get();
    return nullptr;
}

TService* FindByHandle(SERVICE_STATUS_HANDLE h) {
    for (auto& s : State().Services)
        if (reinterpret_cast<SERVICE_STATUS_HANDLE>(s.get()) == h) return s.get();
    return nullptr;
}

TScObject* FindObject(SC_HANDLE h) {
    for (auto& o : State().Objects)
        if (reinterpret_cast<SC_HANDLE>(o.get()) == h) return o.get();
    return nullptr;
}

std::string StatusRecord(const TService& s) {
    const SERVICE_STATUS& st = s.Status;
    return "status " + Utf8(s.Name) + " state=" + StateText(st.dwCurrentState) +
           " accepted=" + Hex(st.dwControlsAccepted) + " checkpoint=" + Dec(st.dwCheckPoint) +
           " waithint=" + Dec(st.dwWaitHint) + " win32exit=" + Dec(st.dwWin32ExitCode) +
           " specificexit=" + Dec(st.dwServiceSpecificExitCode) + " type=" + Hex(st.dwServiceType);
}

} // namespace tamreldbg
