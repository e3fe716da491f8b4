// The main window's habits beyond its menus, as clipboard keepers and file managers taught
// them: keys that work wherever the focus is, the trash, dragging drawings out, dropping
// metafiles in, and the clipboard watch.
#include "environment/YIni.h"
#include "main_window/ClipboardWatch.h"
#include "main_window/DroppedFiles.h"
#include "main_window/NumberedFiles.h"
#include "main_window/PreviewLoad.h"
#include "main_window/fmMain.h"
#include "platform/base/Paths.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/desktop/Trash.h"
#include "platform/picture/PictureIo.h"
#include "platform/widgets/DragSource.h"
#include "platform/widgets/FileListBox.h"
#include "platform/widgets/PreviewSurface.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QShortcut>

namespace plume {
namespace {

const QString kGroupClipboard = QStringLiteral("CLIPBOARD");
const QString kKeyWatch = QStringLiteral("WATCH");
const QString kCreated = QStringLiteral(" を作成しました");

// The entry that takes the selection when the one at `row` leaves the list: the next one,
// or the one before when it was the last.
QString entryAfter(const FileListBox& list, int row) {
    if (row + 1 < list.listCount()) return list.entry(row + 1);
    return row > 0 ? list.entry(row - 1) : QString();
}

// A drop from outside Plume that names files; Plume's own drags are not taken back.
bool acceptsDrop(const QDropEvent& event) {
    return !event.source() && event.mimeData() && !event.mimeData()->urls().isEmpty();
}

}  // namespace

void fmMain::createHabits() {
    const auto key = [this](QKeySequence::StandardKey which, auto&& run) {
        auto* shortcut = new QShortcut(which, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, run);
    };
    key(QKeySequence::Paste, [this] { mnFile_Click(0); });
    key(QKeySequence::Copy, [this] { mnFile_Click(1); });
    key(QKeySequence::Refresh, [this] { ReList(); });
    key(QKeySequence::Delete, [this] { trashSelected(); });

    m_File1->setDragOffer([this](const QString& name) { return dragOfFile(name); });
    new DragSource(
        m_pcImg, [this] { return dragOfPreview(); },
        [this] {
            const QImage& shown = m_pcImg->shownImage();
            if (shown.isNull()) return QPixmap();
            return QPixmap::fromImage(
                shown.scaled(128, 128, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        });
    setAcceptDrops(true);

    m_watch = new ClipboardWatch(
        this, [this](const PicturePtr& picture) { return importPicture(picture); },
        [this](const QString& text) { showStatus(text); }, makeClipboardReader());
    // After the folder menu's own entries, which keep their places.
    m_mnJb[1]->addSeparator();
    m_mnWatch = m_mnJb[1]->addAction(QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞのﾒﾀ画像を自動で取込"));
    m_mnWatch->setObjectName(QStringLiteral("mnWatch"));
    m_mnWatch->setCheckable(true);
    connect(m_mnWatch, &QAction::triggered, this, &fmMain::setClipboardWatch);
}

void fmMain::loadHabits() {
    // The clipboard watch keeps a group of its own, which the window's other groups never
    // touch; it is written only when the user turns the watch on or off.
    const auto yIni = YIni::take();
    yIni->GetGtx(kGroupClipboard);
    const bool watch = yIni->vGtVal(kKeyWatch, false).truth();
    m_mnWatch->setChecked(watch);
    m_watch->setOn(watch);
}

void fmMain::trashSelected() {
    const int row = m_File1->listIndex();
    if (row < 0) return;
    const QString name = m_File1->fileName();
    const QString path = joinPath(m_File1->path(), name);
    const QString next = entryAfter(*m_File1, row);
    const Expected<TrashedFile> trashed = moveToTrash(path);
    if (!trashed) {
        showStatus(trashed.error());
        return;
    }
    selectAndShow(next);
    // The verb comes before the trash's place, so that a narrow status line still says what
    // happened.
    showStatus(
        QStringLiteral("%1 をごみ箱に移動しました (%2)").arg(name, trashed.value().trashFolder));
}

void fmMain::selectAndShow(const QString& name) {
    // The list is read anew; the named file is selected and shown, as a click shows it.
    m_sCurFL.clear();
    ReList();
    for (int i = 0; i < m_File1->listCount() && !name.isEmpty(); ++i) {
        if (m_File1->entry(i) == name) {
            m_File1->setListIndex(i);
            return;
        }
    }
    // Nothing is left to select: nothing is shown either.
    showPicture(nullptr);
}

QMimeData* fmMain::dragOfFile(const QString& name) const {
    const QString path = joinPath(m_File1->path(), name);
    // A drag starts in the window's thread: a file that takes long to load goes as the file
    // alone, which every program that takes files reads itself.
    if (!loadsAtOnce(path)) return offerForFile(path, nullptr).release();
    const Expected<PicturePtr> picture = loadPicture(path);
    return offerForFile(path, picture ? picture.value() : nullptr).release();
}

QMimeData* fmMain::dragOfPreview() const {
    m_load->finish();
    const PicturePtr& picture = m_pcImg->picture();
    if (!picture) return nullptr;
    // The drawing shown is the current file's; the file goes along while it is there.
    const QString path = joinPath(m_File1->path(), m_sCurFL);
    if (!m_sCurFL.isEmpty() && QFileInfo(path).isFile())
        return offerForFile(path, picture).release();
    Expected<std::unique_ptr<QMimeData>> offer = offerForPicture(*picture);
    return offer ? offer.value().release() : nullptr;
}

void fmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptsDrop(*event)) event->acceptProposedAction();
}

void fmMain::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptsDrop(*event)) event->acceptProposedAction();
}

