// The clipboard reader on X11. Qt's X11 clipboard asks the owner inside the calling thread and
// waits up to five seconds for each answer, so an owner that never answers freezes a window
// that asks. This reader holds a connection of its own to the display on a thread of its own:
// it asks for TARGETS and then for the targets it wants (ICCCM 2.4, selection conversion),
// takes large data in pieces (ICCCM 2.7.2, INCR), ends every wait, and can be cancelled.
#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardReader.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QtEndian>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <thread>

namespace plume {
namespace {

// How long the owner may take over any one answer (the reply, or the next piece of data in
// pieces): as long as Qt's own X11 clipboard waits.
constexpr int kOwnerAnswerMs = 5000;
// A transfer in pieces ends after this long, however steadily the owner answers: one that
// hands over a few bytes at a time would otherwise hold the read for hours.
constexpr int kLongestTransferMs = 60000;
// A property is read in parts of this many 32-bit units.
constexpr uint32_t kPartWords = 1024 * 1024;
// At most this many target names are looked up.
constexpr qsizetype kMaxTargets = 1024;

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

using Answer = OfferSource::Answer;
using Fetched = OfferSource::Fetched;

// One conversation with the display about the clipboard, on a connection of its own.
class XcbConversation {
  public:
    explicit XcbConversation(int cancelFd) : m_cancelFd(cancelFd) {
        int screenNumber = 0;
        m_connection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(m_connection)) return;
        xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; i < screenNumber && screen.rem; ++i) xcb_screen_next(&screen);
        if (!screen.rem) return;
        m_window = xcb_generate_id(m_connection);
        // The data arrives in a property of this window; its changes pace a transfer in pieces.
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen.data->root, 0, 0, 1,
                          1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                          XCB_CW_EVENT_MASK, &events);
        m_clipboard = atom("CLIPBOARD");
        m_property = atom("PLUME_CLIPBOARD_DATA");
        m_incr = atom("INCR");
        m_targets = atom("TARGETS");
        m_ok = m_clipboard && m_property && m_incr && m_targets;
    }
    ~XcbConversation() { xcb_disconnect(m_connection); }
    XcbConversation(const XcbConversation&) = delete;
    XcbConversation& operator=(const XcbConversation&) = delete;

    bool ok() const { return m_ok; }
    xcb_atom_t targetsAtom() const { return m_targets; }

    xcb_atom_t atom(const QByteArray& name) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData()),
            nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    xcb_window_t owner() {
        Reply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr));
        return reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
    }

    QStringList atomNames(const QByteArray& atoms) {
        std::vector<xcb_get_atom_name_cookie_t> cookies;
        for (qsizetype at = 0; at + 4 <= atoms.size() && qsizetype(cookies.size()) < kMaxTargets;
             at += 4) {
            const uint32_t atom = qFromUnaligned<uint32_t>(atoms.constData() + at);
            if (atom != XCB_ATOM_NONE) cookies.push_back(xcb_get_atom_name(m_connection, atom));
        }
        QStringList names;
        for (const xcb_get_atom_name_cookie_t& cookie : cookies) {
            Reply<xcb_get_atom_name_reply_t> reply(
                xcb_get_atom_name_reply(m_connection, cookie, nullptr));
            if (reply)
                names << QString::fromUtf8(xcb_get_atom_name_name(reply.get()),
                                           xcb_get_atom_name_name_length(reply.get()));
        }
        return names;
    }

    // Asks the owner for the clipboard as `target` and takes its answer.
    Fetched convert(xcb_atom_t target) {
        xcb_delete_property(m_connection, m_window, m_property);
        xcb_convert_selection(m_connection, m_window, m_clipboard, target, m_property,
                              XCB_CURRENT_TIME);
        xcb_flush(m_connection);
        Reply<xcb_generic_event_t> event = waitFor([this](const xcb_generic_event_t& e) {
            if ((e.response_type & 0x7f) != XCB_SELECTION_NOTIFY) return false;
            const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(e);
            return notify.requestor == m_window && notify.selection == m_clipboard;
        });
        if (!event) return {m_ended, {}};
        if (reinterpret_cast<const xcb_selection_notify_event_t&>(*event).property == XCB_NONE)
            return {Answer::Refused, {}};
        return takeProperty();
    }

  private:
    // The next event that `wanted` accepts within one answer's wait; the others are dropped.
    // Nothing when the wait runs out (m_ended: Silent), the read is cancelled or the
    // connection breaks (m_ended: Refused).
    Reply<xcb_generic_event_t> waitFor(
        const std::function<bool(const xcb_generic_event_t&)>& wanted) {
        const QDeadlineTimer deadline(kOwnerAnswerMs);
        for (;;) {
            while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
                Reply<xcb_generic_event_t> event(raw);
                if (wanted(*event)) return event;
            }
            if (xcb_connection_has_error(m_connection)) return ended(Answer::Refused);
            const qint64 left = deadline.remainingTime();
            if (left <= 0) return ended(Answer::Silent);
            pollfd fds[2] = {{xcb_get_file_descriptor(m_connection), POLLIN, 0},
                             {m_cancelFd, POLLIN, 0}};
            const int ready = ::poll(fds, 2, int(left));
            if ((ready < 0 && errno != EINTR) || fds[1].revents != 0) return ended(Answer::Refused);
        }
    }
    Reply<xcb_generic_event_t> ended(Answer how) {
        m_ended = how;
        return {};
    }

    // The answer in the window's property: whole, or announced as a transfer in pieces.
    Fetched takeProperty() {
        Reply<xcb_get_property_reply_t> head(
            xcb_get_property_reply(m_connection,
                                   xcb_get_property(m_connection, 0, m_window, m_property,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
                                   nullptr));
        if (!head) return {Answer::Refused, {}};
        if (head->type == m_incr) return takeInPieces();
        if (head->bytes_after > uint32_t(kMaxClipboardBytes)) return {Answer::TooLarge, {}};
        QByteArray bytes;
        bytes.reserve(qsizetype(head->bytes_after));
        const Answer answer = appendProperty(&bytes);
        xcb_delete_property(m_connection, m_window, m_property);
        xcb_flush(m_connection);
        return {answer, answer == Answer::Bytes ? std::move(bytes) : QByteArray()};
    }

    // ICCCM 2.7.2: deleting the INCR property asks for the first piece; each piece is a new
    // value of the property, deleted to ask for the next; a piece of no bytes ends the data.
    Fetched takeInPieces() {
        QByteArray bytes;
        const QDeadlineTimer whole(kLongestTransferMs);
        for (;;) {
            if (whole.hasExpired()) return {Answer::Silent, {}};
            xcb_delete_property(m_connection, m_window, m_property);
            xcb_flush(m_connection);
            Reply<xcb_generic_event_t> event = waitFor([this](const xcb_generic_event_t& e) {
                if ((e.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
                const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(e);
                return notify.window == m_window && notify.atom == m_property &&
                       notify.state == XCB_PROPERTY_NEW_VALUE;
            });
            if (!event) return {m_ended, {}};
            const qsizetype before = bytes.size();
            const Answer answer = appendProperty(&bytes);
            if (answer != Answer::Bytes) return {answer, {}};
            if (bytes.size() == before) {
                xcb_delete_property(m_connection, m_window, m_property);
                xcb_flush(m_connection);
                return {Answer::Bytes, std::move(bytes)};
            }
        }
    }

    // Appends the property's value, read in parts, refusing data beyond the size limit.
    Answer appendProperty(QByteArray* bytes) {
        for (uint32_t offset = 0;;) {
            Reply<xcb_get_property_reply_t> part(xcb_get_property_reply(
                m_connection,
                xcb_get_property(m_connection, 0, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY,
                                 offset, kPartWords),
                nullptr));
            if (!part) return Answer::Refused;
            const int length = xcb_get_property_value_length(part.get());
            if (length < 0 ||
                bytes->size() + length + qsizetype(part->bytes_after) > kMaxClipboardBytes)
                return Answer::TooLarge;
            bytes->append(static_cast<const char*>(xcb_get_property_value(part.get())), length);
            if (part->bytes_after == 0 || length == 0) return Answer::Bytes;
            offset += uint32_t(length) / 4;
        }
    }

    const int m_cancelFd;
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    xcb_atom_t m_property = XCB_ATOM_NONE;
    xcb_atom_t m_incr = XCB_ATOM_NONE;
    xcb_atom_t m_targets = XCB_ATOM_NONE;
    bool m_ok = false;
    Answer m_ended = Answer::Refused;
};

// The clipboard's offer as the owner answers it over the conversation.
class XcbSource : public OfferSource {
  public:
    explicit XcbSource(XcbConversation& conversation) : m_x(conversation) {}

    std::optional<QStringList> targets() override {
        const Fetched atoms = m_x.convert(m_x.targetsAtom());
        if (atoms.answer == Answer::Silent) return std::nullopt;
        return m_x.atomNames(atoms.bytes);
    }
    Fetched fetch(QLatin1String target) override {
        const xcb_atom_t atom = m_x.atom(QByteArray(target.data(), target.size()));
        return atom == XCB_ATOM_NONE ? Fetched{} : m_x.convert(atom);
    }

  private:
    XcbConversation& m_x;
};

ClipboardRead readOverX11(int cancelFd) {
    ClipboardRead result;
    XcbConversation conversation(cancelFd);
    if (!conversation.ok()) {
        result.picture =
            Expected<PicturePtr>::failure(QStringLiteral("クリップボードを使えません"));
        return result;
    }
    result.owner = conversation.owner();
    if (result.owner == XCB_WINDOW_NONE) return result;
    XcbSource source(conversation);
    const quint64 owner = result.owner;
    result = readOffer(source);
    result.owner = owner;
    return result;
}

class XcbClipboardReader : public ClipboardReader {
  public:
    XcbClipboardReader() {
        if (::pipe2(m_cancel, O_CLOEXEC | O_NONBLOCK) != 0) m_cancel[0] = m_cancel[1] = -1;
    }
    ~XcbClipboardReader() override {
        if (m_thread.joinable()) {
            if (m_cancel[1] >= 0) (void)!::write(m_cancel[1], "x", 1);
            m_thread.join();
        }
        for (int fd : m_cancel)
            if (fd >= 0) ::close(fd);
        if (m_ownerConnection) xcb_disconnect(m_ownerConnection);
    }

    bool read(Done done) override {
        if (m_reading) return false;
        // What Plume put on the clipboard is read in process: over X11 it would be this
        // thread that answers.
        if (QGuiApplication::clipboard()->ownsClipboard())
            return m_inProcess->read(std::move(done));
        if (m_cancel[0] < 0) return false;
        if (m_thread.joinable()) m_thread.join();
        m_reading = true;
        m_thread = std::thread([this, done = std::move(done)] {
            ClipboardRead result = readOverX11(m_cancel[0]);
            QMetaObject::invokeMethod(
                this,
                [this, done, result = std::move(result)] {
                    m_reading = false;
                    done(result);
                },
                Qt::QueuedConnection);
        });
        return true;
    }

    bool reading() const override { return m_reading; }

    quint64 owner() const override {
        if (!m_ownerConnection) {
            m_ownerConnection = xcb_connect(nullptr, nullptr);
            const QByteArray name("CLIPBOARD");
            Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
                m_ownerConnection,
                xcb_intern_atom(m_ownerConnection, 0, uint16_t(name.size()), name.constData()),
                nullptr));
            m_clipboardAtom = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
        }
        if (xcb_connection_has_error(m_ownerConnection) || m_clipboardAtom == XCB_ATOM_NONE)
            return 0;
        Reply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
            m_ownerConnection, xcb_get_selection_owner(m_ownerConnection, m_clipboardAtom),
            nullptr));
        return reply ? reply->owner : 0;
    }

  private:
    int m_cancel[2] = {-1, -1};
    std::thread m_thread;
    bool m_reading = false;
    std::unique_ptr<ClipboardReader> m_inProcess = makeInProcessClipboardReader();
    mutable xcb_connection_t* m_ownerConnection = nullptr;
    mutable xcb_atom_t m_clipboardAtom = XCB_ATOM_NONE;
};

}  // namespace

std::unique_ptr<ClipboardReader> makeClipboardReader() {
    // The offscreen platform of the tests has Qt's in-process clipboard and no display.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return std::make_unique<XcbClipboardReader>();
    return makeInProcessClipboardReader();
}

}  // namespace plume
