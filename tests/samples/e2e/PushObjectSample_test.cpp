// PushObjectSample end to end under Wine's real service manager and COM: its registration, COM
// activation starting the service, pause and stop withdrawing the class, and events pushed to
// every connected client. The test process is a client itself (its sinks live in its
// multithreaded apartment, so COM calls them on its own threads); other clients are
// pushobject_client processes.
#include "host/ComObj.h"
#include "tests/samples/programs/EventSink.h"
#include "tests/support/ComTestSupport.h"
#include "tests/support/ServiceTestSupport.h"

#include "PushObjectSample_TLB.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <optional>

using namespace tamrel;
using namespace tamrel::test;

namespace {

const std::wstring kService = L"PushObjectSample";
const std::wstring kClsid = L"{715FC797-2672-4CA6-A9A9-4544C3B5B4D8}";
const std::wstring kAppID = L"{0C041F7C-D2AC-4E43-A385-E76A2C1DEBD2}";
const std::wstring kLibID = L"{90FC71E9-C759-4CF0-AA69-0B8CCBD3E19E}";
const std::wstring kProgID = L"PushObjectSample.ComObjectWithEvents";

std::wstring Sample() { return ProgramPath(L"PushObjectSample.exe"); }

TProcessResult RunSample(const std::wstring& args) { return RunProcess(Sample() + L" " + args); }

// The messages a sink of the test received, in order.
class TReceived {
public:
    TEventSink::TOnEvent Handler() {
        return [this](const std::wstring& m) {
            std::lock_guard<std::mutex> l(FLock);
            FMessages.push_back(m);
        };
    }
    std::vector<std::wstring> Messages() {
        std::lock_guard<std::mutex> l(FLock);
        return FMessages;
    }

private:
    std::mutex FLock;
    std::vector<std::wstring> FMessages;
};

// The test process as a client: the shared object through IDispatch, with a sink of its own.
struct TClient {
    TComPtr<IDispatch> Object;
    TReceived Received;
    TSinkConnection Connection;

    HRESULT Create() {
        return CoCreateInstance(CLSID_ComObjectWithEvents, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                Object.PutVoid());
    }
    HRESULT Listen() {
        auto sink = MakeInterfaced<TEventSink, IDispatch>(Received.Handler(), false);
        return Connection.Connect(Object.Get(), sink.Get());
    }
    // RaiseEvent by its DISPID; answers the failure's HRESULT, S_OK on success.
    HRESULT Raise(const std::wstring& text, std::wstring* description = nullptr) {
        try {
            DispatchInvoke(Object.Get(), 201, DISPATCH_METHOD, {TOleVariant(text)});
            return S_OK;
        } catch (const EOleSysError& e) {
            if (description) *description = e.Message();
            return e.ErrorCode();
        }
    }
};

// A pushobject_client process with a sink, until it is told to quit (or killed).
class TListener {
public:
    explicit TListener(bool fail = false)
        : FFile(TempFileName(L"listener")), FQuitName(L"TamrelListenerQuit" + std::to_wstring(GetTickCount64())),
          FQuit(CreateEventW(nullptr, TRUE, FALSE, FQuitName.c_str())) {
        std::wstring command = ProgramPath(L"pushobject_client.exe") + L" listen \"" + FFile + L"\" " + FQuitName +
                               (fail ? L" fail" : L"");
        STARTUPINFOW si{};
        si.cb = sizeof si;
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &FProcess);
    }
    ~TListener() {
        Quit();
        DeleteFileW(FFile.c_str());
    }
    bool Ready() { return WaitForFileText(FFile, "ready"); }
    bool Received(const std::string& message) { return WaitForFileText(FFile, "event " + message); }
    void Quit() {
        if (!FProcess.hProcess) return;
        SetEvent(FQuit);
        WaitForSingleObject(FProcess.hProcess, 20000);
        Close();
    }
    void Kill() {
        if (!FProcess.hProcess) return;
        TerminateProcess(FProcess.hProcess, 9);
        WaitForSingleObject(FProcess.hProcess, 20000);
        Close();
    }

private:
    void Close() {
        CloseHandle(FProcess.hProcess);
        CloseHandle(FProcess.hThread);
        FProcess = {};
        CloseHandle(FQuit);
        FQuit = nullptr;
    }
    std::wstring FFile, FQuitName;
    HANDLE FQuit;
    PROCESS_INFORMATION FProcess{};
};

class PushObjectSampleTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A service left by an earlier run would change what this one sees.
        RunSample(L"/uninstall");
        TScm::Remove(kService);
    }
    void TearDown() override {
        FAlias.reset();
        RunSample(L"/uninstall");
        TScm::Remove(kService);
    }
    ::testing::AssertionResult Install() {
        auto r = RunSample(L"/install");
        if (r.ExitCode != 0 || !TScm::Exists(kService))
            return ::testing::AssertionFailure() << "install: " << r.Out << r.Err;
        return ::testing::AssertionSuccess();
    }
    DWORD State() { return TScm::Query(kService).dwCurrentState; }
    // Events go to sinks through the event interface, which Wine marshals with the type library:
    // it needs the library's entry under language 0 (the library's own is 409).
    std::optional<TWineTypeLibLanguageAlias> FAlias;
    ::testing::AssertionResult InstallForEvents() {
        auto r = Install();
        if (r) FAlias.emplace(kLibID, L"1.0", L"409");
        return r;
    }

    TComApartment FApartment;
};

} // namespace

TEST_F(PushObjectSampleTest, InstallWritesTheComRegistrationAndUninstallRemovesExactlyIt) {
    const auto before = RegistryListing(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(Install());
    const std::wstring classKey = L"CLSID\\" + kClsid;
    EXPECT_EQ(L"ComObjectWithEvents object", RegString(HKEY_CLASSES_ROOT, classKey));
    EXPECT_EQ(kAppID, RegString(HKEY_CLASSES_ROOT, classKey, L"AppID"));
    EXPECT_EQ(kProgID, RegString(HKEY_CLASSES_ROOT, classKey + L"\\ProgID"));
    EXPECT_EQ(L"1.0", RegString(HKEY_CLASSES_ROOT, classKey + L"\\Version"));
    EXPECT_EQ(kLibID, RegString(HKEY_CLASSES_ROOT, classKey + L"\\TypeLib"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, classKey + L"\\LocalServer32"));
    EXPECT_EQ(L"PushObjectSample", RegString(HKEY_CLASSES_ROOT, L"AppID\\" + kAppID, L"LocalService"));
    EXPECT_EQ(L"PushObjectSample", RegString(HKEY_CLASSES_ROOT, L"AppID\\" + kAppID));
    EXPECT_EQ(kAppID, RegString(HKEY_CLASSES_ROOT, L"AppID\\PushObjectSample.exe", L"AppID"));
    EXPECT_EQ(L"ComObjectWithEvents object", RegString(HKEY_CLASSES_ROOT, kProgID));
    EXPECT_EQ(kClsid, RegString(HKEY_CLASSES_ROOT, kProgID + L"\\Clsid"));
    auto path = RegString(HKEY_CLASSES_ROOT, L"TypeLib\\" + kLibID + L"\\1.0\\409\\win64");
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(0, lstrcmpiW(BinDir().append(L"PushObjectSample.exe").c_str(), WithoutLongPathPrefix(*path).c_str()));

    EXPECT_EQ(0u, RunSample(L"/uninstall").ExitCode);
    EXPECT_FALSE(TScm::Exists(kService));
    const auto after = RegistryListing(HKEY_CLASSES_ROOT);
    for (const auto& line : ListingMinus(after, before)) ADD_FAILURE() << "left behind: " << ToUtf8(line);
    for (const auto& line : ListingMinus(before, after)) ADD_FAILURE() << "removed: " << ToUtf8(line);
}


TEST_F(PushObjectSampleTest, InstallWithDebugPointsComAtTheProgramInsteadOfTheService) {
    auto r = RunSample(L"/install /debug");
    ASSERT_EQ(0u, r.ExitCode) << r.Err;
    auto server = RegString(HKEY_CLASSES_ROOT, L"CLSID\\" + kClsid + L"\\LocalServer32");
    ASSERT_TRUE(server.has_value());
    const std::wstring suffix = L" /debug /autostart";
    ASSERT_GT(server->size(), suffix.size());
    EXPECT_EQ(suffix, server->substr(server->size() - suffix.size()));
    wchar_t shortPath[MAX_PATH];
    ASSERT_NE(0u, GetShortPathNameW((BinDir() + L"PushObjectSample.exe").c_str(), shortPath, MAX_PATH));
    EXPECT_EQ(std::wstring(shortPath) + suffix, *server);
    EXPECT_FALSE(RegString(HKEY_CLASSES_ROOT, L"AppID\\" + kAppID, L"LocalService").has_value());
}

TEST_F(PushObjectSampleTest, AFailedCommandEndsWithTheSystemsErrorCode) {
    auto r = RunSample(L"/start:TamrelNoSuchService");
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), r.ExitCode) << r.Err;
}

