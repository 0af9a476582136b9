// The COM service module in-process: its list, its AppID, and what it asks of the program's COM
// server object while it starts, pauses, continues and stops, also when a start fails or is
// refused.
#include "runtime/service/Tamrel_ComService.h"
#include "tests/runtime/service/ServiceRunSupport.h"
#include "tests/support/ServiceTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// Records the calls of the service framework; a start may be made to fail once.
class TRecordingServer : public TSvcComServerObject {
public:
    int32_t CountObject(bool) override { return 0; }
    int32_t CountFactory(bool) override { return 0; }
    std::wstring GetHelpFileName() override { return {}; }
    std::wstring GetServerFileName() override { return {}; }
    std::wstring GetServerKey() override { return {}; }
    std::wstring GetServerName() override { return {}; }
    bool GetStartSuspended() override { return false; }
    TComPtr<ITypeLib> GetTypeLib() override { return nullptr; }
    void SetHelpFileName(const std::wstring&) override {}
    void StartServiceFactories(const std::wstring& name) override {
        // The factories register from the service thread's single-threaded apartment.
        APTTYPE type;
        APTTYPEQUALIFIER qualifier;
        const bool sta = SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && type != APTTYPE_MTA;
        Add(L"start " + name + (sta ? L"" : L" outside an apartment"));
        if (FailNextStart) {
            FailNextStart = false;
            throw EOleSysError(L"factory refused", E_ACCESSDENIED);
        }
    }
    void StopServiceFactories(const std::wstring& name) override { Add(L"stop " + name); }
    void UpdateServerRegistry(bool doRegister) override { Add(doRegister ? L"register" : L"unregister"); }
    GUID GetServerAppID() override { return GUID_NULL; }

    std::vector<std::wstring> Calls() {
        std::lock_guard<std::mutex> l(FLock);
        return FCalls;
    }
    bool FailNextStart = false;

private:
    void Add(const std::wstring& call) {
        std::lock_guard<std::mutex> l(FLock);
        FCalls.push_back(call);
    }
    std::mutex FLock;
    std::vector<std::wstring> FCalls;
};

// The program's COM server object while the object lives.
class TServerHook {
public:
    explicit TServerHook(TSvcComServerObject* server) : FSaved(SvcComServer()) { SetSvcComServer(server); }
    ~TServerHook() { SetSvcComServer(FSaved); }

private:
    TSvcComServerObject* FSaved;
};

struct ComServiceRun : ::testing::Test {
    TStatusLog log;
    TServiceSlots slots{&log};
    TRecordingServer server;
    TServerHook hook{&server};
    TComService* service = Create<TComService>(nullptr);
    TServiceRun run{service};

    void SetUp() override {
        service->SetServiceName(L"ComProbe");
        service->SetWaitHint(100);
    }
    void TearDown() override {
        run.StopAndJoin();
        Free(service);
    }
    void RefuseStart(TNtService*, bool& doAction) { doAction = false; }
};

} // namespace

TEST(ComServiceList, FindsAServiceIgnoringCaseAndForgetsADestroyedOne) {
    TComService* a = Create<TComService>(nullptr);
    a->SetServiceName(L"ComListAlpha");
    TComService* b = Create<TComService>(nullptr);
    b->SetServiceName(L"ComListBeta");
    EXPECT_EQ(a, FindComService(L"comlistalpha"));
    EXPECT_EQ(b, FindComService(L"COMLISTBETA"));
    EXPECT_EQ(nullptr, FindComService(L"ComListGamma"));
    Free(a);
    EXPECT_EQ(nullptr, FindComService(L"ComListAlpha"));
    EXPECT_EQ(b, FindComService(L"ComListBeta"));
    Free(b);
}

TEST(ComServiceAppID, ADesignedModuleGetsItsOwnAppIDAndAStoredOneKeepsIt) {
    const std::wstring zero = L"{00000000-0000-0000-0000-000000000000}";
    TComponent* designer = Create<TComponent>(nullptr);
    designer->SetDesigning(true);
    auto* first = Create<TComService>(designer);
    auto* second = Create<TComService>(designer);
    const std::wstring appid = first->AppID();
    EXPECT_NE(zero, appid);
    EXPECT_EQ(appid, first->AppID()) << "made once, then kept";
    EXPECT_TRUE(IsEqualGUID(StringToGUID(appid), first->AppIDGUID()));
    EXPECT_NE(appid, second->AppID());

    // A stored module that was loaded keeps what it stored, also the all-zero AppID.
    auto* stored = Create<TComService>(designer);
    stored->SetAppID(zero);
    stored->Loaded();
    EXPECT_EQ(zero, stored->AppID());
    // Outside the designer nothing is made up.
    TComService* running = Create<TComService>(nullptr);
    EXPECT_EQ(zero, running->AppID());
    running->SetAppID(L"{0C041F7C-D2AC-4E43-A385-E76A2C1DEBD2}");
    EXPECT_EQ(L"{0C041F7C-D2AC-4E43-A385-E76A2C1DEBD2}", running->AppID());
    EXPECT_THROW(running->SetAppID(L"{0C041F7C-D2AC-4E43}"), EConvertError);
    EXPECT_THROW(running->SetAppID(L"not a guid"), EConvertError);
    EXPECT_EQ(L"{0C041F7C-D2AC-4E43-A385-E76A2C1DEBD2}", running->AppID()) << "a refused value changes nothing";
    Free(running);
    Free(designer);
}

