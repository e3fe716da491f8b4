#pragma once

#include "main_window/WindowPlacement.h"

#include <QString>
#include <QWidget>
#include <memory>

namespace plume {

class YIni;

// The main window: start-up resolves the user data folder, loads the settings and places
// the window where it was left; unload writes the place and the working folder back and
// saves the settings file.
class fmMain : public QWidget {
    Q_OBJECT
  public:
    // The client area's design size in twips.
    static constexpr double kDesignClientWidth = 8340;
    static constexpr double kDesignClientHeight = 5130;

    explicit fmMain(QWidget* parent = nullptr);
    ~fmMain() override;

    // Start-up, in the order the program depends on. Failures of the user data folder rise
    // as PlumeError.
    void Form_Load();
    // Shut-down: writes the group "位置" and saves the settings file.
    void Form_Unload();

    const QString& sWkFld() const { return m_sWkFld; }
    // The place in twips the window was given at start-up.
    const TwipsRect& placedTwips() const { return m_placedTwips; }
    // The window's present place in twips (whole window, frame included).
    TwipsRect currentTwips() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QSizeF screenTwips() const;
    void applyPlacement(const TwipsRect& place);

    QString m_sWkFld;  // the working folder
    QString m_sCurFL;  // the current file name, small letters
    TwipsRect m_placedTwips;
    QRect m_placedPixels;  // the frame rectangle the placement asked for
    bool m_frameFitted = false;
    bool m_unloaded = false;
};

}  // namespace plume
