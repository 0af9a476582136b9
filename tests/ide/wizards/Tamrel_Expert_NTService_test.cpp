// The "NT Service" wizard through the environment stand-in: the unit it adds, the calls it makes
// of the environment, and a form name of its own at every run.
#include "tests/ide/wizards/WizardsTestSupport.h"

#include "tests/support/TestSupport.h"

#include "host/SysUtils.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

std::string ServiceUnit(const std::string& unit, const std::string& form) {
    return "unit " + unit +
           ";\r\n\r\ninterface\r\n\r\nuses\r\n  Windows, SysUtils, Classes, Tamrel_NTService;\r\n\r\n"
           "type\r\n  T" +
           form +
           " = class(TNtService)\r\n  private\r\n    { Private declarations }\r\n  public\r\n"
           "    { Public declarations }\r\n  end;\r\n\r\nvar\r\n  " +
           form + ": T" + form +
           ";\r\n\r\nimplementation\r\n\r\n"
           "{$R *.DFM}\r\n\r\nend.\r\n";
}

} // namespace

TEST(NTServiceWizard, AddsAServiceModuleUnitToTheActiveProject) {
    TWizardsIde ide;
    const std::wstring project = ide.NewProject();
    ide.Host().ClearRecords();
    ide.Run(L"NT Service");
    const std::wstring unit = ide.Folder() + L"\\svc1.pas";
    // The form is named apart from its unit, so that a program that uses the unit can name it.
    const std::string text = ExpectedText(L"NTSERVICEUNIT");
    EXPECT_EQ(text, ide.Host().Buffer(unit));

    // The environment was asked in its documented order, with our answers.
    const std::vector<std::wstring> expected = {L"GetCreatorType answer=\"Form\"",
                                                L"GetExisting answer=\"False\"",
                                                L"GetFileSystem answer=\"\"",
                                                L"GetOwner answer=" + ToQuoted(project),
                                                L"GetUnnamed answer=\"True\"",
                                                L"GetAncestorName answer=\"NTService\"",
                                                L"GetImplFileName answer=" + ToQuoted(unit),
                                                L"GetIntfFileName answer=\"\"",
                                                L"GetFormName answer=\"Service1\"",
                                                L"GetMainForm answer=\"False\"",
                                                L"GetShowForm answer=\"True\"",
                                                L"GetShowSource answer=\"True\"",
                                                L"NewFormFile answer=\"nil\"",
                                                L"NewImplSource bytes=" + std::to_wstring(text.size()),
                                                L"NewIntfSource answer=\"nil\"",
                                                L"FormCreated"};
    EXPECT_EQ(expected, Calls(ide.Host(), L"creator"));
    TComPtr<IOTAProject> active = IdeService<IOTAModuleServices>()->FindModule(project).As<IOTAProject>();
    ASSERT_TRUE(active);
    ASSERT_EQ(1, active->GetUnitCount());
    EXPECT_EQ(unit, active->GetUnitFileName(0));
    EXPECT_EQ(L"TNtService", ide.Host().DesignRoot(unit)->ClassName());
    EXPECT_TRUE(ide.Host().Faults().empty());
}

// Each run names its own form: the name the first run got is not kept for the second.
TEST(NTServiceWizard, TwoRunsGiveTwoFormNames) {
    for (const bool propose : {true, false}) {
        TWizardsIde::TOptions options;
        options.ProposeClassNames = propose;
        TWizardsIde ide(options);
        ide.NewProject();
        ide.Run(L"NT Service");
        ide.Run(L"NT Service");
        const std::wstring first = ide.Host().DesignRoot(ide.Folder() + L"\\svc1.pas")->Name();
        const std::wstring second = ide.Host().DesignRoot(ide.Folder() + L"\\svc2.pas")->Name();
        // Without a proposed class name the form is the ancestor and the unit's number.
        EXPECT_EQ(propose ? L"Service1" : L"NTService1", first);
        EXPECT_EQ(propose ? L"Service2" : L"NTService2", second);
        EXPECT_EQ(ServiceUnit("svc2", WideToAnsi(second)), ide.Host().Buffer(ide.Folder() + L"\\svc2.pas"));
        EXPECT_TRUE(ide.Host().Faults().empty());
    }
}
