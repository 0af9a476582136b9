// The security centers against the raw system calls they stand for:
//   1. SID string -> binary -> string through two SID centers (the second one is given the
//      binary SID, so no string set by the caller comes back) against ConvertStringSidToSidW /
//      ConvertSidToStringSidW;
//   2. ACLs built from 16, 64, 256 and 1,024 explicit entries by the ACL center against
//      SetEntriesInAclW, with and without MergeMasks.
// Prints the time per operation of each side and their ratio (center / raw).
#include "runtime/security/Tamrel_AclCenter.h"
#include "runtime/security/Tamrel_SidCenter.h"

#include "host/Handles.h"
#include "host/SysUtils.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace tamrel;

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

struct TFigures {
    double Center; // ns per call, median of the rounds
    double Raw;
    double Ratio; // median of the rounds' ratios
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Both sides in alternating rounds, so that a busy moment of the machine hits both alike.
TFigures Compare(int calls, const std::function<void()>& center, const std::function<void()>& raw) {
    for (int i = 0; i < calls / 10; ++i) {
        center();
        raw();
    }
    std::vector<double> c, r, ratio;
    for (int round = 0; round < 9; ++round) {
        double start = Now();
        for (int i = 0; i < calls; ++i) center();
        c.push_back((Now() - start) * 1e9 / calls);
        start = Now();
        for (int i = 0; i < calls; ++i) raw();
        r.push_back((Now() - start) * 1e9 / calls);
        ratio.push_back(c.back() / r.back());
    }
    return {Median(c), Median(r), Median(ratio)};
}

void Report(const char* what, const TFigures& f) {
    std::printf("%-40s center %10.0f ns   raw %10.0f ns   ratio %5.2f\n", what, f.Center, f.Raw, f.Ratio);
}

} // namespace

int main() {
    // --- SID strings ------------------------------------------------------------------------
    const std::vector<std::wstring> texts = {L"S-1-5-18", L"S-1-5-32-544", L"S-1-1-0",
                                             L"S-1-5-21-1004336348-1177238915-682003330-512",
                                             L"S-1-5-21-3623811015-3361044348-30300820-1013"};
    TSidCenterPtr parse(Create<TrkSidCenter>(nullptr));
    TSidCenterPtr print(Create<TrkSidCenter>(nullptr));
    size_t next = 0, check = 0;
    const TFigures sidFigures = Compare(
        20000,
        [&] {
            const std::wstring& text = texts[next++ % texts.size()];
            parse->SetSidString(text);
            print->SetSid(parse->GetSid());
            check += print->GetSidString().size();
        },
        [&] {
            const std::wstring& text = texts[next++ % texts.size()];
            PSID sid = nullptr;
            ConvertStringSidToSidW(text.c_str(), &sid);
            TLocalMem sidOwner(sid);
            wchar_t* out = nullptr;
            ConvertSidToStringSidW(sid, &out);
            TLocalMem outOwner(out);
            check += wcslen(out);
        });
    Report("SID string -> binary -> string", sidFigures);

    // --- ACLs from 16 to 1,024 entries ---------------------------------------------------------
    // Every entry names a SID of its own: grants, every fifth a denial, half of them inheritable.
    std::vector<TLocalMem> sids;
    std::vector<EXPLICIT_ACCESS_W> all(1024);
    for (size_t i = 0; i < all.size(); ++i) {
        PSID sid = nullptr;
        ConvertStringSidToSidW((L"S-1-5-21-1004336348-1177238915-682003330-" + std::to_wstring(1000 + i)).c_str(),
                               &sid);
        sids.emplace_back(sid);
        EXPLICIT_ACCESS_W& e = all[i];
        e = {};
        e.grfAccessPermissions = GENERIC_READ | (i % 3 ? 0 : GENERIC_WRITE);
        e.grfAccessMode = i % 5 == 4 ? DENY_ACCESS : GRANT_ACCESS;
        e.grfInheritance = i % 2 ? SUB_CONTAINERS_AND_OBJECTS_INHERIT : NO_INHERITANCE;
        e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        e.Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
        e.Trustee.ptstrName = static_cast<LPWSTR>(sid);
    }
    struct TSize {
        size_t Entries;
        int Calls;
    };
    for (const TSize size : {TSize{16, 2000}, TSize{64, 500}, TSize{256, 60}, TSize{1024, 8}}) {
        const std::vector<EXPLICIT_ACCESS_W> entries(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(size.Entries));
        for (bool merge : {true, false}) {
            std::unique_ptr<TrkAclCenter, TFreeComponent> acl(Create<TrkAclCenter>(nullptr));
            acl->SetMergeMasks(merge);
            for (const auto& e : entries) *acl->AddEntry() = e;
            const TFigures figures = Compare(
                size.Calls,
                [&] {
                    acl->SetIsEntries(true); // the entries are the form to build from again
                    check += acl->GetACL()->AceCount;
                },
                [&] {
                    PACL result = nullptr;
                    SetEntriesInAclW(static_cast<ULONG>(entries.size()), const_cast<EXPLICIT_ACCESS_W*>(entries.data()),
                                     nullptr, &result);
                    TLocalMem owner(result);
                    check += result->AceCount;
                });
            const std::string what = "ACL from " + std::to_string(size.Entries) + " entries" +
                                     (merge ? " (MergeMasks)" : " (no MergeMasks)");
            Report(what.c_str(), figures);
        }
    }
    std::printf("(check %zu)\n", check);
    return 0;
}
