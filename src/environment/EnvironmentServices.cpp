#include "environment/EnvironmentServices.h"

#include "platform/desktop/Usr.h"
#include "platform/base/Cp932.h"
#include "platform/desktop/MessageBox.h"
#include "platform/base/Paths.h"
#include "platform/base/PlumeError.h"
#include "platform/desktop/ProgramPaths.h"
#include "platform/desktop/ShellFolders.h"
#include "platform/desktop/UserRegistry.h"

#include <QDir>
#include <QStringDecoder>
#include <optional>

namespace plume {

const QString EnvironmentServices::kRegistryApp = QStringLiteral("TovariTools");
const QString EnvironmentServices::kRegistrySection = QStringLiteral("Path");
const QString EnvironmentServices::kDefaultSetting = QStringLiteral("%applicaion data%");

namespace {

const QString kMaker = QStringLiteral("Tovari");
const QString kUseSuffix = QStringLiteral(" を使用します");
const QString kFolderIs = QStringLiteral("ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは　");

bool isSeparator(QChar c) {
    return c == u'/' || c == pathSeparator();
}

// A folder is tested and used as written on a file system that heeds letter case; Windows
// takes the lower-cased text.
QString asWritten(const QString& setting) {
    return namesHeedLetterCase() ? setting : setting.toLower();
}

// The folder setting that the bytes of "UserData.ini" hold: CP932, or UTF-8 (as a Linux
// editor saves it) when the bytes are UTF-8 and not CP932, character references resolved
// either way. Bytes that read both ways (an accented name in UTF-8 reads as half-width
// katakana in CP932) take the reading that names an existing folder, CP932 when both or
// neither do. Bytes that are neither read as CP932 with replacement characters.
QString folderSetting(const QByteArray& bytes) {
    const std::optional<QString> cp932 = decodeCp932(bytes);
    const bool utf8 = hasNonAsciiByte(bytes) && isUtf8(bytes);
    if (!cp932 && !utf8) return resolveCharacterReferences(decodeCp932Lossy(bytes));
    const QString asCp932 = cp932 ? resolveCharacterReferences(*cp932) : QString();
    if (!utf8) return asCp932;
    const QString asUtf8 =
        resolveCharacterReferences(QStringDecoder(QStringDecoder::Utf8).decode(bytes));
    if (!cp932) return asUtf8;
    const bool cp932Names = Usr::oFso->FolderExists(asWritten(asCp932));
    return !cp932Names && Usr::oFso->FolderExists(asWritten(asUtf8)) ? asUtf8 : asCp932;
}

}  // namespace

QString EnvironmentServices::message1(const QString& iniPath, const QString& defaultFolder) {
    return iniPath + QStringLiteral(" が見つかりません") + u'\r' + kFolderIs + defaultFolder +
           kUseSuffix;
}

QString EnvironmentServices::message2(const QString& defaultFolder) {
    return QStringLiteral(" ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞが定義されていません") + u'\r' + defaultFolder +
           kUseSuffix;
}

QString EnvironmentServices::message3(const QString& setting, const QString& defaultFolder) {
    return QStringLiteral("ﾌｫﾙﾀﾞ ") + setting + QStringLiteral(" が見つかりません") + u'\r' +
           kFolderIs + defaultFolder + kUseSuffix;
}

void EnvironmentServices::recordExecutablePath(const QString& programFolder) const {
    const QString fullPath = programFolder + Usr::sExeNm + executableSuffix();
    const QString stored = GetSetting(kRegistryApp, kRegistrySection, Usr::sExeNm, QString());
    if (stored.toLower() != fullPath.toLower())
        SaveSetting(kRegistryApp, kRegistrySection, Usr::sExeNm, fullPath);
}

void EnvironmentServices::W_UserData(intptr_t nWhnd) {
    m_nWhnd = nWhnd;
    const QString programFolder = withTrailingSeparator(executableFolder());
    Usr::F_FsoChk();
    recordExecutablePath(programFolder);

    const QString sep = pathSeparator();
    const QString defaultFolder = FsGtSpFld(kCsidlAppData) + sep + kMaker + sep + Usr::sExeNm + sep;

    QString setting = kDefaultSetting;
    const QString besideIni = programFolder + QStringLiteral("UserData.ini");
    // An installed copy (PREFIX/bin/plume) has none beside it: the package's own, under
    // PREFIX/share/plume, chooses the folder then, so that no start asks for one.
    const QString installedIni =
        joinPath(installedDataFolder(), QStringLiteral("UserData.ini"));
    const QString iniPath = !Usr::oFso->FileExists(besideIni) &&
                                    Usr::oFso->FileExists(installedIni)
                                ? installedIni
                                : besideIni;
    if (Usr::oFso->FileExists(iniPath)) {
        const QByteArray bytes = Usr::oFso->readAll(iniPath);
        if (FileSystemObject::atEndOfLine(bytes))
            showMessage(message2(defaultFolder));
        else
            setting = folderSetting(bytes);
    } else {
        showMessage(message1(iniPath, defaultFolder));
    }

    // The keywords match without regard to case.
    const QString folder = asWritten(setting);
    const QString lowered = setting.toLower();

    if (lowered == u"%app%") {
        Usr::sUsrFld = programFolder + QStringLiteral("usData") + sep;
    } else if (lowered == u"%usr%" || lowered == kDefaultSetting) {
        Usr::sUsrFld = defaultFolder;
    } else if (lowered == u"%doc" || lowered == u"%my document%") {
        Usr::sUsrFld = FsGtSpFld(kCsidlPersonal) + sep + kMaker + sep + Usr::sExeNm + sep;
    } else if (lowered.startsWith(u'%')) {
        Usr::sUsrFld = defaultFolder;
    } else if (Usr::oFso->FolderExists(folder)) {
        // Every path Plume makes from it (working folder, files, messages) has the system's
        // separators, however the folder was written.
        Usr::sUsrFld = withTrailingSeparator(QDir::toNativeSeparators(folder));
    } else {
        showMessage(message3(folder, defaultFolder));
        Usr::sUsrFld = defaultFolder;
    }

    if (!Usr::oFso->FolderExists(Usr::sUsrFld)) F_CreateFld(Usr::sUsrFld);
}

QString EnvironmentServices::FsGtSpFld(int32_t nFlg) const {
    return specialFolderPath(nFlg);
}

void EnvironmentServices::F_ChkSb(const QString& sPh, const QStringList& Ary) {
    Usr::F_FsoChk();
    for (const QString& name : Ary) {
        const QString path = sPh + name;
        if (!Usr::oFso->FolderExists(path)) Usr::oFso->CreateFolder(path);
    }
}

void EnvironmentServices::F_CreateFld(const QString& sFd) {
    Usr::F_FsoChk();
    if (Usr::oFso->FolderExists(sFd)) return;
    const QString path = withTrailingSeparator(sFd);
    // Every separator after the first ends a level: /a/b/ gives /a, then /a/b; the text
    // before the first separator (a drive, or nothing on Linux) is never created.
    bool first = true;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isSeparator(path[i])) continue;
        if (first) {
            first = false;
            continue;
        }
        const QString level = path.left(i);
        if (level.isEmpty() || Usr::oFso->FolderExists(level)) continue;
        try {
            Usr::oFso->CreateFolder(level);
        } catch (const PlumeError&) {
            // A level that cannot be created is passed over; the deeper ones fail too.
        }
    }
}

}  // namespace plume
