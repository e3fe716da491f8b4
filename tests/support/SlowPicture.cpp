#include "support/SlowPicture.h"

#include "builders/EmfBuilder.h"
#include "platform/metafile/format/PlayableDocument.h"

#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>
#include <variant>

namespace plume::test {

struct SlowPicture::State {
    std::atomic<bool> released{false};
    std::atomic<int> started{0};
    std::atomic<int> stopped{0};
    std::atomic<int> finished{0};
    std::atomic<bool> gaveUp{false};
};

namespace {

// Everything but playing is the red picture's own.
class SlowDocument : public metafile::PlayableDocument {
  public:
    SlowDocument(std::shared_ptr<const metafile::PlayableDocument> red,
                 std::shared_ptr<SlowPicture::State> state, bool heedsStop, bool cutOff)
        : m_red(std::move(red)),
          m_state(std::move(state)),
          m_heedsStop(heedsStop),
          m_cutOff(cutOff) {}

    metafile::Format format() const override { return m_red->format(); }
    QSizeF sizeAtDpi(double dpi) const override { return m_red->sizeAtDpi(dpi); }
    QRectF frame100thMm() const override { return m_red->frame100thMm(); }
    QByteArray toEmf() const override { return m_red->toEmf(); }
    const QByteArray& bytes() const override { return m_red->bytes(); }
    qsizetype recordCount() const override { return m_red->recordCount(); }
    QString truncationNote() const override { return m_red->truncationNote(); }

    metafile::PlaybackStats play(metafile::GdiSink& sink,
                                 const metafile::PlaybackControl& control) const override {
        ++m_state->started;
        const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!m_state->released) {
            if (m_heedsStop && control.shouldStop && control.shouldStop()) {
                ++m_state->stopped;
                ++m_state->finished;
                metafile::PlaybackStats stopped;
                stopped.cutOff = true;
                return stopped;
            }
            if (std::chrono::steady_clock::now() > giveUpAt) {
                m_state->gaveUp = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        metafile::PlaybackStats stats = m_red->play(sink, control);
        stats.cutOff = stats.cutOff || m_cutOff;
        ++m_state->finished;
        return stats;
    }

  private:
    std::shared_ptr<const metafile::PlayableDocument> m_red;
    std::shared_ptr<SlowPicture::State> m_state;
    bool m_heedsStop;
    bool m_cutOff;
};

}  // namespace

SlowPicture::SlowPicture(Stop stop, bool cutOff) : m_state(std::make_shared<State>()) {
    EmfBuilder red(40, 20);
    red.createBrush(1, 0, 0x0000ff).selectObject(1).rectangle(-1, -1, 41, 21);
    const metafile::ParseResult parsed = metafile::parseMetafile(red.build());
    auto document = std::dynamic_pointer_cast<const metafile::PlayableDocument>(
        std::get<metafile::DocumentPtr>(parsed));
    m_picture = Picture::fromDocument(
        std::make_shared<SlowDocument>(document, m_state, stop == Stop::Heeded, cutOff));
}

void SlowPicture::release() {
    m_state->released = true;
}

int SlowPicture::started() const {
    return m_state->started;
}

int SlowPicture::stopped() const {
    return m_state->stopped;
}

int SlowPicture::finished() const {
    return m_state->finished;
}

bool SlowPicture::gaveUp() const {
    return m_state->gaveUp;
}

bool SlowPicture::waitUntilStarted(int count) const {
    return QTest::qWaitFor([this, count] { return m_state->started >= count; }, 10000);
}

}  // namespace plume::test
