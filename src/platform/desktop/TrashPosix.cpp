#include "platform/desktop/Trash.h"

#include "platform/base/AtomicFile.h"
#include "platform/base/Paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace plume {

namespace {

struct Stat {
    bool ok = false;
    struct stat st {};
};

Stat lstatOf(const QString& path) {
    Stat s;
    s.ok = ::lstat(QFile::encodeName(path).constData(), &s.st) == 0;
    return s;
}

// A folder of the trash: made with mode 0700 when missing, and only a real folder (no link)
// that belongs to the user counts.
bool ownFolder(const QString& path, bool create) {
    Stat s = lstatOf(path);
    if (!s.ok && create) {
        if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
            return false;
        s = lstatOf(path);
    }
    return s.ok && S_ISDIR(s.st.st_mode) && s.st.st_uid == ::getuid();
}

// A trash folder with its "files" and "info", made as needed.
bool usableTrash(const QString& trash) {
    return ownFolder(trash, true) && ownFolder(trash + QStringLiteral("/files"), true) &&
           ownFolder(trash + QStringLiteral("/info"), true);
}

QString homeTrash() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is not valid and counts as unset.
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    QDir().mkpath(data);
    return data + QStringLiteral("/Trash");
}

// The top folder of the file system that holds `folder`: the highest folder above it on the
// same device.
QString topFolder(const QString& folder, dev_t device) {
    QString top = QDir::cleanPath(folder);
    while (top != QStringLiteral("/")) {
        const QString parent = QFileInfo(top).path();
        const Stat up = lstatOf(parent);
        if (!up.ok || up.st.st_dev != device) break;
        top = parent;
    }
    return top;
}

// The trash at a file system's top folder: $topdir/.Trash/$uid when the administrator made
// $topdir/.Trash (a real folder with the sticky bit), otherwise $topdir/.Trash-$uid.
QString topTrash(const QString& top) {
    const QString uid = QString::number(::getuid());
    const QString shared = joinPath(top, QStringLiteral(".Trash"));
    const Stat s = lstatOf(shared);
    if (s.ok && S_ISDIR(s.st.st_mode) && (s.st.st_mode & S_ISVTX)) {
        const QString own = shared + u'/' + uid;
        if (usableTrash(own)) return own;
    }
    const QString own = joinPath(top, QStringLiteral(".Trash-") + uid);
    return usableTrash(own) ? own : QString();
}

// Reserves an information file under a name that neither "info" nor "files" has, and writes
// it whole; gives the name, or nothing and the error number in `error`.
QString reserveInfo(const QString& trash, const QString& name, const QByteArray& info,
                    int& error) {
    const QFileInfo parts(name);
    const QString stem = parts.completeBaseName();
    const QString suffix = parts.suffix().isEmpty() ? QString() : u'.' + parts.suffix();
    const QString infoFolder = trash + QStringLiteral("/info/");
    AtomicFile file(infoFolder + name + QStringLiteral(".trashinfo"));
    if (!file.open() || file.write(info) != info.size()) {
        error = file.systemError();
        return {};
    }
    for (int n = 1; n < 10000; ++n) {
        const QString candidate =
            n == 1 ? name : QStringLiteral("%1.%2%3").arg(stem).arg(n).arg(suffix);
        if (lstatOf(trash + QStringLiteral("/files/") + candidate).ok) continue;
        if (file.commitWithoutReplacing(infoFolder + candidate + QStringLiteral(".trashinfo")))
            return candidate;
        if (file.systemError() != EEXIST) break;
    }
    error = file.systemError();
    return {};
}

}  // namespace

Expected<TrashedFile> moveToTrash(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const Stat file = lstatOf(absolute);
    if (!file.ok || S_ISDIR(file.st.st_mode)) return trashFailure(path);

    // The home trash takes files of its own file system; any other file goes to the trash of
    // its file system's top folder, since a trash never takes a copy.
    QString trash = homeTrash();
    QString original = absolute;
    const bool home = usableTrash(trash) && lstatOf(trash).st.st_dev == file.st.st_dev;
    if (!home) {
        const QString top = topFolder(QFileInfo(absolute).path(), file.st.st_dev);
        trash = topTrash(top);
        if (trash.isEmpty()) return trashFailure(path);
        original = QDir(top).relativeFilePath(absolute);
    }
    int error = 0;
    const QString name = reserveInfo(trash, QFileInfo(absolute).fileName(),
                                     trashInfoText(original, QDateTime::currentDateTime()), error);
    if (name.isEmpty()) return trashFailure(path, fileErrorCause(error));
    const QString target = trash + QStringLiteral("/files/") + name;
    if (!renameWithoutReplacing(absolute, target)) {
        error = errno;
        QFile::remove(trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"));
        return trashFailure(path, fileErrorCause(error));
    }
    return Expected<TrashedFile>::success({trash, target});
}

}  // namespace plume
