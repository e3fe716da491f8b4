#pragma once

// plumeconv run as a separate process, as users and file managers run it.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace plume {

struct ProcessRun {
    int exitCode = -1;
    QString stderrText;
    QByteArray stdoutBytes;
};

inline ProcessRun plumeconv(
    const QStringList& args,
    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
    const QByteArray& input = {}) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(PLUMECONV_PATH), args);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60'000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError()), process.readAllStandardOutput()};
}

// The environment of a user whose language is `lang` (ja_JP.UTF-8, C.UTF-8).
inline QProcessEnvironment inLanguage(const QString& lang) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LANGUAGE"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    env.insert(QStringLiteral("LC_ALL"), lang);
    env.insert(QStringLiteral("LANG"), lang);
    return env;
}

}  // namespace plume