TEST_F(PushObjectSampleTest, ActivationStartsTheServiceAndPauseOrStopWithdrawTheClass) {
    ASSERT_TRUE(Install());
    ASSERT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State());
    {
        TClient client;
        ASSERT_EQ(S_OK, client.Create()) << "the manager starts the service for the activation";
        EXPECT_EQ(S_OK, client.Raise(L"abc"));
    }
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State());

    ASSERT_EQ(0u, RunSample(L"/pause:PushObjectSample").ExitCode);
    ASSERT_TRUE(TScm::WaitState(kService, SERVICE_PAUSED));
    {
        TClient client;
        EXPECT_NE(S_OK, client.Create()) << "a paused service serves no new activation";
    }
    ASSERT_EQ(0u, RunSample(L"/continue:PushObjectSample").ExitCode);
    ASSERT_TRUE(TScm::WaitState(kService, SERVICE_RUNNING));
    {
        TClient client;
        ASSERT_EQ(S_OK, client.Create());
        EXPECT_EQ(S_OK, client.Raise(L"after continue"));
    }
    ASSERT_EQ(0u, RunSample(L"/stop:PushObjectSample").ExitCode);
    ASSERT_TRUE(TScm::WaitState(kService, SERVICE_STOPPED));
    // The stopped service took its class object with it: a new activation starts it again (a
    // registration left behind would answer with the dead process instead).
    {
        TClient client;
        ASSERT_EQ(S_OK, client.Create());
        EXPECT_EQ(S_OK, client.Raise(L"after stop"));
    }
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State());
}

TEST_F(PushObjectSampleTest, AnEventRaisedByAnyClientReachesEveryClientsSink) {
    ASSERT_TRUE(InstallForEvents());
    TListener other;
    ASSERT_TRUE(other.Ready());
    TClient self;
    ASSERT_EQ(S_OK, self.Create());
    ASSERT_EQ(S_OK, self.Listen());

    EXPECT_EQ(S_OK, self.Raise(L"abc"));
    EXPECT_TRUE(other.Received("Event is raised with message: abc"));
    // A third client, without a sink of its own, reaches both: all of them share one object.
    auto third = RunProcess(ProgramPath(L"pushobject_client.exe") + L" raise xyz");
    EXPECT_EQ(0u, third.ExitCode) << third.Out;
    EXPECT_TRUE(other.Received("Event is raised with message: xyz"));
    std::vector<std::wstring> expected = {L"Event is raised with message: abc", L"Event is raised with message: xyz"};
    EXPECT_EQ(expected, self.Received.Messages());
}

TEST_F(PushObjectSampleTest, RaisingWithoutSinksSucceeds) {
    ASSERT_TRUE(Install());
    TClient client;
    ASSERT_EQ(S_OK, client.Create());
    EXPECT_EQ(S_OK, client.Raise(L"nobody listens"));
}

