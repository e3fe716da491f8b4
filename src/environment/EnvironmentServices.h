#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace plume {

// The environment services of yIni: the user data folder, folder creation and the shell's
// special folders. Failures of the file-system object or the registry rise as PlumeError,
// except in F_CreateFld, which passes over a level it cannot create.
class EnvironmentServices {
  public:
    // The application name and section of the executable-path setting.
    static const QString kRegistryApp;
    static const QString kRegistrySection;
    // The folder setting when "UserData.ini" chooses nothing.
    static const QString kDefaultSetting;

    virtual ~EnvironmentServices() = default;

    // Resolves the user data folder from "UserData.ini" beside the executable (or, when
    // there is none, the installed copy's under installedDataFolder()), sets
    // Usr::sUsrFld (ending with a separator) and creates the folder when missing. Records the
    // executable's full path in the per-user registry when it changed.
    void W_UserData(intptr_t nWhnd);

    // The path of a special folder (a CSIDL id) without a trailing separator, or "".
    QString FsGtSpFld(int32_t nFlg) const;

    // Creates each sub-folder sPh + name (one level) that does not exist yet.
    void F_ChkSb(const QString& sPh, const QStringList& Ary);

    // Creates a folder path level by level, from the outside in, passing over failures.
    void F_CreateFld(const QString& sFd);

    // The owner window of the shell calls, as W_UserData stored it.
    intptr_t nWhnd() const { return m_nWhnd; }

    // The messages W_UserData may show, built exactly as the user sees them.
    static QString message1(const QString& iniPath, const QString& defaultFolder);
    static QString message2(const QString& defaultFolder);
    static QString message3(const QString& setting, const QString& defaultFolder);

  private:
    // Records the executable's path in the per-user registry unless only its case differs.
    void recordExecutablePath(const QString& programFolder) const;

    intptr_t m_nWhnd = 0;
};

}  // namespace plume
