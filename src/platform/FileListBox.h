#pragma once

#include <QListWidget>
#include <QString>

namespace plume {

// A file list box: the names (no folder) of the files in one folder that match a pattern,
// matched without regard to letter case; hidden files and sub-folders are left out; names
// are sorted without regard to case. Every change of the selection, by the user or by the
// program, raises clicked().
class FileListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit FileListBox(QWidget* parent = nullptr);

    const QString& path() const { return m_path; }
    // Points the list at a folder and re-reads it.
    void setPath(const QString& path);

    const QString& pattern() const { return m_pattern; }
    // Sets the pattern ("*.WMF") and re-reads the folder.
    void setPattern(const QString& pattern);

    // Points the list at a folder with a pattern and reads the folder once. Returns false
    // when the folder cannot be read (the list is then empty).
    bool setPathAndPattern(const QString& path, const QString& pattern);

    // Re-reads the folder. The selection is cleared without raising clicked(). Returns false
    // when the folder cannot be read (the list is then empty).
    bool refresh();

    int listCount() const { return count(); }
    QString entry(int index) const;

    int listIndex() const { return currentRow(); }
    // Selects an entry (-1 for none); raises clicked() when the selection changes.
    void setListIndex(int index);

    // The selected file's name, or "".
    QString fileName() const;

  signals:
    void clicked();

  private:
    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
};

// The names in `folder` that match `pattern` (any letter case), files only, hidden ones left
// out, sorted without regard to case. Empty when the folder cannot be read.
QStringList listFolderFiles(const QString& folder, const QString& pattern);

}  // namespace plume
