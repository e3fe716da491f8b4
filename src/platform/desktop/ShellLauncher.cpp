#include "platform/desktop/ShellLauncher.h"

#include "platform/desktop/Shortcut.h"

#include <QDir>
#include <QRegularExpression>

namespace plume {
namespace {

ShellLaunchSink& sink() {
    static ShellLaunchSink s;
    return s;
}

bool isShortcutFile(const QString& file) {
    return file.endsWith(QStringLiteral(".lnk"), Qt::CaseInsensitive);
}

}  // namespace

void setShellLaunchSink(ShellLaunchSink s) {
    sink() = std::move(s);
}

QUrl urlForTarget(const QString& target) {
    // Two letters at least, so that a drive letter ("C:\...") is not taken for a scheme.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(target).hasMatch()) return QUrl(target);
    return QUrl::fromLocalFile(QDir::fromNativeSeparators(target));
}

bool shellExecute(intptr_t ownerWindow, ShellVerb verb, const QString& file) {
    if (file.isEmpty()) return false;
    QString target = file;
    // The launch names what a shortcut points at, as the desktop opens it.
    if (isShortcutFile(file)) {
        const std::optional<QString> linked = readShortcutTarget(file);
        if (!linked) return false;
        target = *linked;
    }
    const ShellLaunch launch{verb, urlForTarget(target), ownerWindow};
    if (sink()) return sink()(launch);
    return launchOnDesktop(launch, file);
}

}  // namespace plume
