#include "environment/ShellServices.h"

#include "platform/base/Paths.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/ProgramPaths.h"
#include "platform/desktop/ShellFolders.h"
#include "platform/desktop/ShellLauncher.h"
#include "platform/desktop/Shortcut.h"
#include "platform/desktop/Usr.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <exception>

namespace plume {

QString ShellServices::helpFolder() {
    const QString beside = joinPath(executableFolder(), QStringLiteral("help"));
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = joinPath(installedDataFolder(), QStringLiteral("help"));
    return QFileInfo(installed).isDir() ? installed : beside;
}

QString ShellServices::helpBaseAddress() {
    const QString folder = withTrailingSeparator(helpFolder());
    return QUrl::fromLocalFile(QDir::fromNativeSeparators(folder)).toString(QUrl::FullyEncoded);
}

QString ShellServices::sendToMessage(const QString& programPath, const QString& sendToFolder) {
    return programPath + QStringLiteral(" のｼｮｰﾄｶｯﾄを ") + sendToFolder +
           QStringLiteral(" に作成しました");
}

QString ShellServices::sendToFolder() const {
    return FsGtSpFld(kCsidlSendTo);
}

bool ShellServices::writeAndOpen(const QString& shortcutPath, const QString& target) {
    // The file the platform keeps this target in (on Windows a web address's ends ".url").
    const QString file = shortcutFileFor(shortcutPath, target);
    if (!writeShortcut(file, target)) return false;
    return shellExecute(nWhnd(), ShellVerb::Open, file);
}

bool ShellServices::W_Help(const QString& sJob) {
    try {
        QString page = sJob.toLower();
        if (!page.contains(u'.')) page += QStringLiteral(".htm");
        return writeAndOpen(Usr::sUsrFld + Usr::sExeNm + QStringLiteral("_help.lnk"),
                            helpBaseAddress() + page);
    } catch (const std::exception&) {
        // Any failure ends the operation without a message, as on the shell.
        return false;
    }
}

void ShellServices::W_HtmView(const QString& sUrl) {
    try {
        writeAndOpen(
            Usr::sUsrFld + QStringLiteral("Wrk") + pathSeparator() + QStringLiteral("htm_view.lnk"),
            sUrl);
    } catch (const std::exception&) {
    }
}

void ShellServices::W_SendTo() {
    try {
        const QString folder = sendToFolder();
        // No "Send to" folder (always so on Linux): a shortcut at the root of the file system
        // would help nobody, so nothing is written and nothing is shown.
        if (folder.isEmpty()) return;
        const QString programPath = joinPath(executableFolder(), Usr::sExeNm + executableSuffix());
        if (!writeShortcut(folder + pathSeparator() + Usr::sExeNm + QStringLiteral(".lnk"),
                           programPath))
            return;
        showMessage(sendToMessage(programPath, folder));
    } catch (const std::exception&) {
    }
}

bool ShellServices::W_ExpFd(const QString& sFld, bool bOpn) {
    if (sFld.isEmpty()) return true;
    if (bOpn) return shellExecute(nWhnd(), ShellVerb::Open, sFld);
    Usr::F_FsoChk();
    if (!Usr::oFso->FolderExists(sFld)) return true;
    return shellExecute(nWhnd(), ShellVerb::Explore, sFld);
}

}  // namespace plume
