// Prints what the version tests answer in this process, on one line:
//   NT=1 2000=1 XP=1 Vista=0 Wow64=0 Version=51 Platform=2
#include "runtime/service/base/Tamrel_WinVer.h"

#include "host/SysUtils.h"

#include <cstdio>

int main() {
    using namespace tamrel;
    try {
        printf("NT=%d 2000=%d XP=%d Vista=%d Wow64=%d Version=%d Platform=%lu\n", IsWinNT(), IsWin2000(), IsWinXP(),
               IsVista(), IsWow64(), static_cast<int>(VersionNumber()), VersionRecord().dwPlatformId);
        return 0;
    } catch (const Exception& e) {
        printf("error: %s\n", e.what());
        return 1;
    }
}
