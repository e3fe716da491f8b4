#pragma once

// The clipboard operations and reader of Clipboard.h and ClipboardReader.h on the Win32
// clipboard, whatever Qt platform runs (the tests call them under the offscreen platform,
// whose own clipboard is Qt's in-process one), and what they share: the read of the Win32
// clipboard, and reads on a thread of their own that the caller stops waiting for.

#include "platform/base/Expected.h"
#include "platform/clipboard/ClipboardReader.h"
#include "platform/picture/Picture.h"

#include <QDeadlineTimer>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace plume::winclip {

bool hasFormat(int format);
Expected<PicturePtr> getPicture(int format);
Status clear();
Status setPicture(const PicturePtr& picture);
std::unique_ptr<ClipboardReader> makeReader();

// How long a read may take before the clipboard's owner counts as silent: as long as the X11
// reader waits for one answer.
inline constexpr int kOwnerAnswerMs = 5000;

// One read of the clipboard on a thread of its own. A program that put its data on the
// clipboard for later (delayed rendering) is asked for it by GetClipboardData, which waits
// for its answer without end, holding the clipboard open meanwhile. A read whose caller
// stopped waiting is left behind: its thread ends when the owner answers or goes, and until
// then no new read starts (it could not open the clipboard).
class PendingRead {
  public:
    // Starts `read` on a new thread; nothing while a read left behind still runs.
    static std::shared_ptr<PendingRead> start(std::function<ClipboardRead()> read);
    static bool anyLeftBehind();

    // What the read gave, once it has ended; waits until then or until the deadline.
    std::optional<ClipboardRead> result(QDeadlineTimer deadline = QDeadlineTimer(0));
    // The caller waits no longer.
    void leaveBehind();

  private:
    void end(ClipboardRead result);

    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::optional<ClipboardRead> m_result;
    bool m_leftBehind = false;
};

// The whole read of the Win32 clipboard on the calling thread: whether it holds a metafile
// (CF_ENHMETAFILE or CF_METAFILEPICT), and the picture as format 14.
ClipboardRead readClipboard();
// The clipboard's picture as `format` (3 or 14), as a read.
ClipboardRead readClipboardPicture(int format);
// What a read whose owner did not answer gives.
ClipboardRead silentOwnerRead();
// The window that owns the clipboard now; 0 for none.
quint64 clipboardOwner();

}  // namespace plume::winclip
