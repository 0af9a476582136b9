#include "ide/design/dclTamrelReg.h"

#include "ide/framework/IdeServices.h"
#include "ide/wizards/ExpTamrelInitStub.h"
#include "runtime/controls/Tamrel_AclEditor.h"
#include "runtime/controls/Tamrel_Masks.h"
#include "runtime/controls/Tamrel_PrivilegesListBox.h"
#include "runtime/controls/Tamrel_SidSourceComboBox.h"
#include "runtime/controls/Tamrel_UsersComboBox.h"
#include "runtime/controls/Tamrel_UsersListBox.h"
#include "runtime/security/Tamrel_AclCenter.h"
#include "runtime/security/Tamrel_LsaStringCenter.h"
#include "runtime/security/Tamrel_ProcessRightsCenter.h"
#include "runtime/security/Tamrel_RightsCenter.h"
#include "runtime/security/Tamrel_SecretCenter.h"
#include "runtime/security/Tamrel_SecurityDescriptorCenter.h"
#include "runtime/security/Tamrel_SidCenter.h"
#include "runtime/service/Tamrel_ComService.h"
#include "runtime/service/Tamrel_NTService.h"
#include "runtime/service/Tamrel_NetBindEvents.h"
#include "runtime/service/Tamrel_PowerEvents.h"
#include "runtime/sessions/Tamrel_LaunchFrontEnd.h"
#include "runtime/sessions/Tamrel_LogonSensor.h"
#include "runtime/sessions/Tamrel_Timer.h"
#include "runtime/sessions/Tamrel_TrayIcon.h"
#include "runtime/sessions/Tamrel_WtsSessions.h"

using namespace tamrel;

extern "C" void __stdcall Register() {
    // Service modules and data modules are designed as non-visual surfaces.
    RegisterCustomModule(TComService::StaticClassInfo());
    RegisterCustomModule(TDataModule::StaticClassInfo());
    RegisterCustomModule(TNtService::StaticClassInfo());
    // The dependencies and AppID editors look the service classes up by name.
    RegisterClass(TNtService::StaticClassInfo());
    RegisterClass(TComService::StaticClassInfo());
    RegisterComponents(L"Tamrel", {&TrkAclEditor::StaticClassInfo(), &TrkUsersListBox::StaticClassInfo(),
                                   &TrkUsersComboBox::StaticClassInfo(), &TrkSidCenter::StaticClassInfo(),
                                   &TrkSecretCenter::StaticClassInfo(), &TrkLsaUnicodeStringCenter::StaticClassInfo(),
                                   &TrkSecurityDescriptorCenter::StaticClassInfo(), &TrkAclCenter::StaticClassInfo(),
                                   &TrkAccountRightsCenter::StaticClassInfo(), &TrkTimer::StaticClassInfo(),
                                   &TrkLogonSensor::StaticClassInfo(), &TrkAccessMaskEditor::StaticClassInfo(),
                                   &TrkSpecialAccessEditor::StaticClassInfo(), &TrkSidSourceComboBox::StaticClassInfo(),
                                   &TrkProcessRightsCenter::StaticClassInfo(), &TrkPrivilegesListBox::StaticClassInfo(),
                                   &TrkTrayIcon::StaticClassInfo(), &TrkLaunchFrontEnd::StaticClassInfo(),
                                   &TrkWtsSessions::StaticClassInfo(), &TRkPowerEventHandler::StaticClassInfo(),
                                   &TRkNetBindEventHandler::StaticClassInfo()});
    // The wizards, the property editors and the two dialog components (whose palette bitmaps
    // this package carries), and the about item.
    InitTamrelExperts();
}

extern "C" void __stdcall Finalize() {
    // The environment runs this before it frees the package, outside the loader lock: the add-in
    // library's wizards and about item go while their code is still there.
    FinalizeTamrelExperts();
}
