#pragma once

// plumeconv run as a separate process, as users and file managers run it.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <functional>

namespace plume {

struct ProcessRun {
    int exitCode = -1;
    QString stderrText;
    QByteArray stdoutBytes;
};

// `setUp` prepares the process before it starts (a resource limit for the child).
inline ProcessRun runProgram(const QString& program, const QStringList& args,
                             const QProcessEnvironment& env, const QByteArray& input = {},
                             const std::function<void(QProcess&)>& setUp = {}) {
    QProcess process;
    process.setProcessEnvironment(env);
    if (setUp) setUp(process);
    process.start(program, args);
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

inline ProcessRun plumeconv(
    const QStringList& args,
    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
    const QByteArray& input = {}, const std::function<void(QProcess&)>& setUp = {}) {
    return runProgram(QStringLiteral(PLUMECONV_PATH), args, env, input, setUp);
}

// A shell command line in which "$PLUMECONV" is the program, as users pipe and redirect it.
inline ProcessRun plumeconvInShell(const QString& script, QProcessEnvironment env) {
    env.insert(QStringLiteral("PLUMECONV"), QStringLiteral(PLUMECONV_PATH));
    return runProgram(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script}, env);
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
