#pragma once

// Little-endian reads over a byte span that can never run past its end. A read beyond the
// data fails the reader for good (every later read fails too) and returns zero, so a decoder
// reads a record's fields and then checks ok() once before it acts on any of them.

#include "platform/metafile/GdiTypes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace plume::metafile {

class BoundedReader {
  public:
    explicit BoundedReader(std::span<const uint8_t> data) : m_data(data) {}

    bool ok() const { return !m_failed; }
    size_t position() const { return m_pos; }
    size_t remaining() const { return m_failed ? 0 : m_data.size() - m_pos; }
    std::span<const uint8_t> data() const { return m_data; }

    // Moves to an absolute offset inside the data (the end itself is allowed).
    bool seek(size_t offset) {
        if (m_failed || offset > m_data.size()) return fail();
        m_pos = offset;
        return true;
    }
    bool skip(size_t count) {
        if (count > remaining()) return fail();
        m_pos += count;
        return true;
    }

    uint8_t u8() { return readLe<uint8_t>(); }
    uint16_t u16() { return readLe<uint16_t>(); }
    uint32_t u32() { return readLe<uint32_t>(); }
    int16_t i16() { return int16_t(readLe<uint16_t>()); }
    int32_t i32() { return int32_t(readLe<uint32_t>()); }
    float f32() {
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    Point pointL() {
        const int32_t x = i32();
        return Point{x, i32()};
    }
    Point pointS() {
        const int16_t x = i16();
        return Point{x, i16()};
    }
    Size sizeL() {
        const int32_t cx = i32();
        return Size{cx, i32()};
    }
    Rect rectL() {
        Rect r;
        r.left = i32();
        r.top = i32();
        r.right = i32();
        r.bottom = i32();
        return r;
    }
    ColorRef color() { return ColorRef{u32()}; }
    XForm xform() {
        XForm x;
        x.m11 = f32();
        x.m12 = f32();
        x.m21 = f32();
        x.m22 = f32();
        x.dx = f32();
        x.dy = f32();
        return x;
    }

    // The next `count` bytes, or an empty span (and a failed reader) when they are not there.
    std::span<const uint8_t> bytes(size_t count) {
        if (count > remaining()) {
            fail();
            return {};
        }
        auto out = m_data.subspan(m_pos, count);
        m_pos += count;
        return out;
    }

    // `count` bytes at an absolute offset, without moving; empty when out of range (the reader
    // is not failed by this, since optional blocks are looked up this way).
    std::span<const uint8_t> blockAt(uint64_t offset, uint64_t count) const {
        if (offset > m_data.size() || count > m_data.size() - offset) return {};
        return m_data.subspan(size_t(offset), size_t(count));
    }

  private:
    template <typename T>
    T readLe() {
        if (sizeof(T) > remaining()) {
            fail();
            return 0;
        }
        T value = 0;
        for (size_t i = 0; i < sizeof(T); ++i) value |= T(T(m_data[m_pos + i]) << (8 * i));
        m_pos += sizeof(T);
        return value;
    }
    bool fail() {
        m_failed = true;
        return false;
    }

    std::span<const uint8_t> m_data;
    size_t m_pos = 0;
    bool m_failed = false;
};

}  // namespace plume::metafile
