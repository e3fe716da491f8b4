// The read every platform's InputFile shares: a buffer that grows as the input fills it.
#include "platform/base/InputFileRead.h"

#include <algorithm>

namespace plume {
namespace {

constexpr qint64 kFirstChunk = 64 * 1024;

// One read asks for at most this much: Windows counts a read's bytes in 32 bits.
constexpr qint64 kMaxChunk = qint64(1) << 30;

}  // namespace

InputRead failedInput(InputFailure failure, int error) {
    InputRead read;
    read.failure = failure;
    if (error != 0) read.systemError = qt_error_string(error);
    return read;
}

InputRead readGrowing(qint64 sizeHint, const InputRules& rules, const InputWait& awaitBytes,
                      const InputChunkRead& readChunk) {
    const qint64 limit = rules.maxBytes + 1;
    InputRead read;
    read.bytes.reserve(qsizetype(std::min(limit, std::max(kFirstChunk, sizeHint + 1))));
    while (read.bytes.size() < limit) {
        const qint64 used = read.bytes.size();
        if (used == read.bytes.capacity())
            read.bytes.reserve(qsizetype(std::min(limit, std::max(kFirstChunk, used * 2))));
        const qint64 room =
            std::min<qint64>({read.bytes.capacity(), limit, used + kMaxChunk}) - used;
        if (!awaitBytes()) return failedInput(InputFailure::Silent);
        read.bytes.resize(qsizetype(used + room));
        const InputChunk chunk = readChunk(read.bytes.data() + used, room);
        read.bytes.resize(qsizetype(used + std::clamp<qint64>(chunk.got, 0, room)));
        if (chunk.ended) return read;
        if (chunk.failed) return failedInput(InputFailure::CannotRead, chunk.error);
    }
    return failedInput(InputFailure::TooLarge);
}

}  // namespace plume
