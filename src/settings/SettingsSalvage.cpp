#include "settings/SettingsSalvage.h"

#include "settings/SettingsStore.h"

#include <QRegularExpression>
#include <QSet>

namespace plume {
namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The names of the elements that open a line at `indent` spaces, in the order of their first
// appearance.
QStringList namesAtIndent(const QString& text, int indent) {
    const QRegularExpression opening(
        QStringLiteral("^ {%1}<([^/<>\\r\\n][^<>\\r\\n]*)>").arg(indent),
        QRegularExpression::MultilineOption);
    QStringList names;
    QSet<QString> seen;
    for (auto it = opening.globalMatch(text); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (!seen.contains(name)) names.append(name);
        seen.insert(name);
    }
    return names;
}

// The element `name` from its first opening tag to the end of its first closing tag, when the
// opening tag comes first, as the store reads it; empty otherwise.
struct Element {
    qsizetype start = -1;
    qsizetype bodyStart = -1;
    qsizetype bodyEnd = -1;
};
Element soundElement(const QString& text, const QString& name) {
    const qsizetype open = text.indexOf(u'<' + name + u'>');
    const qsizetype close = text.indexOf(QStringLiteral("</") + name + u'>');
    if (open < 0 || close < 0 || open > close) return {};
    return {open, open + name.size() + 2, close};
}

}  // namespace

QString soundGroupBody(const QString& body) {
    QString sound;
    for (const QString& key : namesAtIndent(body, 6)) {
        const Element element = soundElement(body, key);
        if (element.start < 0) continue;
        sound += SettingsStore::sMkTag(
            2, key, body.mid(element.bodyStart, element.bodyEnd - element.bodyStart));
    }
    return sound;
}

QString soundSettingsDocument(const QString& text) {
    QString groups;
    for (const QString& group : namesAtIndent(text, 3)) {
        const Element element = soundElement(text, group);
        // The store's cut of a group body: without the line end after the opening tag and
        // the indentation before the closing tag.
        if (element.start < 0 || element.bodyEnd - element.bodyStart < 5) continue;
        const QString body = text.mid(element.bodyStart + 2, element.bodyEnd - element.bodyStart - 5);
        groups += SettingsStore::sMkTag(1, group, soundGroupBody(body));
    }
    return SettingsStore::sMkTag(0, SettingsStore::kRoot, kCrLf + groups);
}

}  // namespace plume
