#include "platform/widgets/JapaneseInterface.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

namespace plume {

QString firstInstalledFace(const QStringList& choices) {
    for (const QString& face : choices)
        if (QFontDatabase::hasFamily(face)) return face;
    return {};
}

QString interfaceFace() {
    return firstInstalledFace(interfaceFaceChoices());
}

JapaneseInterface useJapaneseInterface(QApplication& app) {
    JapaneseInterface result;
    // Plume speaks Japanese whatever the desktop's language is, so Qt's own texts do too.
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        result.translated = QApplication::installTranslator(translator);
    } else {
        delete translator;
    }
    const QString face = interfaceFace();
    if (!face.isEmpty()) {
        QFont font(face, kInterfacePointSize);
        font.setStyleHint(QFont::SansSerif);
        QApplication::setFont(font);
        result.faceFound = true;
    }
    return result;
}

}  // namespace plume
