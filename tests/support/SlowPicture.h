#pragma once

#include "platform/picture/Picture.h"

#include <memory>

namespace plume::test {

// A vector picture whose drawing does not end until it is released: a drawing that takes
// long, on any machine, without a clock. Each drawing of it waits for release() (or, when it
// heeds stopping, until the engine is told to stop it), then draws its 40 x 20 pixels red.
// So that a test of code that waits for it still ends, a drawing gives up waiting after 20 s
// and says so (gaveUp). Counts are kept across threads.
class SlowPicture {
  public:
    enum class Stop { Heeded, Ignored };
    // `cutOff`: a drawing that is released says a limit cut it short, as a heavy file's does.
    explicit SlowPicture(Stop stop = Stop::Heeded, bool cutOff = false);

    const PicturePtr& picture() const { return m_picture; }
    // Lets every drawing, now and later, end.
    void release();
    // Drawings begun, and drawings that ended because they were told to stop.
    int started() const;
    int stopped() const;
    // Drawings that have ended, whatever ended them.
    int finished() const;
    // Whether a drawing was still waiting for release() after 20 s.
    bool gaveUp() const;
    // Waits (processing events) until `count` drawings have begun; false after 10 s.
    bool waitUntilStarted(int count) const;

    // What the drawings share (SlowPicture.cpp).
    struct State;

  private:
    std::shared_ptr<State> m_state;
    PicturePtr m_picture;
};

}  // namespace plume::test
