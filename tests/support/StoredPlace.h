#pragma once

// The window's place as Plume stored it in User.xml.

#include "platform/base/Cp932.h"
#include "support/TestSupport.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

namespace plume::test {

// LEFT, TOP, WIDTH and HEIGHT of the group "位置", in twips.
inline QList<double> storedPlace(const QString& settingsFile) {
    const QString text = decodeCp932Lossy(readFileBytes(settingsFile));
    QList<double> values;
    for (const char* key : {"LEFT", "TOP", "WIDTH", "HEIGHT"}) {
        const QRegularExpression pattern(QStringLiteral("<%1>([^<]*)</%1>").arg(key));
        values.append(pattern.match(text).captured(1).toDouble());
    }
    return values;
}

}  // namespace plume::test
