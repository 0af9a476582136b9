// Runs create/release cycles of CreateInstanceInFactory in this process and says how they went:
//
//   factorythread_probe FIRST COUNT
//
// Cycle i (FIRST <= i < FIRST + COUNT) fails its creation with its own HRESULT when i is a
// multiple of 5, raises in the creation when it is a multiple of 7, and otherwise makes an object
// whose method is called across the threads before it is released. Prints one line:
//   "ok cycles=N failures=F raised=R threads-left=T extra-threads=E objects-left=O" or
//   "fail cycle=i hr=0x...". threads-left counts the cycles' threads that had not ended 30 s after
//   the last cycle; extra-threads how many more threads the process has than before the cycles.
// Under Wine a process can marshal from only about sixty apartments in its life (each leaves an
// endpoint that the RPC layer keeps waiting on), so the tests run the cycles in batches.
#include "host/SysUtils.h"
#include "runtime/service/Tamrel_FactoryThread.h"
#include "tests/runtime/service/programs/FactoryThreadObjects.h"

#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// Every factory thread of the cycles, by a handle of our own that tells when it has ended.
std::vector<HANDLE> gThreads;

class TTrackedThread : public TSvcFactoryThread {
public:
    TTrackedThread(TSvcFactoryCreateInstance f, IUnknown* outer, const GUID& iid) : TSvcFactoryThread(f, outer, iid) {
        HANDLE h = nullptr;
        DuplicateHandle(GetCurrentProcess(), Handle(), GetCurrentProcess(), &h, SYNCHRONIZE, FALSE, 0);
        gThreads.push_back(h);
    }
};

// How many of the tracked threads have not ended by the deadline.
int ThreadsLeft() {
    const DWORD start = GetTickCount();
    int left = 0;
    for (HANDLE h : gThreads) {
        const DWORD spent = GetTickCount() - start;
        if (WaitForSingleObject(h, spent < 30000 ? 30000 - spent : 0) != WAIT_OBJECT_0) ++left;
        CloseHandle(h);
    }
    gThreads.clear();
    return left;
}

int ProcessThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    const int first = std::stoi(argv[1]), count = std::stoi(argv[2]);
    CoInitialize(nullptr);
    TCreator creator;
    const auto create = TSvcFactoryCreateInstance::Of<&TCreator::Create>(&creator);
    const TSvcFactoryThreadClass threadClass = &NewFactoryThread<TTrackedThread>;
    // COM starts helper threads with the first object that crosses threads: count after it.
    creator.Calls = 0; // the warm-up is creation 1
    {
        TComPtr<IPersist> warm;
        CreateInstanceInFactory(create, threadClass, nullptr, IID_IPersist, warm.PutVoid(), 0);
    }
    if (ThreadsLeft() != 0) {
        std::printf("fail warm-up thread did not end\n");
        return 1;
    }
    const int baseline = ProcessThreads();
    int failures = 0, raised = 0;
    for (int i = first; i < first + count; ++i) {
        creator.Calls = i - 1;
        TComPtr<IPersist> object;
        const HRESULT hr = CreateInstanceInFactory(create, threadClass, nullptr, IID_IPersist, object.PutVoid(), 0);
        HRESULT expected = i % 5 == 0 ? CreationFailure(i) : i % 7 == 0 ? E_UNEXPECTED : S_OK;
        CLSID id{};
        if (hr != expected || (hr == S_OK && (!object || object->GetClassID(&id) != S_OK ||
                                              id.Data1 == GetCurrentThreadId())) ||
            (hr != S_OK && object)) {
            std::printf("fail cycle=%d hr=0x%08lX\n", i, static_cast<unsigned long>(hr));
            return 1;
        }
        failures += i % 5 == 0;
        raised += i % 5 != 0 && i % 7 == 0;
    }
    const int left = ThreadsLeft();
    const int extra = ProcessThreads() - baseline;
    std::printf("ok cycles=%d failures=%d raised=%d threads-left=%d extra-threads=%d objects-left=%d\n", count,
                failures, raised, left, extra > 0 ? extra : 0, TThreadObject::Alive.load());
    CoUninitialize();
    return 0;
}
