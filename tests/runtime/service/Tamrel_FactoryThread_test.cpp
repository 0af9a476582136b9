// Objects made in an apartment thread of their own: the creator gets the right result or the
// object's marshalled interface, and every thread ends once its object has no client left.
#include "host/SysUtils.h"
#include "runtime/service/Tamrel_FactoryThread.h"
#include "tests/runtime/service/programs/FactoryThreadObjects.h"
#include "tests/support/ComTestSupport.h"
#include "tests/support/DebugRunSupport.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// A thread class of its own: the creator's choice of class reaches the creation.
class TCountedThread : public TSvcFactoryThread {
public:
    TCountedThread(TSvcFactoryCreateInstance f, IUnknown* outer, const GUID& iid) : TSvcFactoryThread(f, outer, iid) {
        ++Made;
    }
    static inline std::atomic<int> Made{0};
};

} // namespace

TEST(FactoryThread, AThousandCreationsGiveTheirResultsAndLeaveNoThreadBehind) {
    // In batches of forty, each in a process of its own (see factorythread_probe).
    int failures = 0, raised = 0;
    for (int first = 1; first <= 1000; first += 40) {
        auto r = RunProcess(ProgramPath(L"factorythread_probe.exe") + L" " + std::to_wstring(first) + L" 40");
        ASSERT_EQ(0u, r.ExitCode) << "cycles from " << first << ": " << r.Out;
        const auto lines = SplitLines(r.Out);
        ASSERT_FALSE(lines.empty());
        const std::string& line = lines.front();
        ASSERT_EQ("0", Field(line, "threads-left")) << line;
        ASSERT_EQ("0", Field(line, "extra-threads")) << line;
        ASSERT_EQ("0", Field(line, "objects-left")) << line;
        failures += std::stoi(Field(line, "failures"));
        raised += std::stoi(Field(line, "raised"));
    }
    EXPECT_EQ(200, failures);
    EXPECT_EQ(114, raised) << "multiples of 7 that are not multiples of 5, up to 1000";
}

TEST(FactoryThread, TheCreatorsThreadClassMakesTheThread) {
    TComApartment apartment{COINIT_APARTMENTTHREADED};
    TCreator creator;
    const auto create = TSvcFactoryCreateInstance::Of<&TCreator::Create>(&creator);
    TComPtr<IPersist> object;
    const int made = TCountedThread::Made.load();
    ASSERT_EQ(S_OK, CreateInstanceInFactory(create, &NewFactoryThread<TCountedThread>, nullptr, IID_IPersist, object.PutVoid(), 0));
    EXPECT_EQ(made + 1, TCountedThread::Made.load());
    object.Reset();
    EXPECT_EQ(E_POINTER, CreateInstanceInFactory(create, nullptr, nullptr, IID_IPersist, nullptr, 0));
    EXPECT_EQ(E_INVALIDARG, CreateInstanceInFactory(nullptr, nullptr, nullptr, IID_IPersist, object.PutVoid(), 0));
}

TEST(FactoryThread, TheHandOffOutlivesTheThreadThatFreedItself) {
    // A failed creation ends the thread at once; the creator still reads the result from the
    // hand-off both of them hold.
    TComApartment apartment{COINIT_APARTMENTTHREADED};
    TCreator creator;
    creator.Calls = 4; // the next call is the fifth: it fails
    const auto create = TSvcFactoryCreateInstance::Of<&TCreator::Create>(&creator);
    auto* thread = NewFactoryThread<TSvcFactoryThread>(create, nullptr, IID_IPersist);
    std::weak_ptr<TSvcFactoryHandOff> weak = thread->HandOff();
    std::shared_ptr<TSvcFactoryHandOff> handOff = thread->HandOff();
    thread->AfterConstruction(); // runs and frees itself
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handOff->Semaphore.Get(), 10000));
    EXPECT_EQ(CreationFailure(5), handOff->CreateResult);
    EXPECT_EQ(nullptr, handOff->Stream);
    handOff.reset();
    // Once the thread is gone too, nothing holds the hand-off any more.
    const DWORD start = GetTickCount();
    while (!weak.expired() && GetTickCount() - start < 10000) Sleep(10);
    EXPECT_TRUE(weak.expired());
}
