// The IDE-notifier component against the environment stand-in: the test program is the add-in.
#include "ide/framework/Dev_WQ_IDENotifier.h"

#include "host/SysUtils.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace tamrel;

namespace {

struct TFileEvents {
    std::vector<std::wstring> Seen;
    void Opened(const std::wstring& file, bool&) { Seen.push_back(L"opened " + ExtractFileName(file)); }
    void Closing(const std::wstring& file, bool&) { Seen.push_back(L"closing " + ExtractFileName(file)); }
    void Other(const std::wstring& file, bool& cancel) {
        Seen.push_back(L"other " + file);
        cancel = true;
    }
};

TWQIDENotifier* NewNotifier(TFileEvents& events) {
    auto* n = Create<TWQIDENotifier>(nullptr);
    n->SetOnFileOpened(TWQFileNotification::Of<&TFileEvents::Opened>(&events));
    n->SetOnFileClosing(TWQFileNotification::Of<&TFileEvents::Closing>(&events));
    n->SetOnActiveProjectChanged(TWQFileNotification::Of<&TFileEvents::Other>(&events));
    return n;
}

} // namespace

TEST(IDENotifier, OpenedAndClosingFilesReachTheirEvents) {
    TIdeHost host;
    TFileEvents events;
    TOwnedPtr<TWQIDENotifier> notifier(NewNotifier(events));
    notifier->Loaded();
    EXPECT_EQ(host.IdeNotifierCount(), 1);

    const std::wstring file = IncludeTrailingPathDelimiter(host.WorkFolder()) + L"Watched.pas";
    std::ofstream(file.c_str()) << "unit Watched;";
    ASSERT_TRUE(host.OpenFile(file));
    ASSERT_TRUE(host.CloseModule(file));
    EXPECT_EQ(events.Seen, (std::vector<std::wstring>{L"opened Watched.pas", L"closing Watched.pas"}));
}

TEST(IDENotifier, KindsOutsideTheTenCallNothingAndTheLastKindIsTheActiveProject) {
    TFileEvents events;
    TOwnedPtr<TWQIDENotifier> notifier(NewNotifier(events));
    bool cancel = false;
    notifier->IDENotifier()->FileNotification(static_cast<TOTAFileNotification>(10), L"ten", cancel);
    notifier->IDENotifier()->FileNotification(static_cast<TOTAFileNotification>(-1), L"minus", cancel);
    EXPECT_TRUE(events.Seen.empty());
    notifier->IDENotifier()->FileNotification(ofnActiveProjectChanged, L"nine", cancel);
    EXPECT_EQ(events.Seen, (std::vector<std::wstring>{L"other nine"}));
    EXPECT_TRUE(cancel);
}

TEST(IDENotifier, UnloadedRemovesOnceAndFreesTheComponent) {
    TIdeHost host;
    TFileEvents events;
    TWQIDENotifier* notifier = NewNotifier(events);
    notifier->Loaded();
    TComPtr<IOTAIDENotifier> kept(notifier->IDENotifier());
    notifier->Unloaded(); // frees it
    EXPECT_EQ(host.IdeNotifierCount(), 0);
    // The environment's object no longer reaches the freed component.
    bool cancel = false;
    kept->FileNotification(ofnFileOpened, L"late", cancel);
    EXPECT_TRUE(events.Seen.empty());
    EXPECT_TRUE(host.Faults().empty());
}

TEST(IDENotifier, ANotifierNeverAddedRemovesNothingOfAnotherAddIn) {
    TIdeHost host;
    TFileEvents mine, theirs;
    TOwnedPtr<TWQIDENotifier> added(NewNotifier(theirs));
    added->Loaded(); // index 0
    Free(NewNotifier(mine)); // never loaded: index 0 is not its own
    EXPECT_EQ(host.IdeNotifierCount(), 1);
    EXPECT_TRUE(host.Faults().empty());
}
