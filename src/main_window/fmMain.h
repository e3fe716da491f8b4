#pragma once

#include "main_window/FolderWatch.h"
#include "main_window/WindowPlacement.h"
#include "platform/base/Expected.h"
#include "platform/picture/Picture.h"

#include <QSet>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>

class QFrame;
class QLabel;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMenu;
class QMimeData;
class QUrl;
class QAction;
class QPushButton;
class QTimer;

namespace plume {

class ClipboardReader;
class ClipboardWatch;
struct ClipboardRead;
class FileListBox;
class FramePlacement;
class PreviewLoad;
class PreviewSurface;
class YIni;
class spTmS;

// A label that reports a click, as the label-menus of the top strip need.
class ClickLabel : public QWidget {
    Q_OBJECT
  public:
    ClickLabel(const QString& caption, QWidget* parent);
    QLabel* label() const { return m_label; }
  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QLabel* m_label;
};

// The main window: the file list and preview of the working folder, the command strip and
// the status line. Start-up resolves the user data folder, loads the settings and places the
// window where it was left; unload writes the place and the working folder back and saves
// the settings file.
class fmMain : public QWidget {
    Q_OBJECT
  public:
    // The client area's design size in twips, and the controls' sizes that never change.
    static constexpr double kDesignClientWidth = 8340;
    static constexpr double kDesignClientHeight = 5130;
    static constexpr double kFile1Width = 1260;
    static constexpr double kLbMsgHeight = 270;
    static constexpr double kPcImgWidth = 7080;
    static constexpr double kPcImgHeight = 3840;
    static constexpr int kTimerInterval = 5000;

    explicit fmMain(QWidget* parent = nullptr);
    ~fmMain() override;

    // Start-up, in the order the program depends on. Failures of the user data folder rise
    // as PlumeError.
    void Form_Load();
    // Lays the controls out for the present client size (nothing while minimised).
    void Form_Resize();
    // The window became active: refresh the list and reselect the current file.
    void Form_Activate();
    // Shut-down: writes the group "位置" and saves the settings file.
    void Form_Unload();

    // The top strip's label-menus: 0 and 1 pop up their menus, 2 and more open help.
    void lbMnu_Click(int16_t Index);
    // The command buttons repeat the first three file-menu entries.
    void cmRet_Click(int16_t Index);
    // The file menu: 0 import, 1 copy, 2 convert, 4 exit.
    void mnFile_Click(int16_t Index);

    // The folder menu: 0 open the working folder in the file manager, 1 change the working
    // folder, 3 choose a file from large thumbnails.
    void mnFld_Click(int16_t Index);

    // Whether the clipboard, as a read found it, holds a metafile picture (format 3 or 14).
    bool ChkClip(const ClipboardRead& read) const;
    // The number for the next imported file; creates the working folder when missing.
    Expected<int16_t> GetNextNo();

    // Habits of clipboard keepers and file managers, beyond the menus. Keys that work wherever
    // the focus is in the window: Ctrl+V imports (as the import command), Ctrl+C copies (as
    // the copy command), F5 re-reads the folder, Delete moves the selected drawing to the
    // desktop's trash and selects the next file.
    void trashSelected();
    // EMF and WMF files dropped onto the window are imported, each as the next numbered file.
    void importDropped(const QList<QUrl>& urls);
    // Turns the clipboard watch on or off (the folder menu's check item) and keeps the choice
    // in the settings group "CLIPBOARD".
    void setClipboardWatch(bool on);
    bool clipboardWatch() const;
    // The folder menu's check item for the clipboard watch, after the entries mnFld.
    QAction* mnWatch() const { return m_mnWatch; }

    // Refreshes the list and selects the entry named sCurFL without loading the preview.
    void ReList();
    // Previews the selected file (unless a reselection is running). A file that takes long to
    // load is loaded in the background (isLoading), the preview showing the last drawing.
    void File1_Click();
    bool isLoading() const;
    // Polls the working folder and refreshes the list when it changed.
    void Timer1_Timer();

    const QString& sWkFld() const { return m_sWkFld; }
    const QString& sCurFL() const { return m_sCurFL; }
    bool bReSel() const { return m_bReSel; }
    const TwipsRect& placedTwips() const { return m_placedTwips; }
    // The window's present place in twips (whole window, frame included).
    TwipsRect currentTwips() const;

