#pragma once

#include "platform/desktop/FileSystemObject.h"

#include <QString>
#include <memory>

// The module Usr: variables shared by the whole program for one run.
namespace Usr {

// The user data folder; empty until yIni's W_UserData has run, then ending with a separator.
extern QString sUsrFld;

// The executable's base name, without folder and without ".exe"; set at start-up.
extern QString sExeNm;

// The shared file-system object; empty until F_FsoChk first runs, released at shut-down.
extern std::shared_ptr<plume::FileSystemObject> oFso;

// Makes sure that oFso exists.
void F_FsoChk();

}  // namespace Usr
