#include "platform/desktop/Shortcut.h"

#include "platform/base/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace plume {
namespace {

// A link entry is a few lines; anything much larger is not one of ours.
constexpr qint64 kMaxShortcutBytes = 1024 * 1024;

const QByteArray kGroupHeader = "[Desktop Entry]";

// The escapes of the entry format's string values: a value keeps its backslashes, line
// breaks, tabs and a leading blank through a round trip.
QString escapeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u' ' && i == 0)
            out += QStringLiteral("\\s");
        else
            out += c;
    }
    return out;
}

QString unescapeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
            case u's':
                out += u' ';
                break;
            case u'n':
                out += u'\n';
                break;
            case u'r':
                out += u'\r';
                break;
            case u't':
                out += u'\t';
                break;
            case u'\\':
                out += u'\\';
                break;
            default:
                // An unknown escape is kept as written.
                out += c;
                out += next;
        }
    }
    return out;
}

// The entry's text for a target.
QByteArray shortcutEntryText(const QString& name, const QString& target) {
    QString text = QString::fromLatin1(kGroupHeader) + u'\n';
    text += QStringLiteral("Type=Link\n");
    text += QStringLiteral("Name=") + escapeValue(name) + u'\n';
    text += QStringLiteral("URL=") + escapeValue(target) + u'\n';
    return text.toUtf8();
}

}  // namespace

QString shortcutFileFor(const QString& path, const QString&) {
    return path;
}

bool writeShortcut(const QString& path, const QString& target) {
    const QFileInfo info(path);
    // A relative path would land in whatever folder the program happens to run in.
    if (path.isEmpty() || info.isRelative()) return false;
    if (!info.absoluteDir().exists()) return false;
    return writeFileAtomically(path, shortcutEntryText(info.completeBaseName(), target)) == 0;
}

std::optional<QString> readShortcutTarget(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxShortcutBytes) return std::nullopt;
    const QByteArray bytes = file.read(kMaxShortcutBytes + 1);
    if (bytes.size() > kMaxShortcutBytes) return std::nullopt;

    bool inEntry = false;
    bool isLink = false;
    std::optional<QString> url;
    for (const QByteArray& rawLine : bytes.split('\n')) {
        const QByteArray line = rawLine.endsWith('\r') ? rawLine.chopped(1) : rawLine;
        if (line.startsWith('[')) {
            inEntry = line == kGroupHeader;
            continue;
        }
        if (!inEntry || line.startsWith('#')) continue;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QByteArray key = line.left(eq).trimmed();
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (key == "Type")
            isLink = value.trimmed() == u"Link";
        else if (key == "URL")
            url = unescapeValue(value);
    }
    if (!isLink || !url || url->isEmpty()) return std::nullopt;
    return url;
}

}  // namespace plume
