// Plume on a desktop of the test's own: a real X display (Xvfb, 1024x768, bare or with
// openbox), a program folder whose "UserData.ini" says where the settings live, a home folder
// of any name. The window is driven as a user drives it (xdotool for the mouse and keys,
// xclip as the other program on the clipboard, x11probe to find and close windows).
#pragma once

#include "support/TestSupport.h"
#include "support/XvfbDisplay.h"

#include <gtest/gtest.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <functional>
#include <memory>
#include <vector>

namespace plume::test {

using WindowManager = XvfbDisplay::WindowManager;

// Points of the main window's client area, in pixels at 96 DPI (the design's twips / 15).
inline constexpr int kListFirstRowX = 40, kListFirstRowY = 32;
inline constexpr int kImportX = 238, kCopyX = 340, kConvertX = 442, kButtonY = 12;

inline void PrintTo(WindowManager manager, std::ostream* os) {
    *os << (manager == WindowManager::None ? "no window manager" : "openbox");
}

// "x y width height" as numbers.
inline QList<int> numbers(const QString& text) {
    QList<int> values;
    for (const QString& part : text.split(u' ', Qt::SkipEmptyParts)) values.append(part.toInt());
    return values;
}

class Desktop {
  public:
    Desktop() = default;
    ~Desktop() {
        for (const auto& offer : m_offers) {
            offer->kill();
            offer->waitForFinished(5000);
        }
    }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // Starts the display; false (with the reason in `why`) when it cannot run here.
    bool start(WindowManager manager, const QString& homeName, const QByteArray& userDataIni,
               QString* why) {
        if (!m_display.start(manager)) {
            *why = m_display.error();
            return false;
        }
        m_home = m_root.filePath(homeName);
        for (const QString& folder : {m_root.filePath("prog"), m_home}) QDir().mkpath(folder);
        m_program = m_root.filePath("prog/plume");
        if (!QFile::copy(QStringLiteral(PLUME_BINARY), m_program)) {
            *why = QStringLiteral("cannot copy Plume");
            return false;
        }
        writeFileBytes(m_root.filePath("prog/UserData.ini"), userDataIni);
        return true;
    }
    // Also needs xdotool and xclip, to drive the window and to see the clipboard.
    bool startForUse(WindowManager manager, const QString& homeName, QString* why) {
        if (!XvfbDisplay::hasProgram("xdotool") || !XvfbDisplay::hasProgram("xclip")) {
            *why =
                QStringLiteral("xdotool or xclip is not installed (scripts/setup installs them)");
            return false;
        }
        return start(manager, homeName, "%usr%", why);
    }

