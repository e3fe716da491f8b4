#pragma once

#include <QString>

namespace plume {

// Shell special-folder ids (their published CSIDL values) that Plume asks for.
enum SpecialFolderId : int {
    kCsidlPersonal = 5,  // the user's documents
    kCsidlSendTo = 9,    // the "Send to" menu's folder
    kCsidlAppData = 26,  // per-user application data
};

// The folder's path without a trailing separator, or "" when the system has no such folder.
// Windows asks the shell (SHGetFolderPath). Linux: 26 is $XDG_DATA_HOME (or ~/.local/share),
// 5 the XDG documents folder, 9 none.
QString specialFolderPath(int csidl);

}  // namespace plume
