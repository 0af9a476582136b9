// Writes event-log records in one of several scenarios (the first argument) and prints "done"
// on stdout. The test reads the records back from Wine's trace on stderr.
#include "runtime/service/base/Tamrel_EventLog.h"

#include "host/SysUtils.h"

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace tamrel;

namespace {

const unsigned char kData[] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01};

void AllTypes() {
    TNTEventLog log(L"TamrelProbe");
    log.LogMessage(L"error text", etError, 11, 1);
    log.LogMessage(L"warning text", etWarning, 12, 2);
    log.LogMessage(L"information text", etInformation, 13, 3);
    log.LogMessage(L"audit success text", etAuditSuccess, 14, 4);
    log.LogMessage(L"audit failure text", etAuditFailure, 15, 5);
}

void Overloads() {
    TNTEventLog log(L"TamrelProbe");
    log.LogMessage(L"one", etError, 1, 0);
    log.LogMessage({L"a", L"b", L"c"}, etWarning, 2, 7);
    log.LogData(L"with data", kData, sizeof kData, etInformation, 3, 0);
    log.LogData({L"x", L"y"}, kData, 4, etError, 4, 1);
    log.LogData(L"no buffer", nullptr, 10, etError, 5, 0);
    log.LogData(L"negative size", kData, -1, etError, 6, 0);
    log.LogMessage({}, etInformation, 7, 0);
}

void Empty() {
    TNTEventLog log(L"TamrelProbe");
    log.LogMessage(L"", etError, 1, 0);
}

void Text() {
    TNTEventLog log(L"TamrelProbe");
    log.LogMessage(L"line one\r\nline \"two\"\tC:\\path caf\u00e9 \u4e2d", etError, -1, 0x1FFFF);
    log.LogMessage(std::wstring(1000, L'x'), etError, 0, 0);
}

void Unused() { TNTEventLog log(L"TamrelProbe"); }

void TwoSources() {
    auto a = std::make_unique<TNTEventLog>(L"SourceA");
    auto b = std::make_unique<TNTEventLog>(L"SourceB");
    a->LogMessage(L"a1", etInformation, 0, 0);
    b->LogMessage(L"b1", etInformation, 0, 0);
    a->LogMessage(L"a2", etInformation, 0, 0);
    b->LogMessage(L"b2", etInformation, 0, 0);
    b.reset();
    fprintf(stderr, "probe: SourceB destroyed\n");
    fflush(stderr);
    a.reset();
}

void Threads() {
    TNTEventLog log(L"TamrelProbe");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 25; ++i) log.LogMessage(Format(L"t%d-%d", t, i), etInformation, t, 0);
        });
    for (auto& th : threads) th.join();
}

} // namespace

int main() {
    const std::map<std::wstring, std::function<void()>> scenarios = {
        {L"types", AllTypes}, {L"overloads", Overloads},   {L"empty", Empty},     {L"text", Text},
        {L"unused", Unused},  {L"two", TwoSources},         {L"threads", Threads},
    };
    auto it = scenarios.find(ParamStr(1));
    if (it == scenarios.end()) {
        printf("unknown scenario\n");
        return 2;
    }
    try {
        it->second();
    } catch (const Exception& e) {
        printf("error: %s\n", e.what());
        return 1;
    }
    printf("done\n");
    return 0;
}
