#include "support/XvfbDisplay.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <algorithm>

namespace plume::test {

XvfbDisplay::~XvfbDisplay() {
    if (m_server.state() == QProcess::NotRunning) return;
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

bool XvfbDisplay::start() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        m_error = QStringLiteral("Xvfb is not installed");
        return false;
    }
    // -displayfd makes Xvfb choose a free display number itself and write it to its standard
    // output once it accepts clients: no guessing at lock files, no polling for readiness.
    // -noreset keeps the server (and its atoms) as they are when the last client leaves.
    m_server.setProgram(xvfb);
    m_server.setArguments(
        {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"});
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start();
    if (!m_server.waitForStarted(10000)) {
        m_error = QStringLiteral("Xvfb did not start: ") + m_server.errorString();
        return false;
    }
    const QDeadlineTimer deadline(20000);
    QByteArray announced;
    while (!announced.contains('\n') && !deadline.hasExpired() &&
           m_server.state() == QProcess::Running) {
        m_server.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        announced += m_server.readAllStandardOutput();
    }
    bool ok = false;
    const int number = announced.trimmed().toInt(&ok);
    if (!ok || m_server.state() != QProcess::Running) {
        m_error = QStringLiteral("Xvfb did not come up: ") +
                  QString::fromLocal8Bit(m_server.readAllStandardError()).trimmed();
        m_server.kill();
        m_server.waitForFinished(5000);
        return false;
    }
    m_name = QStringLiteral(":%1").arg(number);
    return true;
}

QProcessEnvironment XvfbDisplay::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_name);
    return env;
}

XvfbDisplay::Result XvfbDisplay::run(const QString& program, const QStringList& arguments,
                                     const QByteArray& input, int timeoutMs) const {
    Result result;
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        result.errors = process.errorString().toLocal8Bit();
        return result;
    }
    if (!input.isEmpty()) process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        result.output = process.readAllStandardOutput();
        result.errors = process.readAllStandardError();
        return result;
    }
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}

bool XvfbDisplay::hasProgram(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

}  // namespace plume::test
