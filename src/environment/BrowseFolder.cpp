#include "environment/BrowseFolder.h"

#include "platform/desktop/Usr.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace plume {
namespace {

FolderDialogAnswer& folderDialogAnswer() {
    static FolderDialogAnswer answer;
    return answer;
}

QString runFolderDialog(const FolderDialogRequest& request) {
    if (const FolderDialogAnswer& answer = folderDialogAnswer()) return answer(request);
    // Only folders of the file system can be chosen, as the shell's dialog with
    // BIF_RETURNONLYFSDIRS allows; a cancel gives "".
    return QFileDialog::getExistingDirectory(request.owner, request.caption, request.startFolder,
                                             QFileDialog::ShowDirsOnly);
}

}  // namespace

void setFolderDialogAnswer(FolderDialogAnswer answer) {
    folderDialogAnswer() = std::move(answer);
}

QString normaliseChosenFolder(const QString& chosen) {
    if (chosen.isEmpty()) return {};
    // cleanPath drops a separator at the end except for a root, and folds "." and "..".
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(chosen));
    // A dialog answer that names no existing folder (a virtual item, or one removed while
    // the dialog was open) counts as no path at all.
    if (!QFileInfo(clean).isDir()) return {};
    return QDir::toNativeSeparators(clean);
}

}  // namespace plume

namespace Usr {

void W_BrwFld(QString& s, QWidget* owner) {
    if (!s.isEmpty()) {
        F_FsoChk();
        // The caller's variable is cleared here already, before the dialog opens.
        if (!oFso->FolderExists(s)) s.clear();
    }
    const plume::FolderDialogRequest request{owner, kBrwFldCaption, s};
    s = plume::normaliseChosenFolder(plume::runFolderDialog(request));
}

}  // namespace Usr
