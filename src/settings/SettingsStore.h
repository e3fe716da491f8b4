#pragma once

#include "platform/desktop/FileSystemObject.h"
#include "settings/SettingValue.h"

#include <QString>

namespace plume {

// The settings store of yIni: the whole "User.xml" text in memory, cut and built by plain
// text search on its tag texts (never by an XML parser), loaded once at start-up and written
// once at shut-down.
//
// Layout of the text (every line ends with CR LF except the last):
//   <?xml version='1.0' encoding='Shift-JIS' ?>
//   <運用>
//      <GROUP>
//         <KEY>value</KEY>
//      </GROUP>
//   </運用>
// The file holds CP932 bytes and no byte-order mark. A character that CP932 cannot hold is
// written as a character reference "&#xD55C;", and "&" as "&#x26;" where "#" follows it; a
// file in UTF-8 (as an editor may save it) is read too and saved back as CP932. The text in
// memory holds the characters themselves.
class SettingsStore {
  public:
    // The root element's name.
    static const QString kRoot;
    // The XML declaration line.
    static const QString kDeclaration;

    virtual ~SettingsStore() = default;

    // Loads the settings file at sFL (its first "_DV.xml", any letter case, read as ".xml").
    // A missing file is created empty at once; an empty file starts a new document. bOk is
    // true when loading went through, false when an error stopped it. A file that is there
    // but cannot be read is left as it is (see SetTxt) and the user is told so.
    void GetTxt(const QString& sFL, bool& bOk);

    // Writes the document text to sIniPh, replacing the file atomically. Nothing is written
    // (and bOk keeps its value) when no file was loaded. bOk is false when the save failed (the
    // user is told why in one message, and the old file stays) or when the file exists but
    // could not be loaded, which it then protects.
    void SetTxt(bool& bOk);

    // Makes group sGp current: its body, or empty text when it is absent or damaged.
    void GetGtx(const QString& sGp);

    // The value of key sKy in the current group, read by the kind of vDef, or vDef.
    SettingValue vGtVal(const QString& sKy, const SettingValue& vDef);

    // Changes or appends key sKy in the current group's body.
    void SetVal(const QString& sKy, const SettingValue& vVL);

    // Puts the current group's body back into the document under its name.
    void SetGtx();

    // Element reader: nMd 0 cuts group sNm out of the document text, any other value cuts
    // key sNm out of the current group body. Absent gives empty text; damaged gives empty
    // text and the damage message.
    QString sGtTag(int16_t nMd, const QString& sNm);

    // Element builder: nMd 0 a document, 1 a group block, 2 a key line; other values "".
    static QString sMkTag(int16_t nMd, const QString& sNm, const SettingValue& vBd);

    // The members of the store, readable for the windows and tests.
    const QString& sIniPh() const { return m_sIniPh; }
    const QString& sIniTx() const { return m_sIniTx; }
    const QString& sGpTx() const { return m_sGpTx; }
    const QString& sGpNm() const { return m_sGpNm; }

    // A new, empty document: the declaration, the root's opening and closing tags.
    static QString newDocument();

    // The damage message for element sNm of the file sIniPh.
    static QString damageMessage(const QString& sNm, const QString& sIniPh);
    // The message for a settings file that is there but cannot be read, and why.
    static QString unreadableMessage(const QString& sIniPh, FileReadError::Kind why);

    // The damage message when a copy of the damaged file was kept at `copy` and a sound text
    // will be saved; and when no copy could be made, so that the file stays as it is.
    static QString damageKeptMessage(const QString& sNm, const QString& sIniPh,
                                     const QString& copy);
    static QString damageUntouchedMessage(const QString& sNm, const QString& sIniPh);
    // The message for a save that failed, with its cause; the old file stays.
    static QString saveFailedMessage(const QString& sIniPh, const QString& cause);

  private:
    // Writes the bytes loaded at start to a free name "User.xml.damaged" (".2", ".3", ...
    // when taken) beside the file; gives the name, or empty text when no copy was made.
    QString keepDamagedCopy() const;
    // Tells the user of a damaged element and, the first time, keeps a copy of the file and
    // makes the text sound (`inGroupBody`: the current group's body as well).
    void reportDamage(const QString& sNm, bool inGroupBody);

    QString m_sIniPh;  // full path of the settings file in use
    QString m_sIniTx;  // the document text, CR LF line ends, exactly as it will be written
    QString m_sGpTx;   // body of the current group
    QString m_sGpNm;   // name of the current group
    // A file that exists but could not be loaded is never written over.
    bool m_protectFile = false;
    // The file's bytes as loaded, for the copy of a damaged file.
    QByteArray m_loadedBytes;
    // Damage was found and dealt with once in this run.
    bool m_damageHandled = false;
};

}  // namespace plume
