#pragma once

// What the platforms' readers of InputFile.h share: the read that grows its buffer until the
// input ends or passes the limit. Each platform supplies one read of its own source.

#include "platform/base/InputFile.h"

#include <functional>

namespace plume {

// What one read of an input gave: `got` bytes, then whether the input has ended or the read
// failed (CannotRead, for the system's error number `error`). A read that gave nothing and
// neither ended nor failed (interrupted, or no bytes yet) is tried again.
struct InputChunk {
    qint64 got = 0;
    bool ended = false;
    bool failed = false;
    int error = 0;
};

// One read of at most `room` bytes into `into`.
using InputChunkRead = std::function<InputChunk(char* into, qint64 room)>;
// Asked before each read of a stream: false when it gave nothing for the rules' idle time.
using InputWait = std::function<bool()>;

// Reads until the end or one byte beyond the limit. The buffer doubles as it fills, never
// beyond the limit plus one; `sizeHint` (a disk file's size, or 0) sizes it at once. A wait
// that runs out fails with Silent, a failed read with CannotRead; neither gives any bytes.
InputRead readGrowing(qint64 sizeHint, const InputRules& rules, const InputWait& awaitBytes,
                      const InputChunkRead& readChunk);

// A read that failed; `error` is the system's error number, 0 for none.
InputRead failedInput(InputFailure failure, int error = 0);

}  // namespace plume
