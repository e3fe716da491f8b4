// The clipboard reader on Windows. GetClipboardData asks a program that put its data on the
// clipboard for later to draw it now, and waits for its answer without end: the reader reads
// on a thread of its own, stops waiting after kOwnerAnswerMs and says the owner is silent, as
// the X11 reader does.
#include "platform/clipboard/ClipboardReader.h"
#include "platform/clipboard/windows/WindowsClipboard.h"

#include <QTimer>

namespace plume::winclip {
namespace {

// How often the window's thread looks whether the read has ended.
constexpr int kPollMs = 10;

class WindowsClipboardReader : public ClipboardReader {
  public:
    WindowsClipboardReader() {
        m_poll.setInterval(kPollMs);
        connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
    }
    ~WindowsClipboardReader() override {
        if (m_pending) m_pending->leaveBehind();
    }

    bool read(Done done) override {
        if (m_pending) return false;
        m_pending = PendingRead::start(&readClipboard);
        // A read left behind still waits for the owner that did not answer.
        if (!m_pending) {
            done(silentOwnerRead());
            return true;
        }
        m_done = std::move(done);
        m_deadline = QDeadlineTimer(kOwnerAnswerMs);
        m_poll.start();
        return true;
    }
    bool reading() const override { return m_pending != nullptr; }
    quint64 owner() const override { return clipboardOwner(); }

  private:
    void poll() {
        std::optional<ClipboardRead> result = m_pending->result();
        if (!result && !m_deadline.hasExpired()) return;
        if (!result) {
            m_pending->leaveBehind();
            result = silentOwnerRead();
        }
        m_poll.stop();
        m_pending.reset();
        const Done done = std::move(m_done);
        done(*result);
    }

    QTimer m_poll;
    QDeadlineTimer m_deadline;
    std::shared_ptr<PendingRead> m_pending;
    Done m_done;
};

}  // namespace

std::unique_ptr<ClipboardReader> makeReader() {
    return std::make_unique<WindowsClipboardReader>();
}

}  // namespace plume::winclip
