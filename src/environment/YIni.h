#pragma once

#include "environment/ShellServices.h"
#include "settings/SettingsStore.h"

#include <memory>

namespace plume {

// yIni: the program's one service object. It carries the settings store (GetTxt, SetTxt,
// GetGtx, vGtVal, SetVal, SetGtx), the environment services (W_UserData, FsGtSpFld,
// F_ChkSb, F_CreateFld) and, built on them, the shell operations (W_Help, W_HtmView,
// W_SendTo, W_ExpFd).
class YIni final : public SettingsStore, public ShellServices {
  public:
    // The shared instance, created on first use.
    static std::shared_ptr<YIni> take();
    // Releases the shared instance (the main window's unload); the next take() makes anew.
    static void release();
};

}  // namespace plume