void fmMain::dropEvent(QDropEvent* event) {
    if (!acceptsDrop(*event)) return;
    event->acceptProposedAction();
    importDropped(event->mimeData()->urls());
}

Expected<QString> fmMain::storeNumbered(const QByteArray& bytes) {
    const Expected<int16_t> number = GetNextNo();
    if (!number) {
        sayNumberingFailed();
        return Expected<QString>::failure(number.error());
    }
    const Expected<QString> stored =
        storeNewNumberedFile(m_sWkFld, number.value(), bytes, &m_takenNames);
    if (!stored) showStatus(stored.error());
    return stored;
}

void fmMain::importDropped(const QList<QUrl>& urls) {
    QStringList created;
    QString refused;
    PicturePtr last;
    bool failed = false;
    for (const QUrl& url : urls) {
        DroppedItem item = readDropped(url);
        // A folder changes nothing: it is neither imported nor a new working folder.
        if (item.kind == DroppedItem::Kind::Folder) continue;
        if (item.kind == DroppedItem::Kind::Refused) {
            if (refused.isEmpty()) refused = item.name;
            continue;
        }
        const Expected<QString> stored = storeNumbered(item.bytes);
        if (!stored) {
            // The status line says why; what was made before stays.
            failed = true;
            break;
        }
        created.append(joinPath(m_sWkFld, stored.value()));
        m_sCurFL = stored.value();
        last = item.picture;
    }
    if (last) showPicture(last);
    if (!failed && (!created.isEmpty() || !refused.isEmpty()))
        showPictureStatus(dropStatus(created, refused));
    if (!created.isEmpty()) ReList();
}

bool fmMain::importPicture(const PicturePtr& picture) {
    const Expected<QString> stored = storeNumbered(picture->emfBytes());
    if (!stored) return false;
    showPicture(picture);
    m_sCurFL = stored.value();
    showPictureStatus(joinPath(m_sWkFld, m_sCurFL) + kCreated);
    // The clipboard keeps the drawing: the user copied it to paste it somewhere.
    ReList();
    return true;
}

void fmMain::setClipboardWatch(bool on) {
    m_mnWatch->setChecked(on);
    m_watch->setOn(on);
    const auto yIni = YIni::take();
    yIni->GetGtx(kGroupClipboard);
    yIni->SetVal(kKeyWatch, on);
    yIni->SetGtx();
}

bool fmMain::clipboardWatch() const {
    return m_watch->isOn();
}

}  // namespace plume