    // Starts Plume, waits for its window, runs `whileOpen` with it, closes it like a user.
    // Gives the window's client area ("x y width height").
    QString runOnce(const std::function<void()>& whileOpen = {}) {
        QProcess plume;
        QProcessEnvironment env = m_display.environment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("HOME", m_home);
        env.remove("XDG_CONFIG_HOME");
        env.remove("XDG_DATA_HOME");
        plume.setProcessEnvironment(env);
        plume.setWorkingDirectory(m_home);
        plume.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        plume.start(m_program, {});
        EXPECT_TRUE(plume.waitForStarted(10000));
        QString geometry;
        if (probe({"wait", "Plume", "60"}) == 0) {
            probe({"geometry", "Plume"}, &geometry);
            m_client = numbers(geometry);
            if (whileOpen) whileOpen();
            EXPECT_EQ(probe({"close", "Plume"}), 0);
        } else {
            ADD_FAILURE() << "Plume's window did not appear";
            plume.kill();
        }
        EXPECT_TRUE(plume.waitForFinished(30000));
        EXPECT_EQ(plume.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(plume.exitCode(), 0);
        return geometry;
    }

    // A window, frame included ("x y width height"); the main window by default.
    QString frame(const QString& title = QStringLiteral("Plume")) const {
        QString text;
        probe({"frame", title}, &text);
        return text;
    }
    // The window that has the keyboard: its area, then its frame (eight numbers).
    QList<int> focused() const {
        QString text;
        probe({"focused", "-"}, &text);
        return numbers(text);
    }
    // Asks the window titled `title` ("-focused-": the one that has the keyboard) to close,
    // as its close box does.
    bool close(const QString& title) const { return probe({"close", title}) == 0; }
    // The main window's client area as the last start found it.
    const QList<int>& client() const { return m_client; }

    // A click at a point of the main window's client area, in pixels.
    void click(int x, int y) const {
        ASSERT_EQ(m_client.size(), 4);
        xdotool({"mousemove", QString::number(m_client[0] + x), QString::number(m_client[1] + y),
                 "click", "1"});
    }
    void doubleClickAtScreen(int x, int y) const {
        xdotool(
            {"mousemove", QString::number(x), QString::number(y), "click", "--repeat", "2", "1"});
    }
    void keys(const QStringList& names) const { xdotool(QStringList{"key"} + names); }
    void type(const QString& text) const { xdotool({"type", "--delay", "30", text}); }

    // Waits for a window titled `title` to appear and take the keyboard; gives its client area
    // ("x y width height").
    QList<int> waitForTitle(const QString& title) const {
        if (probe({"wait", title, "20"}) != 0) return {};
        // A window may still be moved or resized after it appears (a dialog that restores
        // its size, a window manager that places it): its place is read anew each time.
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            QString text;
            probe({"geometry", title}, &text);
            const QList<int> place = numbers(text);
            if (place.size() == 4 && focused().mid(0, 4) == place) return place;
            QThread::msleep(50);
        }
        return {};
    }
    // Waits until the window at `place` (its client area) has the keyboard.
    bool waitForFocus(const QList<int>& place) const {
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            if (focused().mid(0, 4) == place) return true;
            QThread::msleep(50);
        }
        return false;
    }
    // Waits until a window other than the main window has the keyboard; gives its area and its
    // frame's (eight numbers).
    QList<int> waitForOtherFocus() const {
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            const QList<int> now = focused();
            if (now.size() == 8 && now.mid(0, 4) != m_client) return now;
            QThread::msleep(50);
        }
        return {};
    }
    // Presses `key` until the window titled `title` is gone, at most three times, each time
    // giving it five seconds to go.
    bool pressUntilGone(const QString& key, const QString& title) const {
        for (int attempt = 0; attempt < 3; ++attempt) {
            keys({key});
            const QDeadlineTimer deadline(5000);
            while (probe({"wait", title, "0"}) == 0 && !deadline.hasExpired()) QThread::msleep(50);
            if (!deadline.hasExpired()) return true;
        }
        return false;
    }
    bool waitUntilGone(const QString& title) const {
        const QDeadlineTimer deadline(20000);
        while (probe({"wait", title, "0"}) == 0 && !deadline.hasExpired()) QThread::msleep(50);
        return !deadline.hasExpired();
    }

    // How many windows of Plume are on the screen (menus and dialogs included).
    int visibleWindows() const {
        const auto found =
            m_display.run("xdotool", {"search", "--onlyvisible", "--class", "plume"});
        return int(QString::fromUtf8(found.output).split(u'\n', Qt::SkipEmptyParts).size());
    }
    // Waits until Plume shows `count` windows or more (or fewer, when `fewer` is true).
    bool waitForWindows(int count, bool fewer = false) const {
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            const int now = visibleWindows();
            if (fewer ? now <= count : now >= count) return true;
            QThread::msleep(50);
        }
        return false;
    }
    // Pops up the folder menu (the second label of the top strip) and waits until it has
    // taken the keyboard.
    void openFolderMenu() const {
        const int before = visibleWindows();
        click(91, 8);
        EXPECT_TRUE(waitForWindows(before + 1)) << "the folder menu did not pop up";
        const QDeadlineTimer deadline(20000);
        while (probe({"grabbed", "-"}) != 0 && !deadline.hasExpired()) QThread::msleep(50);
        EXPECT_FALSE(deadline.hasExpired()) << "the folder menu did not take the keyboard";
    }
    // The window that has the keyboard: its place, frame excluded ("x y width height").
    QList<int> activeWindow() const {
        const auto active = m_display.run("xdotool", {"getactivewindow"});
        QString text;
        probeId(QString::fromUtf8(active.output).trimmed(), &text);
        return numbers(text);
    }

    // xclip takes the clipboard with `bytes` under `target` until another program takes it.
    void offer(const QString& target, const QByteArray& bytes) {
        const QString file = m_root.filePath(QStringLiteral("offer%1").arg(m_offers.size()));
        writeFileBytes(file, bytes);
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(m_display.environment());
        // -verbose (on the error channel) tells each request it answers, and keeps xclip in the
        // foreground as -quiet does (see waitUntilOfferRead).
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start("xclip", {"-selection", "clipboard", "-verbose", "-t", target, "-i", file});
        EXPECT_TRUE(process->waitForStarted(10000));
        const QDeadlineTimer deadline(20000);
        // The offer before, when still there, ends once this one has taken the clipboard: an
        // offer of the same target is only known to be the new one then.
        if (!m_offers.empty() && m_offers.back()->state() != QProcess::NotRunning) {
            EXPECT_TRUE(m_offers.back()->waitForFinished(20000));
        }
        while (!targets().contains(target) && !deadline.hasExpired()) QThread::msleep(20);
        m_offers.push_back(std::move(process));
    }
    // Waits until another program has read the last offer's data (asking for its targets
    // does not count).
    bool waitUntilOfferRead() const {
        QProcess& last = *m_offers.back();
        QByteArray said;
        const QDeadlineTimer deadline(20000);
        // xclip says "Waiting for selection request number N" before each request.
        while (said.count("request number") < 2 && !deadline.hasExpired()) {
            last.waitForReadyRead(50);
            said += last.readAllStandardOutput();
        }
        return said.count("request number") >= 2;
    }
    // The xclip that holds the last offer.
    QProcess& lastOffer() const { return *m_offers.back(); }
    QStringList targets() const {
        return QString::fromUtf8(clipboard("TARGETS")).split(u'\n', Qt::SkipEmptyParts);
    }
    QByteArray clipboard(const QString& target) const {
        const auto result =
            m_display.run("xclip", {"-selection", "clipboard", "-t", target, "-o"}, {}, 20000);
        return result.finished && result.exitCode == 0 ? result.output : QByteArray();
    }

    // The display Plume runs on, for other programs to join it.
    const XvfbDisplay& display() const { return m_display; }
    QString path(const QString& relative) const { return m_root.filePath(relative); }
    const QString& home() const { return m_home; }
    // The working folder Plume starts with when the settings live under the home folder.
    QString defaultWorkFolder() const { return m_home + "/.local/share/Tovari/plume/Temp"; }

  private:
    // x11probe on the test's display: its exit code (-1 when it did not end), its output.
    int probe(const QStringList& arguments, QString* output = nullptr) const {
        const XvfbDisplay::Result result =
            m_display.run(QStringLiteral(X11PROBE_BINARY), arguments, {}, 90000);
        if (output) *output = QString::fromUtf8(result.output).trimmed();
        return result.finished ? result.exitCode : -1;
    }
    void probeId(const QString& id, QString* output) const {
        const auto result = m_display.run("xdotool", {"getwindowgeometry", "--shell", id});
        QMap<QString, int> values;
        for (const QString& line : QString::fromUtf8(result.output).split(u'\n')) {
            const int eq = line.indexOf(u'=');
            if (eq > 0) values[line.left(eq)] = line.mid(eq + 1).toInt();
        }
        *output = QStringLiteral("%1 %2 %3 %4")
                      .arg(values["X"])
                      .arg(values["Y"])
                      .arg(values["WIDTH"])
                      .arg(values["HEIGHT"]);
    }
    void xdotool(const QStringList& arguments) const {
        const auto result = m_display.run("xdotool", arguments, {}, 20000);
        EXPECT_TRUE(result.finished && result.exitCode == 0)
            << "xdotool " << arguments.join(u' ').toStdString() << ": "
            << result.errors.toStdString();
    }

    XvfbDisplay m_display;
    QTemporaryDir m_root;
    QString m_program;
    QString m_home;
    QList<int> m_client;
    std::vector<std::unique_ptr<QProcess>> m_offers;
};

}  // namespace plume::test
