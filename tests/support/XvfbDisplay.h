#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace plume::test {

// A virtual X display (Xvfb, 1024x768) of one test's own, bare or with a window manager
// (openbox) as users have: started on a free display number, stopped when the object goes.
// Tests that need a real display skip when start() fails; error() says why.
class XvfbDisplay {
  public:
    XvfbDisplay() = default;
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    enum class WindowManager { None, Openbox };

    // Starts Xvfb and waits until it accepts clients; with a window manager, starts it too and
    // waits until it manages windows. False when a program is not installed or does not come
    // up in time.
    bool start(WindowManager manager = WindowManager::None);
    bool running() const { return m_server.state() == QProcess::Running; }

    const QString& name() const { return m_name; }  // ":N"
    const QString& error() const { return m_error; }

    // This process's environment with DISPLAY set to this display.
    QProcessEnvironment environment() const;

    struct Result {
        bool finished = false;  // ended by itself within the time allowed
        int exitCode = -1;
        QByteArray output;  // standard output
        QByteArray errors;  // standard error
    };

    // Runs a program on this display, feeds it `input` and waits for it to end; after
    // `timeoutMs` it is killed and `finished` is false.
    Result run(const QString& program, const QStringList& arguments, const QByteArray& input = {},
               int timeoutMs = 30000) const;

    // Whether a program of this name is on the PATH.
    static bool hasProgram(const QString& program);
    // Sends a signal (SIGSTOP, SIGCONT: a program that hangs, and wakes) to a running process
    // only: a finished QProcess has process id 0, and kill(0, ...) would signal the whole
    // process group, other tests run by ctest included.
    static bool sendSignal(QProcess& process, int number);

  private:
    bool startWindowManager();

    QProcess m_server;
    QProcess m_manager;
    QString m_name;
    QString m_error;
};

}  // namespace plume::test