    // The controls, by their names.
    QFrame* frMnu() const { return m_frMnu; }
    ClickLabel* lbMnu(int index) const { return m_lbMnu.at(static_cast<size_t>(index)); }
    QPushButton* cmRet(int index) const { return m_cmRet.at(static_cast<size_t>(index)); }
    FileListBox* File1() const { return m_File1; }
    PreviewSurface* pcImg() const { return m_pcImg; }
    QLabel* lbMsg() const { return m_lbMsg; }
    QTimer* Timer1() const { return m_Timer1; }
    QMenu* mnJb(int index) const { return m_mnJb.at(static_cast<size_t>(index)); }
    QAction* mnFile(int index) const { return m_mnFile.at(static_cast<size_t>(index)); }
    QAction* mnFld(int index) const { return m_mnFld.at(static_cast<size_t>(index)); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void createControls();
    void createMenus();
    QSizeF screenTwips() const;
    void applyPlacement(const TwipsRect& place);
    void setTwipsGeometry(QWidget* widget, const QRectF& twips) const;
    void showStatus(const QString& text);
    // A status that goes with the picture just given to the preview: when the preview's
    // drawing of it turns out cut short by a limit, the status line says so too.
    void showPictureStatus(const QString& text);
    void previewDrawn(bool cutOff);
    void showFolderMissing();
    // A selected file that cannot be shown: says so and leaves nothing in the preview.
    void showUnreadable(const QString& name, const QString& message);
    void forgetShownFile();
    // Gives the preview a picture (null: none), abandoning the load of a selected file.
    void showPicture(PicturePtr picture);
    // A selected file has been loaded: shows it, or says why it cannot be shown.
    void showLoaded(const QString& path, const Expected<PicturePtr>& picture);
    void importFromClipboard();
    // The import's steps after the clipboard was read.
    void importRead(const ClipboardRead& read);
    void copyToClipboard();
    void convertToRaster();
    void openWorkFolderInFileManager();
    void openHelp();
    void changeWorkFolder();
    void chooseFromThumbnails();
    // The habits (fmMainHabits.cpp).
    void createHabits();
    void loadHabits();
    QMimeData* dragOfFile(const QString& name) const;
    QMimeData* dragOfPreview() const;
    bool importPicture(const PicturePtr& picture);
    Expected<QString> storeNumbered(const QByteArray& bytes);
    void sayNumberingFailed();
    void selectAndShow(const QString& name);

    QString m_sWkFld;      // the working folder
    QString m_sCurFL;      // the current file name, small letters
    QDateTime m_dFdTm;     // the folder's modification time as the watch last saw it
    int16_t m_nFdCnt = 0;  // the folder's file count as the watch last saw it
    bool m_bReSel = false;
    QString m_pictureStatus;  // the status given with the preview's picture

    QFrame* m_frMnu = nullptr;
    std::array<ClickLabel*, 3> m_lbMnu{};
    std::array<QPushButton*, 3> m_cmRet{};
    FileListBox* m_File1 = nullptr;
    PreviewSurface* m_pcImg = nullptr;
    PreviewLoad* m_load = nullptr;
    QLabel* m_lbMsg = nullptr;
    QTimer* m_Timer1 = nullptr;
    std::array<QMenu*, 2> m_mnJb{};
    std::array<QAction*, 5> m_mnFile{};
    std::array<QAction*, 4> m_mnFld{};

    QSet<QString> m_takenNames;      // the working folder's names, small letters, at the last scan
    std::unique_ptr<spTmS> m_spTmS;  // the thumbnail chooser, made on first use
    std::unique_ptr<ClipboardReader> m_clipReader;  // the import's
    bool m_waitSaid = false;       // the status line says the import waits for the clipboard
    QString m_statusBeforeWait;    // and this is what it said before
    ClipboardWatch* m_watch = nullptr;
    QAction* m_mnWatch = nullptr;

    TwipsRect m_placedTwips;
    QRect m_placedPixels;  // the frame rectangle the placement asked for
    FramePlacement* m_placement = nullptr;
    bool m_unloaded = false;
};

}  // namespace plume
