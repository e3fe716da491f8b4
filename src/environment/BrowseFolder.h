#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace plume {

// What W_BrwFld asks of the folder-browse dialog.
struct FolderDialogRequest {
    QWidget* owner = nullptr;
    QString caption;
    QString startFolder;  // empty: the dialog's own default
};

// Answers the folder-browse dialog in place of the user: the chosen folder, or "" for a
// cancel. Tests install one, the way KeePassXC's FileDialog::setNextFileName answers a file
// dialog, so that W_BrwFld runs to the end without a modal window.
using FolderDialogAnswer = std::function<QString(const FolderDialogRequest& request)>;

// Installs an answer for every following dialog; an empty function restores the real one.
void setFolderDialogAnswer(FolderDialogAnswer answer);

// The dialog's result as W_BrwFld hands it back: "" for a cancel or for anything that is no
// existing folder; otherwise the folder's clean path with native separators and no separator
// at its end, except for a root ("/", or "C:\" on Windows).
QString normaliseChosenFolder(const QString& chosen);

}  // namespace plume

namespace Usr {

// The title of the folder-browse dialog ("specifying the folder").
inline const QString kBrwFldCaption = QStringLiteral("ﾌｫﾙﾀﾞの指定");

// Lets the user choose a folder in a modal folder-browse dialog over `owner`. On entry s is
// the folder to start at (may be empty); when that folder does not exist s is cleared at
// once, before the dialog opens. On return s holds the chosen folder, or "" when the user
// cancelled or chose nothing usable. Errors of the file-system object rise to the caller.
void W_BrwFld(QString& s, QWidget* owner = nullptr);

}  // namespace Usr
