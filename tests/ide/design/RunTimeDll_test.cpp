// What crosses between the run-time DLL and a program over it, which in the 64-bit build has a
// copy of the C++ run-time of its own: the library's exceptions, caught by type on the other side;
// strings, made by one side's allocator and freed by the other's; the exception a catch of the
// program holds, handed to the host application in the DLL.
#include "host/HostApplication.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <memory>
#include <string>
#include <vector>

using namespace tamrel;

namespace {

TEST(RunTimeDll, LibraryExceptionThrownInTheDllIsCaughtByTypeInTheProgram) {
    bool caught = false;
    try {
        RaiseLastOSError(ERROR_FILE_NOT_FOUND);
    } catch (const EOSError& e) {
        caught = true;
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), e.ErrorCode());
        EXPECT_EQ(OSErrorText(ERROR_FILE_NOT_FOUND), e.Message());
        EXPECT_STREQ(L"EOSError", e.ClassName());
    } catch (...) {
        ADD_FAILURE() << "caught, but not as EOSError";
    }
    EXPECT_TRUE(caught);
}

TEST(RunTimeDll, StringsMadeOnOneSideAreFreedOnTheOther) {
    for (int i = 0; i < 100; ++i) {
        // Made by the DLL, grown and freed here.
        std::wstring fromDll = SysErrorMessage(ERROR_FILE_NOT_FOUND);
        ASSERT_GT(fromDll.size(), 7u) << "long enough to live on the heap";
        fromDll.append(300, L'p');
        fromDll = std::wstring();

        // Made here (the object too), replaced and freed by the exception's members in the DLL.
        const std::wstring text = std::wstring(300, L'd') + std::to_wstring(i);
        auto e = std::make_unique<Exception>(text);
        e->SetMessage(text + L"!");
        EXPECT_EQ(text + L"!", e->Message());
        e.reset();
    }
    EXPECT_EQ(_HEAPOK, _heapchk());
}

TEST(RunTimeDll, ExceptionCaughtInTheProgramReachesTheHostApplication) {
    struct TRecorder {
        std::vector<std::wstring> Messages;
        void Handler(TObject*, Exception& e) { Messages.push_back(e.Message()); }
    } recorder;
    THostApplication* app = HostApplication.Get();
    ASSERT_NE(nullptr, app);
    app->SetOnException(MakeMethod<&TRecorder::Handler>(&recorder));
    try {
        throw Exception(L"raised in the program");
    } catch (...) {
        app->HandleException(nullptr);
    }
    try {
        RaiseLastOSError(ERROR_ACCESS_DENIED);
    } catch (...) {
        app->HandleException(nullptr);
    }
    app->SetOnException(nullptr);
    EXPECT_EQ((std::vector<std::wstring>{L"raised in the program", OSErrorText(ERROR_ACCESS_DENIED)}),
              recorder.Messages);
}

} // namespace
