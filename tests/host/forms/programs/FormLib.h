// A library that defines a form class and carries its stored form, as the run-time library
// does with its dialogs.
#pragma once

#include "host/forms/Forms.h"

#ifdef FORMLIB_DLL
#define FORMLIB_API __declspec(dllexport)
#else
#define FORMLIB_API __declspec(dllimport)
#endif

namespace tamrel {
class TButton;

class FORMLIB_API TLibForm : public TForm {
    TAMREL_CLASS(TLibForm, TForm)
public:
    explicit TLibForm(TComponent* owner) : TForm(owner) {}
    TButton* CloseButton = nullptr;
};
} // namespace tamrel

extern "C" FORMLIB_API tamrel::TLibForm* CreateLibForm();
