#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <variant>

namespace plume {

// A settings value that carries its kind, as values cross the settings interface: text,
// truth value, date and time, 16-bit and 32-bit integers, single and double precision.
class SettingValue {
  public:
    using Storage = std::variant<QString, bool, QDateTime, int16_t, int32_t, float, double>;

    SettingValue() : m_value(QString()) {}
    SettingValue(const QString& text) : m_value(text) {}
    SettingValue(const char16_t* text) : m_value(QString::fromUtf16(text)) {}
    SettingValue(const char* text) : m_value(QString::fromUtf8(text)) {}
    SettingValue(bool truth) : m_value(truth) {}
    SettingValue(const QDateTime& when) : m_value(when) {}
    SettingValue(int16_t number) : m_value(number) {}
    SettingValue(int32_t number) : m_value(number) {}
    SettingValue(float number) : m_value(number) {}
    SettingValue(double number) : m_value(number) {}

    // The kind's type name in small letters: "string", "boolean", "date", "integer", "long",
    // "single" or "double". Reading back a stored value goes by this name (see vGtVal).
    QString typeName() const;

    bool isText() const { return std::holds_alternative<QString>(m_value); }
    bool isTruth() const { return std::holds_alternative<bool>(m_value); }
    bool isDate() const { return std::holds_alternative<QDateTime>(m_value); }
    bool isNumber() const { return !isText() && !isTruth() && !isDate(); }

    const QString& text() const { return std::get<QString>(m_value); }
    bool truth() const { return std::get<bool>(m_value); }
    const QDateTime& date() const { return std::get<QDateTime>(m_value); }
    // Any number kind as a double.
    double number() const;

    const Storage& storage() const { return m_value; }

    // The value as it is written into the settings text: text unchanged; numbers in plain
    // decimal notation with "." and no grouping, whole numbers without a point, at most 7
    // significant digits for single and 15 for double; truth values as True or False; dates
    // as "yyyy/MM/dd HH:mm:ss".
    QString toText() const;

    friend bool operator==(const SettingValue&, const SettingValue&) = default;

  private:
    Storage m_value;
};

// Writes a number in plain decimal notation with at most `digits` significant digits.
QString formatSignificant(double value, int digits);

// The leading number of a text, read as the settings store reads numbers: an optional sign,
// digits with an optional "." fraction and an optional exponent; spaces, tabs and line feeds
// are skipped wherever they stand; reading stops at the first other character that cannot
// continue the number; no leading number gives 0.
double leadingNumber(const QString& text);

// A text turned into a truth value: True or False in any letter case, or a number (0 is
// false, any other number true). Nothing when the text is neither.
std::optional<bool> textToTruth(const QString& text);

// A text read as a date and time: the form toText() writes, ISO 8601, or the system
// locale's short or long format. Nothing when it is no date.
std::optional<QDateTime> textToDate(const QString& text);

}  // namespace plume
