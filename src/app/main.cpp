#include "main_window/fmMain.h"
#include "platform/widgets/JapaneseInterface.h"
#include "platform/desktop/MessageBox.h"
#include "platform/base/PlumeError.h"
#include "platform/base/ProcessEnd.h"

#include <QApplication>

namespace {

int run(int argc, char* argv[]) {
    // Qt's regular expressions keep a compiled pattern's stack per thread, freed as the thread
    // ends; with mingw-w64's emulated thread-local storage that happens after the storage is
    // gone, so a drawing pool thread that had matched a pattern could crash as it expired.
    // Patterns matched without the JIT compiler need no such stack (plumeconv does the same).
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_REGEXP_JIT")) qputenv("QT_ENABLE_REGEXP_JIT", "0");
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Plume"));
    // The installed desktop entry (data/linux), which desktops match the windows against.
    app.setDesktopFileName(QStringLiteral("jp.tovari.plume"));
    plume::useJapaneseInterface(app);
    plume::fmMain window;
    try {
        window.Form_Load();
    } catch (const plume::PlumeError& error) {
        // Without its user data folder Plume has nowhere to keep its settings or drawings.
        plume::showMessage(error.message() + u'\r' + QStringLiteral("Plume を終了します"));
        return 1;
    }
    window.show();
    return app.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    // The window and the application are gone, and with them every drawing thread, before
    // the process ends.
    return plume::endProcess(run(argc, argv));
}
