// A package whose palette bitmaps are wrong: one class has none, another one of 16 by 16.
#include "host/Classes.h"
#include "ide/framework/IdeServices.h"

using namespace tamrel;

namespace tamrel::probe {

class TProbeUnpictured : public TComponent {
    TAMREL_CLASS(TProbeUnpictured, TComponent)
public:
    explicit TProbeUnpictured(TComponent* owner) : TComponent(owner) {}
};
TAMREL_IMPLEMENT_CLASS(TProbeUnpictured) {}

class TProbeSmallPicture : public TComponent {
    TAMREL_CLASS(TProbeSmallPicture, TComponent)
public:
    explicit TProbeSmallPicture(TComponent* owner) : TComponent(owner) {}
};
TAMREL_IMPLEMENT_CLASS(TProbeSmallPicture) {}

} // namespace tamrel::probe

extern "C" void __stdcall Register() {
    RegisterComponents(L"Probe", {&probe::TProbeUnpictured::StaticClassInfo(), &probe::TProbeSmallPicture::StaticClassInfo()});
}
