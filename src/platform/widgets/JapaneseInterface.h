#pragma once

#include <QString>
#include <QStringList>

class QApplication;

namespace plume {

// The faces every control, menu and message of Plume may be drawn in, best first: on Windows
// the system's Japanese interface faces ("Yu Gothic UI", "Meiryo UI", "MS UI Gothic"); on
// Linux IPA's proportional Gothic, their counterpart. One face for every glyph, so half-width
// katakana are neither smaller nor of another design than the kanji and Latin letters beside
// them; 9 points, as the window designs assume.
QStringList interfaceFaceChoices();
inline constexpr int kInterfacePointSize = 9;

// The first of `choices` that is installed, or "" when none is.
QString firstInstalledFace(const QStringList& choices);

// The interface face of this system: the first installed of interfaceFaceChoices(), or "".
QString interfaceFace();

// What useJapaneseInterface could set up; each part missing leaves Qt's own default.
struct JapaneseInterface {
    bool translated = false;  // Qt's own dialogs and buttons speak Japanese
    bool faceFound = false;   // the interface face is installed and is the application font
};

// Loads Qt's Japanese translations (qtbase_ja from Qt's translations folder, for the folder
// picker, message-box buttons and the like) and makes the interface face the application's
// font. Call once, right after the application object is made.
JapaneseInterface useJapaneseInterface(QApplication& app);

}  // namespace plume
