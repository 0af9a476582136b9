// The "Service with DCOM server" wizard: the unit it adds and the fresh AppID of the module being
// designed.
#include "tests/ide/wizards/WizardsTestSupport.h"

#include "tests/support/TestSupport.h"

#include "host/SysUtils.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// The AppID the wizard set through the form editor, as the environment recorded it.
std::wstring RecordedAppID(const TIdeHost& host, const std::wstring& form) {
    std::wstring value;
    for (const TIdeRecord& r : host.Records())
        if (r.Area == L"form" && r.Call == L"SetPropByName" && r.Field(L"name") == L"AppID" &&
            r.Field(L"component") == form && r.Result == L"ok")
            value = r.Field(L"value");
    return value;
}

} // namespace

TEST(ComServiceWizard, AddsAComServiceUnitWhoseDesignedModuleGetsAFreshAppID) {
    TWizardsIde ide;
    ide.NewProject();
    ide.Run(L"Service with DCOM server");
    ide.Run(L"Service with DCOM server");
    const std::wstring unit = ide.Folder() + L"\\svc1.pas";
    EXPECT_EQ(ExpectedText(L"COMSERVICEUNIT"), ide.Host().Buffer(unit));

    std::wstring first, second;
    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    for (const auto& [file, appId] :
         {std::pair{unit, &first}, std::pair{ide.Folder() + L"\\svc2.pas", &second}}) {
        TComPtr<IOTAFormEditor> form = modules->FindModule(file)->GetModuleFileEditor(1).As<IOTAFormEditor>();
        ASSERT_TRUE(form);
        ASSERT_TRUE(form->GetRootComponent()->GetPropValueByName(L"AppID", *appId));
        // In braces, in the registry's form, and the one the wizard set (a module being designed
        // makes one of its own when it is first read without one).
        EXPECT_EQ(38u, appId->size());
        EXPECT_EQ(L'{', appId->front());
        EXPECT_NO_THROW(StringToGUID(*appId));
        EXPECT_EQ(*appId, RecordedAppID(ide.Host(), ide.Host().DesignRoot(file)->Name()));
    }
    EXPECT_NE(first, second);
    EXPECT_NE(L"{00000000-0000-0000-0000-000000000000}", first);
    EXPECT_TRUE(ide.Host().Faults().empty());
}
