#include "platform/widgets/FileListBox.h"

#include "platform/base/Paths.h"

#include <QDir>
#include <QMouseEvent>

namespace plume {

QStringList listFolderFiles(const QString& folder, const QString& pattern) {
    if (folder.isEmpty()) return {};
    QDir dir(folder);
    if (!dir.exists()) return {};
    // Without QDir::CaseSensitive the name filter ignores letter case.
    return dir.entryList({pattern}, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
}

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The selection, not the current row: Qt moves the current row on its own (focus, model
    // resets) without anything being chosen.
    connect(this, &QListWidget::itemSelectionChanged, this, &FileListBox::selectionMoved);
}

void FileListBox::selectionMoved() {
    const QList<QListWidgetItem*> selected = selectedItems();
    const int now = selected.isEmpty() ? -1 : row(selected.first());
    if (now == m_selectedRow) return;
    m_selectedRow = now;
    if (now >= 0) emit clicked();
}

void FileListBox::clearSelectionQuietly() {
    const QSignalBlocker blocker(this);
    selectionModel()->clear();
    m_selectedRow = -1;
}

void FileListBox::setPath(const QString& path) {
    m_path = path;
    refresh();
}

void FileListBox::setPattern(const QString& pattern) {
    m_pattern = pattern;
    refresh();
}

bool FileListBox::setPathAndPattern(const QString& path, const QString& pattern) {
    m_path = path;
    m_pattern = pattern;
    return refresh();
}

bool FileListBox::refresh() {
    // A path longer than the system takes names no folder (a cleaned form of it might).
    const bool tooLong = pathTooLong(m_path);
    const QStringList names = tooLong ? QStringList() : listFolderFiles(m_path, m_pattern);
    {
        const QSignalBlocker blocker(this);
        clear();
        addItems(names);
    }
    clearSelectionQuietly();
    return !tooLong && QDir(m_path).exists();
}

QString FileListBox::entry(int index) const {
    const QListWidgetItem* it = item(index);
    return it ? it->text() : QString();
}

void FileListBox::setListIndex(int index) {
    if (index < 0 || index >= count()) {
        clearSelectionQuietly();
        return;
    }
    const int before = m_selectedRow;
    setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    // Setting the selection always counts, as choosing it again does.
    if (before == index) emit clicked();
}

QString FileListBox::fileName() const {
    return entry(m_selectedRow);
}

void FileListBox::mousePressEvent(QMouseEvent* event) {
    const int before = m_selectedRow;
    QListWidget::mousePressEvent(event);
    // A click on the entry that is selected already chooses it again.
    const QModelIndex at = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && at.isValid() && at.row() == before &&
        m_selectedRow == before)
        emit clicked();
}

void FileListBox::focusInEvent(QFocusEvent* event) {
    const bool hadCurrent = currentIndex().isValid();
    QListWidget::focusInEvent(event);
    // Taking the focus with nothing selected, the view makes the first entry current, which
    // looks chosen although it is not. Nothing stays current; the first arrow key selects.
    if (!hadCurrent && m_selectedRow < 0 && currentIndex().isValid())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

QItemSelectionModel::SelectionFlags FileListBox::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
    const QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, event);
    // Once an entry is selected one stays selected (Ctrl+click does not take it away), so
    // the list never shows nothing while the preview shows a file of it.
    if (flags & QItemSelectionModel::Deselect) return QItemSelectionModel::NoUpdate;
    return flags;
}

void FileListBox::setDragOffer(DragOffer offer) {
    m_dragOffer = std::move(offer);
    setDragEnabled(static_cast<bool>(m_dragOffer));
    setDefaultDropAction(Qt::CopyAction);
}

QMimeData* FileListBox::mimeData(const QList<QListWidgetItem*>& items) const {
    if (!m_dragOffer || items.size() != 1) return nullptr;
    return m_dragOffer(items.first()->text());
}

void FileListBox::startDrag(Qt::DropActions) {
    // Only a copy: a drop target that moved the file would take it out of the folder.
    QListWidget::startDrag(Qt::CopyAction);
}

}  // namespace plume
