// The "NT Service Application" wizard: a new project whose program runs the service application.
#include "tests/ide/wizards/WizardsTestSupport.h"

#include "tests/support/TestSupport.h"

#include "host/SysUtils.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

TEST(NTServiceApplicationWizard, CreatesTheServiceProgramAsTheActiveProject) {
    TWizardsIde ide;
    const std::wstring first = ide.NewProject();
    EXPECT_EQ(ide.Folder() + L"\\Project1.dpr", first);
    EXPECT_EQ(ExpectedText(L"SERVICEAPPLICATION"), ide.Host().Buffer(first));
    // A second project is named on its own and becomes the active one.
    const std::wstring second = ide.NewProject();
    EXPECT_EQ(ide.Folder() + L"\\Project2.dpr", second);
    EXPECT_EQ(0u, ide.Host().Buffer(second).find("program Project2;\r\n"));
    const std::vector<std::wstring> calls = Calls(ide.Host(), L"creator");
    ASSERT_GE(calls.size(), 9u);
    EXPECT_EQ(L"GetCreatorType answer=\"Application\"", calls[0]);
    EXPECT_EQ(L"GetOwner answer=\"nil\"", calls[3]);
    EXPECT_EQ(L"GetProjectPersonality answer=\"Delphi.Personality\"", calls[8]);
    EXPECT_TRUE(ide.Host().Faults().empty());
}