TEST_F(PushObjectSampleTest, AFailingSinkDoesNotKeepTheEventFromTheOthers) {
    ASSERT_TRUE(InstallForEvents());
    TListener failing(true); // connected first, so that it is called first
    ASSERT_TRUE(failing.Ready());
    TClient self;
    ASSERT_EQ(S_OK, self.Create());
    ASSERT_EQ(S_OK, self.Listen());
    std::wstring description;
    EXPECT_EQ(E_ACCESSDENIED, self.Raise(L"abc", &description)) << "the caller gets the sink's failure";
    EXPECT_EQ(L"the sink refuses events", description);
    std::vector<std::wstring> expected = {L"Event is raised with message: abc"};
    EXPECT_EQ(expected, self.Received.Messages());
}

TEST_F(PushObjectSampleTest, AKilledClientFailsOneEventForItsCallerAndIsThenDropped) {
    ASSERT_TRUE(InstallForEvents());
    TListener doomed;
    ASSERT_TRUE(doomed.Ready());
    TClient self;
    ASSERT_EQ(S_OK, self.Create());
    ASSERT_EQ(S_OK, self.Listen());
    doomed.Kill();
    EXPECT_EQ(HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), self.Raise(L"first"))
        << "the call that meets the dead sink fails for its caller";
    auto second = RunProcess(ProgramPath(L"pushobject_client.exe") + L" raise second");
    EXPECT_EQ(0u, second.ExitCode) << "a later call meets only living sinks: " << second.Out;
    std::vector<std::wstring> expected = {L"Event is raised with message: first",
                                          L"Event is raised with message: second"};
    EXPECT_EQ(expected, self.Received.Messages()) << "the living sink gets every event";
}

TEST_F(PushObjectSampleTest, AClientHoldingTheObjectIsAnsweredWhileTheServiceIsPaused) {
    ASSERT_TRUE(Install());
    TClient client;
    ASSERT_EQ(S_OK, client.Create());
    ASSERT_EQ(0u, RunSample(L"/pause:PushObjectSample").ExitCode);
    ASSERT_TRUE(TScm::WaitState(kService, SERVICE_PAUSED));
    // A service that froze its apartment would answer only after a continue: the answer is
    // awaited generously, and a continue sent when it did not come, so that the call can end.
    auto answer = std::async(std::launch::async, [&client] { return client.Raise(L"while paused"); });
    const bool answered = answer.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    if (!answered) RunSample(L"/continue:PushObjectSample");
    ASSERT_TRUE(answered) << "the call waited for a continue";
    EXPECT_EQ(S_OK, answer.get());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSED), State()) << "answering does not continue the service";
}

TEST_F(PushObjectSampleTest, AScriptCallsTheObjectThroughItsTypeInformation) {
    ASSERT_TRUE(InstallForEvents());
    TClient self;
    ASSERT_EQ(S_OK, self.Create());
    ASSERT_EQ(S_OK, self.Listen());
    const std::wstring script = TempFileName(L"client") + L".js";
    WriteFileBytes(script, "var o = new ActiveXObject(\"PushObjectSample.ComObjectWithEvents\");\r\n"
                           "o.RaiseEvent(\"from a script\");\r\n"
                           "WScript.Echo(\"script done\");\r\n");
    auto r = RunProcess(L"cscript.exe //nologo \"" + script + L"\"");
    DeleteFileW(script.c_str());
    EXPECT_EQ(0u, r.ExitCode) << r.Out << r.Err;
    EXPECT_NE(std::string::npos, r.Out.find("script done")) << r.Out << r.Err;
    std::vector<std::wstring> expected = {L"Event is raised with message: from a script"};
    EXPECT_EQ(expected, self.Received.Messages());
}

TEST_F(PushObjectSampleTest, AnEarlyBoundClientCallsTheDualInterface) {
    ASSERT_TRUE(InstallForEvents()); // the dual interface is marshalled with the type library too
    TClient self;
    ASSERT_EQ(S_OK, self.Create());
    ASSERT_EQ(S_OK, self.Listen());
    auto r = RunProcess(ProgramPath(L"pushobject_client.exe") + L" raise-early early");
    EXPECT_EQ(0u, r.ExitCode) << r.Out;
    std::vector<std::wstring> expected = {L"Event is raised with message: early"};
    EXPECT_EQ(expected, self.Received.Messages());
}
