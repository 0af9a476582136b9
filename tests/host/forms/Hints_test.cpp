// Hints: the tooltip of a form holds a tool for each control whose hint shows, with its text.
#include "host/forms/Hints.h"

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "tests/support/FormsTestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>

using namespace tamrel;
using namespace tamrel::test;

namespace {

std::map<HWND, std::wstring> Tools(HWND tip) {
    std::map<HWND, std::wstring> tools;
    const int count = static_cast<int>(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        TTTOOLINFOW tool = {};
        tool.cbSize = sizeof tool;
        tool.lpszText = text;
        if (SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool))) tools[reinterpret_cast<HWND>(tool.uId)] = text;
    }
    return tools;
}

TEST(HintsTest, ControlsWhoseHintShowsGetATool) {
    TOwned<TForm> form(Create<TForm>(nullptr));
    auto add = [&](const wchar_t* hint, bool show, TWinControl* parent) {
        TButton* b = Create<TButton>(form.get());
        b->SetParent(parent);
        b->SetHint(hint);
        b->SetShowHint(show);
        return b;
    };
    TPanel* panel = Create<TPanel>(form.get());
    panel->SetParent(form.get());
    TButton* shown = add(L"Shown", true, form.get());
    TButton* nested = add(L"Nested", true, panel);
    add(L"Not shown", false, form.get());
    add(L"", true, form.get());
    form->Show();
    HWND tip = ShowControlHints(form.get());
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(Tools(tip), (std::map<HWND, std::wstring>{{shown->Handle(), L"Shown"}, {nested->Handle(), L"Nested"}}));
    // Again after a change: the same window, the new texts, no tool twice.
    shown->SetHint(L"Changed");
    form->SetShowHint(true);
    EXPECT_EQ(ShowControlHints(form.get()), tip);
    EXPECT_EQ(Tools(tip).size(), 3u);
    EXPECT_EQ(Tools(tip)[shown->Handle()], L"Changed");
}

} // namespace
