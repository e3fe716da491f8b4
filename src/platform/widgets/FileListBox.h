#pragma once

#include <QListWidget>
#include <QString>
#include <functional>

namespace plume {

// A file list box: the names (no folder) of the files in one folder that match a pattern,
// matched without regard to letter case; hidden files and sub-folders are left out; names
// are sorted without regard to case.
//
// The selection is what counts: at most one entry is selected, and the highlighted entry is
// always the selected one (no entry is made current without being selected). clicked() is
// raised when the user selects an entry (mouse or keyboard), when the user clicks the entry
// that is already selected, and whenever the program sets the selection.
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

    // The selected position, or -1.
    int listIndex() const { return m_selectedRow; }
    // Selects an entry and raises clicked(), even when it was selected already; -1 (or a
    // position beyond the list) clears the selection without raising it.
    void setListIndex(int index);

    // The selected file's name, or "".
    QString fileName() const;

    // What dragging an entry out of the list offers, built for the entry's name (null offers
    // nothing). Without it the list starts no drag. A drag only ever copies.
    using DragOffer = std::function<QMimeData*(const QString& name)>;
    void setDragOffer(DragOffer offer);

  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
    void startDrag(Qt::DropActions supportedActions) override;

  private:
    void selectionMoved();
    void clearSelectionQuietly();

    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    int m_selectedRow = -1;
    DragOffer m_dragOffer;
};

// The names in `folder` that match `pattern` (any letter case), files only, hidden ones left
// out, sorted without regard to case. Empty when the folder cannot be read.
QStringList listFolderFiles(const QString& folder, const QString& pattern);

}  // namespace plume
