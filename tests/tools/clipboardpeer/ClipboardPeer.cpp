// Commands, one a line; each gets one answer line on standard output:
//   has N          "yes" or "no": clipboard operation 1 for format N
//   get N PATH     "ok W H" with the picture's EMF bytes written to PATH, or "error ..."
//   set PATH       "ok" when the picture in the file is on the clipboard, or "error ..."
//   clear          "ok" or "error ..."
//   read PATH      the same as get 14 through the clipboard reader, which answers later while
//                  other commands are served: "read ok W H" (with " damaged" when the metafile
//                  does not read whole), "read silent" or "read error ..."
//   ping           "pong"
//   quit           ends the program
// "ready" is written once the program is connected to its display. Commands are served from
// the event loop, so the clipboard keeps answering other programs between them.

#include "platform/base/AtomicFile.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardReader.h"
#include "platform/picture/PictureIo.h"

#include <unistd.h>
#include <QFile>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <cstdio>

namespace {

void answer(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QString statusAnswer(const plume::Status& status) {
    return status ? QStringLiteral("ok") : QStringLiteral("error ") + status.error();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    return plume::writeFileAtomically(path, bytes) == 0;
}

QString readAnswer(const plume::ClipboardRead& read, const QString& path) {
    if (read.ownerSilent) return QStringLiteral("read silent");
    if (!read.picture) return QStringLiteral("read error ") + read.picture.error();
    if (!writeBytes(path, read.picture.value()->emfBytes()))
        return QStringLiteral("read error cannot write ") + path;
    const QSize size = read.picture.value()->size();
    return QStringLiteral("read ok %1 %2%3")
        .arg(size.width())
        .arg(size.height())
        .arg(read.damage.isEmpty() ? QString() : QStringLiteral(" damaged"));
}

// Runs one command; false for "quit".
bool serve(const QString& line, plume::ClipboardReader& reader) {
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty()) return true;
    const QString& command = words.first();
    if (command == QLatin1String("quit")) return false;
    if (command == QLatin1String("has") && words.size() == 2) {
        answer(plume::clipboardHasFormat(words[1].toInt()) ? QStringLiteral("yes")
                                                           : QStringLiteral("no"));
    } else if (command == QLatin1String("get") && words.size() == 3) {
        plume::Expected<plume::PicturePtr> picture = plume::clipboardGetPicture(words[1].toInt());
        if (!picture) {
            answer(QStringLiteral("error ") + picture.error());
        } else if (!writeBytes(words[2], picture.value()->emfBytes())) {
            answer(QStringLiteral("error cannot write ") + words[2]);
        } else {
            const QSize size = picture.value()->size();
            answer(QStringLiteral("ok %1 %2").arg(size.width()).arg(size.height()));
        }
    } else if (command == QLatin1String("set") && words.size() == 2) {
        plume::Expected<plume::PicturePtr> picture = plume::loadPicture(words[1]);
        answer(picture ? statusAnswer(plume::clipboardSetPicture(picture.value()))
                       : QStringLiteral("error ") + picture.error());
    } else if (command == QLatin1String("read") && words.size() == 2) {
        const QString path = words[1];
        if (!reader.read(
                [path](const plume::ClipboardRead& read) { answer(readAnswer(read, path)); }))
            answer(QStringLiteral("read error busy"));
    } else if (command == QLatin1String("ping") && words.size() == 1) {
        answer(QStringLiteral("pong"));
    } else if (command == QLatin1String("clear") && words.size() == 1) {
        answer(statusAnswer(plume::clipboardClear()));
    } else {
        answer(QStringLiteral("error unknown command: ") + line);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const std::unique_ptr<plume::ClipboardReader> reader = plume::makeClipboardReader();
    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[4096];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {  // the test went away
            input.setEnabled(false);
            QGuiApplication::quit();
            return;
        }
        pending.append(buffer, count);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end)).trimmed();
            pending.remove(0, end + 1);
            if (!serve(line, *reader)) {
                input.setEnabled(false);
                QGuiApplication::quit();
                return;
            }
        }
    });
    answer(QStringLiteral("ready"));
    return app.exec();
}
