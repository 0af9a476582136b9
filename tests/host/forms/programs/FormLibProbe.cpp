// Makes the form of the form library and says what it holds: the stored form is found in the
// module that defines the class, not in this program.
#include "tests/host/forms/programs/FormLib.h"

#include "host/forms/StdCtrls.h"

#include <cstdio>
#include <string>

using namespace tamrel;

int main() {
    try {
        TLibForm* form = CreateLibForm();
        std::string caption = WideToUtf8(form->Caption());
        std::printf("caption=%s\n", caption.c_str());
        if (form->CloseButton)
            std::printf("button=%s;parent=%s\n", WideToUtf8(form->CloseButton->Caption()).c_str(),
                        WideToUtf8(form->CloseButton->Parent()->Name()).c_str());
        if (!FindResourceW(GetModuleHandleW(nullptr), L"TLIBFORM", MAKEINTRESOURCEW(10)))
            std::printf("program has no stored form\n");
        Free(form);
        return 0;
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
}
