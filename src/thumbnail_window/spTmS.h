#pragma once

#include "platform/thumbnails/ThumbnailGridFacade.h"

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

class QCheckBox;
class QEventLoop;
class QFrame;
class QLabel;
class QLineEdit;
class QSplitter;
class QTimer;
class QToolButton;

namespace plume {

class FramePlacement;

// The thumbnail chooser: the working folder as a grid of large thumbnails, opened modally by
// the main window through Act, which hands back the name of the picked file. A strip above
// the grid sets columns, rows, thumbnail size and file names; "再表示" applies it. The strip's
// values and the window's place are kept in the settings group "THUMB".
class spTmS : public QWidget {
    Q_OBJECT
  public:
    // The client area's design size in twips.
    static constexpr double kDesignClientWidth = 9705;
    static constexpr double kDesignClientHeight = 6945;
    // The option strip's height at design time.
    static constexpr double kStripHeight = 450;

    // A chooser whose thumbnails are drawn from the picture files, cached in the user's
    // cache folder.
    spTmS();
    // A chooser whose thumbnail control draws with `renderer` and caches in `cache`.
    spTmS(ThumbnailRenderer renderer, std::shared_ptr<ThumbnailCache> cache);
    ~spTmS() override;

    // Shows the folder sPh modally, placed over xFrm (its left and top, 98 % of its client
    // size) unless the settings hold a place. On the way in, sFL names the file whose
    // thumbnail the keyboard starts on ("" for the first). On return sFL holds the picked
    // file's name without folder, or "" when the window was closed without a pick. sPh is
    // not changed.
    void Act(QWidget& xFrm, const QString& sPh, QString& sFL);

    // The per-size thumbnail data file name that the last listing composed (folder, "Thmb",
    // the size in at least three digits, ".Dat"). Nothing uses it.
    const QString& thumbDataFileName() const { return m_thumbDataFileName; }
    // True once the thumbnails have been listed for the current opening.
    bool isActivatedForOpening() const { return m_bActivated; }

    ThumbnailGridFacade& IkThumb() { return *m_IkThumb; }

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildControls();

    // Handlers.
    void Form_Activate();
    void Form_QueryUnload();
    void Form_Unload();
    void IkThumb_Pick();
    void ssRbn_Click(int16_t Index);

    // Lists the thumbnails of the folder.
    void DspThumb();
    // Loads (bSav false) or saves (bSav true) the group "THUMB".
    void IniThumb(bool bSav);

    // Places the whole window, frame included, at a rectangle given in twips.
    void placeFrameTwips(double left, double top, double width, double height);

    QSplitter* m_Splitter = nullptr;
    QFrame* m_Frame1 = nullptr;
    QLabel* m_Label1[4] = {};
    QLineEdit* m_txCL = nullptr;
    QLineEdit* m_txRw = nullptr;
    QLineEdit* m_txSz = nullptr;
    QCheckBox* m_chFn = nullptr;
    QToolButton* m_ssRbn = nullptr;
    ThumbnailGridFacade* m_IkThumb = nullptr;

    // State of one opening; reset when the window unloads.
    QString m_sFolder;
    bool m_bActivated = false;
    QString m_sChosen;
    bool m_loaded = false;

    FramePlacement* m_placement = nullptr;
    // Lists the thumbnails shortly after showing when no activation came.
    QTimer* m_activationFallback = nullptr;
    QString m_thumbDataFileName;
    QEventLoop* m_modalLoop = nullptr;
};

// The text of a thumbnail size as the data file name carries it: at least three digits.
QString thumbSizeDigits(int size);

}  // namespace plume
