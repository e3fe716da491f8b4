#include "platform/clipboard/ClipboardReader.h"

#include "platform/clipboard/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace plume {
namespace {

// Qt's in-process clipboard: the offscreen platform's, and the one Plume owns itself.
class InProcessClipboardReader : public ClipboardReader {
  public:
    bool read(Done done) override {
        ClipboardRead result;
        const QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                          ? QGuiApplication::clipboard()
                                          : nullptr;
        if (const QMimeData* offer = clipboard ? clipboard->mimeData() : nullptr)
            result = readOffer(*offer);
        done(result);
        return true;
    }
    bool reading() const override { return false; }
    quint64 owner() const override { return 0; }
};

}  // namespace

std::unique_ptr<ClipboardReader> makeInProcessClipboardReader() {
    return std::make_unique<InProcessClipboardReader>();
}

}  // namespace plume
