#include "support/XvfbDisplay.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <algorithm>
#include <csignal>

namespace plume::test {

namespace {

void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

}  // namespace

XvfbDisplay::~XvfbDisplay() {
    stop(m_manager);
    stop(m_server);
}

bool XvfbDisplay::start(WindowManager manager) {
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
    return manager == WindowManager::None || startWindowManager();
}

bool XvfbDisplay::startWindowManager() {
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (openbox.isEmpty() || !hasProgram(QStringLiteral("xprop"))) {
        m_error = QStringLiteral("openbox or xprop is not installed");
        return false;
    }
    m_manager.setProcessEnvironment(environment());
    m_manager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_manager.start(openbox, {QStringLiteral("--sm-disable")});
    if (!m_manager.waitForStarted(10000)) {
        m_error = QStringLiteral("openbox did not start: ") + m_manager.errorString();
        return false;
    }
    // A window manager that has taken the display names its check window on the root window.
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && m_manager.state() == QProcess::Running) {
        const Result root =
            run(QStringLiteral("xprop"),
                {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        if (root.finished && root.output.contains("window id #")) return true;
        m_manager.waitForFinished(50);
    }
    m_error = QStringLiteral("openbox did not take the display");
    stop(m_manager);
    return false;
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

bool XvfbDisplay::sendSignal(QProcess& process, int number) {
    const qint64 pid = process.processId();
    return process.state() == QProcess::Running && pid > 0 && ::kill(pid_t(pid), number) == 0;
}

}  // namespace plume::test
