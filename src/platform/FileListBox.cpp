#include "platform/FileListBox.h"

#include <QDir>

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
    connect(this, &QListWidget::currentRowChanged, this, [this] { emit clicked(); });
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
    const QStringList names = listFolderFiles(m_path, m_pattern);
    const QSignalBlocker blocker(this);
    clear();
    addItems(names);
    setCurrentRow(-1);
    return QDir(m_path).exists();
}

QString FileListBox::entry(int index) const {
    const QListWidgetItem* it = item(index);
    return it ? it->text() : QString();
}

void FileListBox::setListIndex(int index) {
    if (index == currentRow()) return;
    setCurrentRow(index);
}

QString FileListBox::fileName() const {
    return entry(currentRow());
}

}  // namespace plume
