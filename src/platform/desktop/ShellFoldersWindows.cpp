#include "platform/desktop/ShellFolders.h"

#include <shlobj.h>

namespace plume {

QString specialFolderPath(int csidl) {
    if (csidl != kCsidlAppData && csidl != kCsidlPersonal && csidl != kCsidlSendTo) return {};
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
    QString path = QString::fromWCharArray(buffer);
    // The shell ends only a drive's root with a separator ("D:\"); Plume joins the
    // separator itself.
    if (path.endsWith(u'\\')) path.chop(1);
    return path;
}

}  // namespace plume
