#include "settings/SettingsStore.h"

#include "platform/base/AtomicFile.h"
#include "platform/base/PlumeError.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/Usr.h"
#include "settings/SettingsSalvage.h"

#include <cerrno>

namespace plume {
namespace {

const QString kCrLf = QStringLiteral("\r\n");
// Stands for a line end while an element is built.
constexpr QChar kLineMark = QChar(0x2021);

QString openTag(const QString& name) {
    return u'<' + name + u'>';
}
QString closeTag(const QString& name) {
    return QStringLiteral("</") + name + u'>';
}

}  // namespace

const QString SettingsStore::kRoot = QStringLiteral("運用");
const QString SettingsStore::kDeclaration =
    QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>");

QString SettingsStore::newDocument() {
    return sMkTag(0, kRoot, kCrLf);
}

QString SettingsStore::damageMessage(const QString& sNm, const QString& sIniPh) {
    return u'<' + sNm + QStringLiteral("> の設定が読み込めません") + u'\r' +
           QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + sIniPh + QStringLiteral(") が破損しています");
}

QString SettingsStore::unreadableMessage(const QString& sIniPh, FileReadError::Kind why) {
    QString reason;
    switch (why) {
        case FileReadError::Kind::CannotOpen:
            reason = QStringLiteral("ﾌｧｲﾙを開けません");
            break;
        case FileReadError::Kind::TooLarge:
            reason = QStringLiteral("ﾌｧｲﾙが大きすぎます");
            break;
        case FileReadError::Kind::CannotRead:
            reason = QStringLiteral("ﾌｧｲﾙを読み取れません");
            break;
        case FileReadError::Kind::NotText:
            reason = QStringLiteral("Shift-JIS のﾃｷｽﾄではありません");
            break;
    }
    return QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + sIniPh + QStringLiteral(") が読み込めません") +
           u'\r' + reason + u'\r' + QStringLiteral("既定の設定で起動します") + u'\r' +
           QStringLiteral("ﾌｧｲﾙは変更せずにそのまま残します");
}

QString SettingsStore::damageKeptMessage(const QString& sNm, const QString& sIniPh,
                                         const QString& copy) {
    return damageMessage(sNm, sIniPh) + u'\r' + QStringLiteral("破損したﾌｧｲﾙは ") + copy +
           QStringLiteral(" として残しました") + u'\r' +
           QStringLiteral("終了時に読み込めた設定だけを正しい形で保存します");
}

QString SettingsStore::damageUntouchedMessage(const QString& sNm, const QString& sIniPh) {
    return damageMessage(sNm, sIniPh) + u'\r' + QStringLiteral("ﾌｧｲﾙは変更せずにそのまま残します");
}

QString SettingsStore::saveFailedMessage(const QString& sIniPh, const QString& cause) {
    return QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + sIniPh + QStringLiteral(") を保存できません") +
           u'\r' + cause + u'\r' + QStringLiteral("前回保存した設定をそのまま残します");
}

void SettingsStore::GetTxt(const QString& sFL, bool& bOk) {
    m_sIniTx.clear();
    m_loadedBytes.clear();
    m_protectFile = false;
    m_damageHandled = false;
    m_sIniPh = sFL;
    const qsizetype dv = m_sIniPh.indexOf(QStringLiteral("_DV.xml"), 0, Qt::CaseInsensitive);
    if (dv >= 0) m_sIniPh.replace(dv, 7, QStringLiteral(".xml"));
    try {
        Usr::F_FsoChk();
        if (Usr::oFso->FileExists(m_sIniPh)) {
            // A file that is there but cannot be read (or is no text of ours) keeps its
            // content: nothing will be written over it in this run, and the user hears why
            // the settings are the defaults.
            m_protectFile = true;
            try {
                m_loadedBytes = Usr::oFso->readAll(m_sIniPh);
                m_sIniTx = FileSystemObject::ansiText(m_loadedBytes, m_sIniPh);
            } catch (const FileReadError& error) {
                showMessage(unreadableMessage(m_sIniPh, error.kind()));
                throw;
            }
            m_protectFile = false;
        } else {
            Usr::oFso->createEmptyFile(m_sIniPh);
        }
        if (m_sIniTx.isEmpty()) m_sIniTx = newDocument();
        bOk = true;
    } catch (const PlumeError&) {
        bOk = false;
    }
}

void SettingsStore::SetTxt(bool& bOk) {
    if (m_sIniPh.isEmpty()) return;
    if (m_protectFile) {
        bOk = false;
        return;
    }
    try {
        Usr::F_FsoChk();
        Usr::oFso->writeAnsiTextAtomic(m_sIniPh, m_sIniTx);
        bOk = true;
    } catch (const FileWriteError& error) {
        // Said once, at the one save of the run: the old file stays as it was.
        showMessage(saveFailedMessage(m_sIniPh, fileErrorCause(error.number() ? error.number()
                                                                              : EIO)));
        bOk = false;
    } catch (const PlumeError&) {
        bOk = false;
    }
}

QString SettingsStore::keepDamagedCopy() const {
    AtomicFile copy(m_sIniPh);
    if (!copy.open() || copy.write(m_loadedBytes) != m_loadedBytes.size()) return {};
    // An older copy is never written over: the new one takes the first free name.
    for (int n = 1; n <= 99; ++n) {
        const QString name = m_sIniPh + QStringLiteral(".damaged") +
                             (n == 1 ? QString() : QStringLiteral(".%1").arg(n));
        if (copy.commitWithoutReplacing(name)) return name;
        if (copy.systemError() != EEXIST) return {};
    }
    return {};
}

void SettingsStore::reportDamage(const QString& sNm, bool inGroupBody) {
    if (m_damageHandled || m_protectFile) {
        showMessage(m_protectFile ? damageUntouchedMessage(sNm, m_sIniPh)
                                  : damageMessage(sNm, m_sIniPh));
        return;
    }
    m_damageHandled = true;
    // Told once: the damaged file is kept as a copy beside it, and what could be read is
    // saved at shut-down in a sound text, so the same message does not come at every start.
    // Without the copy, the file is left as it is and nothing is written over it.
    const QString copy = keepDamagedCopy();
    if (copy.isEmpty()) {
        m_protectFile = true;
        showMessage(damageUntouchedMessage(sNm, m_sIniPh));
        return;
    }
    m_sIniTx = soundSettingsDocument(m_sIniTx);
    if (inGroupBody) m_sGpTx = soundGroupBody(m_sGpTx);
    showMessage(damageKeptMessage(sNm, m_sIniPh, copy));
}

QString SettingsStore::sGtTag(int16_t nMd, const QString& sNm) {
    const QString& source = nMd == 0 ? m_sIniTx : m_sGpTx;
    if (source.isEmpty()) return {};
    const qsizetype p1 = source.indexOf(openTag(sNm));
    const qsizetype p2 = source.indexOf(closeTag(sNm));
    if (p1 < 0 && p2 < 0) return {};
    if (p1 < 0 || p2 < 0 || p1 > p2) {
        reportDamage(sNm, nMd != 0);
        return {};
    }
    const qsizetype s = p1 + sNm.size() + 2;  // first character after the opening tag
    if (nMd != 0) return source.mid(s, p2 - s);
    // A group body leaves out the line end after its opening tag and the indentation before
    // its closing tag, whatever those characters are.
    const qsizetype length = p2 - s - 5;
    if (length <= 0) return {};
    return source.mid(s + 2, length);
}

QString SettingsStore::sMkTag(int16_t nMd, const QString& sNm, const SettingValue& vBd) {
    const QString body = vBd.toText();
    QString built;
    switch (nMd) {
        case 0:
            built = kDeclaration + kLineMark + openTag(sNm) + body + closeTag(sNm);
            break;
        case 1:
            built = QStringLiteral("   ") + openTag(sNm) + kLineMark + body +
                    QStringLiteral("   ") + closeTag(sNm) + kLineMark;
            break;
        case 2:
            built = QStringLiteral("      ") + openTag(sNm) + body + closeTag(sNm) + kLineMark;
            break;
        default:
            return {};
    }
    return built.replace(kLineMark, kCrLf);
}

void SettingsStore::GetGtx(const QString& sGp) {
    m_sGpNm = sGp;
    m_sGpTx = sGtTag(0, sGp);
}

SettingValue SettingsStore::vGtVal(const QString& sKy, const SettingValue& vDef) {
    const QString t = sGtTag(1, sKy);
    const QString kind = vDef.typeName();
    if (kind == u"string") return t.isEmpty() ? vDef : SettingValue(t);
    if (kind == u"boolean") {
        if (t.isEmpty()) return vDef;
        // A stored text that is neither a truth word nor a number gives the default.
        const auto truth = textToTruth(t);
        return truth ? SettingValue(*truth) : vDef;
    }
    if (kind == u"date") {
        const auto when = textToDate(t);
        return when ? SettingValue(*when) : vDef;
    }
    if (t.isEmpty()) return vDef;
    return SettingValue(leadingNumber(t));
}

void SettingsStore::SetVal(const QString& sKy, const SettingValue& vVL) {
    const qsizetype p1 = m_sGpTx.indexOf(openTag(sKy));
    if (p1 >= 0) {
        const qsizetype e = p1 + sKy.size() + 2;  // characters up to and including '>'
        const qsizetype p2 = m_sGpTx.indexOf(closeTag(sKy), e);
        if (p2 >= 0) {
            m_sGpTx = m_sGpTx.left(e) + vVL.toText() + m_sGpTx.mid(p2);
            return;
        }
    }
    m_sGpTx += sMkTag(2, sKy, vVL);
}

void SettingsStore::SetGtx() {
    if (m_sIniTx.isEmpty()) m_sIniTx = newDocument();
    const qsizetype p1 = m_sIniTx.indexOf(openTag(m_sGpNm));
    if (p1 >= 0) {
        // Keep the opening tag and the two characters of its line end.
        const qsizetype c = p1 + m_sGpNm.size() + 4;
        const qsizetype p2 = m_sIniTx.indexOf(closeTag(m_sGpNm), c - 1);
        if (p2 >= 0) {
            m_sIniTx = m_sIniTx.left(c) + m_sGpTx + QStringLiteral("   ") + m_sIniTx.mid(p2);
            return;
        }
    }
    const QString block = sMkTag(1, m_sGpNm, m_sGpTx);
    const qsizetype p = m_sIniTx.indexOf(closeTag(kRoot));
    if (p >= 0) {
        m_sIniTx.insert(p, block);
    } else {
        // A text without the root's closing tag keeps all it has; the group and a closing
        // tag follow it, so that nothing already stored is lost.
        if (!m_sIniTx.endsWith(kCrLf)) m_sIniTx += kCrLf;
        m_sIniTx += block + closeTag(kRoot);
    }
}

}  // namespace plume
