// AclViewerSample: reads a file's security descriptor (owner, group, DACL, SACL), shows it as
// text, applies it to another file, and saves and loads it as a ".security" file.
#include "fmMain.h"

using namespace tamrel;

int wmain() {
    HostApplication->Initialize();
    TAclViewerForm* form = nullptr;
    HostApplication->CreateForm(form);
    HostApplication->Run();
    return 0;
}
