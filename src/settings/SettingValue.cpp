#include "settings/SettingValue.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace plume {

QString SettingValue::typeName() const {
    static const char* const names[] = {"string", "boolean", "date",  "integer",
                                        "long",   "single",  "double"};
    return QString::fromLatin1(names[m_value.index()]);
}

double SettingValue::number() const {
    return std::visit(
        [](const auto& v) -> double {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_arithmetic_v<T>)
                return static_cast<double>(v);
            else
                return 0.0;
        },
        m_value);
}

QString SettingValue::toText() const {
    return std::visit(
        [](const auto& v) -> QString {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, QString>)
                return v;
            else if constexpr (std::is_same_v<T, bool>)
                return v ? QStringLiteral("True") : QStringLiteral("False");
            else if constexpr (std::is_same_v<T, QDateTime>)
                return v.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
            else if constexpr (std::is_same_v<T, float>)
                return formatSignificant(static_cast<double>(v), 7);
            else if constexpr (std::is_same_v<T, double>)
                return formatSignificant(v, 15);
            else
                return QString::number(v);
        },
        m_value);
}

QString formatSignificant(double value, int digits) {
    if (std::isnan(value)) return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (value == 0.0) return QStringLiteral("0");

    // Scientific form first, then the digits placed around the decimal point by hand so
    // that large and small numbers stay in plain notation.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, value);
    const std::string sci(buffer);
    const auto ePos = sci.find('e');
    std::string mantissa = sci.substr(0, ePos);
    const int exponent = std::stoi(sci.substr(ePos + 1));
    const bool negative = mantissa.front() == '-';
    if (negative) mantissa.erase(0, 1);
    std::string significant;
    for (char c : mantissa)
        if (c != '.') significant.push_back(c);
    while (significant.size() > 1 && significant.back() == '0') significant.pop_back();

    std::string out;
    const int pointAfter = exponent + 1;  // digits before the decimal point
    if (pointAfter <= 0) {
        out = "0." + std::string(static_cast<size_t>(-pointAfter), '0') + significant;
    } else if (static_cast<size_t>(pointAfter) >= significant.size()) {
        out = significant + std::string(static_cast<size_t>(pointAfter) - significant.size(), '0');
    } else {
        out = significant.substr(0, static_cast<size_t>(pointAfter)) + "." +
              significant.substr(static_cast<size_t>(pointAfter));
    }
    if (negative) out.insert(out.begin(), '-');
    return QString::fromStdString(out);
}

double leadingNumber(const QString& text) {
    // Collect the characters that form the number, skipping blanks, then convert the
    // collected ASCII in the C locale.
    std::string number;
    enum class State { Sign, Integer, Fraction, ExponentSign, Exponent } state = State::Sign;
    bool haveDigits = false;
    std::string exponentPart;
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == u' ' || c == u'\t' || c == u'\n') continue;
        const bool digit = c >= u'0' && c <= u'9';
        if (state == State::Sign) {
            state = State::Integer;
            if (c == u'+' || c == u'-') {
                number.push_back(static_cast<char>(c));
                continue;
            }
        }
        if (state == State::Integer) {
            if (digit) {
                number.push_back(static_cast<char>(c));
                haveDigits = true;
                continue;
            }
            if (c == u'.') {
                number.push_back('.');
                state = State::Fraction;
                continue;
            }
        }
        if (state == State::Fraction && digit) {
            number.push_back(static_cast<char>(c));
            haveDigits = true;
            continue;
        }
        if ((state == State::Integer || state == State::Fraction) && (c == u'e' || c == u'E') &&
            haveDigits) {
            state = State::ExponentSign;
            continue;
        }
        if (state == State::ExponentSign) {
            state = State::Exponent;
            if (c == u'+' || c == u'-') {
                exponentPart.push_back(static_cast<char>(c));
                continue;
            }
        }
        if (state == State::Exponent && digit) {
            exponentPart.push_back(static_cast<char>(c));
            continue;
        }
        break;
    }
    if (!haveDigits) return 0.0;
    if (!exponentPart.empty() && exponentPart.back() >= '0' && exponentPart.back() <= '9')
        number += "e" + exponentPart;
    if (number.front() == '+') number.erase(0, 1);
    if (number.back() == '.') number.pop_back();
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        return number.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    return value;
}

std::optional<bool> textToTruth(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(u"true", Qt::CaseInsensitive) == 0) return true;
    if (trimmed.compare(u"false", Qt::CaseInsensitive) == 0) return false;
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok) return std::nullopt;
    return value != 0.0;
}

std::optional<QDateTime> textToDate(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    for (const char* format : {"yyyy/MM/dd HH:mm:ss", "yyyy/MM/dd H:mm:ss", "yyyy/MM/dd"}) {
        const QDateTime when = QDateTime::fromString(trimmed, QString::fromLatin1(format));
        if (when.isValid()) return when;
    }
    QDateTime when = QDateTime::fromString(trimmed, Qt::ISODate);
    if (when.isValid()) return when;
    const QLocale locale = QLocale::system();
    for (auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        when = locale.toDateTime(trimmed, format);
        if (when.isValid()) return when;
        const QDate day = locale.toDate(trimmed, format);
        if (day.isValid()) return day.startOfDay();
    }
    return std::nullopt;
}

}  // namespace plume
