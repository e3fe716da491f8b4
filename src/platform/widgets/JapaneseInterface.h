#pragma once

#include <QString>

class QApplication;

namespace plume {

// The face every control, menu and message of Plume is drawn in: IPA's proportional Gothic,
// the counterpart of the proportional Japanese face that Windows draws its dialogs in, at the
// 9 points the window designs assume. One face for every glyph, so half-width katakana are
// neither smaller nor of another design than the kanji and Latin letters beside them.
inline constexpr char kInterfaceFace[] = "IPAPGothic";
inline constexpr int kInterfacePointSize = 9;

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