namespace {

// A registration that writes part of its keys, then fails.
class TFailingRegistration : public TRecordingServer {
public:
    void UpdateServerRegistry(bool doRegister) override {
        TRecordingServer::UpdateServerRegistry(doRegister);
        if (doRegister) throw EOleSysError(L"registration refused", E_ACCESSDENIED);
    }
};

// An install into Wine's real service manager.
struct ComServiceInstall : ::testing::Test {
    TFailingRegistration server;
    TServerHook hook{&server};
    std::unique_ptr<TComService, void (*)(TObject*)> service{Create<TComService>(nullptr), Free};
    void SetUp() override { service->SetName(L"TamrelComInstall"); }
    void TearDown() override { TScm::Remove(L"TamrelComInstall"); }
};

} // namespace

TEST_F(ComServiceInstall, ARegistrationThatFailsIsTakenBackWithTheService) {
    service->SetAppID(L"{0C041F7C-D2AC-4E43-A385-E76A2C1DEBD2}");
    EXPECT_THROW(service->Install(), EOleSysError); // the registration's own error
    EXPECT_EQ((std::vector<std::wstring>{L"register", L"unregister"}), server.Calls());
    EXPECT_TRUE(TScm::WaitGone(L"TamrelComInstall"));
}

TEST_F(ComServiceInstall, AModuleWithoutAnAppIDIsNotInstalled) {
    try {
        service->Install();
        ADD_FAILURE() << "installed";
    } catch (const Exception& e) {
        EXPECT_NE(std::wstring::npos, e.Message().find(L"TamrelComInstall has no AppID"))
            << WideToUtf8(e.Message());
    }
    EXPECT_FALSE(TScm::Exists(L"TamrelComInstall"));
}

TEST_F(ComServiceRun, FactoriesAreRegisteredExactlyWhileTheServiceRunsAndIsNotPaused) {
    run.Start();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    service->Controller(SERVICE_CONTROL_PAUSE, 0, nullptr);
    ASSERT_TRUE(log.WaitFor(SERVICE_PAUSED, 5000));
    const size_t reports = log.Count(); // before the request: its reports may come at once
    service->Controller(SERVICE_CONTROL_CONTINUE, 0, nullptr);
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000, reports + 1));
    run.StopAndJoin();
    const std::vector<std::wstring> expected = {L"start ComProbe", L"stop ComProbe", L"start ComProbe",
                                                L"stop ComProbe"};
    EXPECT_EQ(expected, server.Calls());
}

TEST_F(ComServiceRun, AStartThatFailsStillRevokesWhatItRegisteredAndStops) {
    server.FailNextStart = true;
    run.Start();
    run.Join(); // the main routine ends by itself
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), log.Last());
    const std::vector<std::wstring> failed = {L"start ComProbe", L"stop ComProbe"};
    EXPECT_EQ(failed, server.Calls());
    // The next start in the same process goes through.
    const size_t reports = log.Count();
    run.Start();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000, reports + 1));
    run.StopAndJoin();
    const std::vector<std::wstring> again = {L"start ComProbe", L"stop ComProbe", L"start ComProbe",
                                             L"stop ComProbe"};
    EXPECT_EQ(again, server.Calls());
}

TEST_F(ComServiceRun, WithoutAServerObjectTheServiceRunsAnyway) {
    SetSvcComServer(nullptr);
    run.Start();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    run.StopAndJoin();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), log.Last());
    EXPECT_TRUE(server.Calls().empty());
}

TEST_F(ComServiceRun, ARefusedStartRegistersNoClassWhileTheServiceWaitsToStop) {
    service->SetOnStart(MakeMethod<&ComServiceRun::RefuseStart>(this));
    run.Start();
    run.Join(); // the refused start stops the service by itself after four wait hints
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), log.Last());
    const auto calls = server.Calls();
    EXPECT_EQ(0, std::count(calls.begin(), calls.end(), L"start ComProbe")) << "a class registered after the refusal";
}
