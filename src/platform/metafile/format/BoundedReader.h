#pragma once

// Little-endian reads over a byte span that can never run past its end: the one way the
// metafile engine, the clipboard and the picture loader read bytes. A read beyond the data
// fails the reader for good (every later read fails too) and returns zero, so a decoder reads
// a record's fields and then checks ok() once before it acts on any of them. EMF stores
// points x first and rectangles left, top, right, bottom in 32 bits; WMF mostly stores 16-bit
// pairs y first and rectangles bottom, right, top, left.

#include "platform/metafile/format/GdiTypes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include <QByteArray>

namespace plume::metafile {

// The bytes of a QByteArray as the readers take them.
inline std::span<const uint8_t> byteSpan(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

class BoundedReader {
  public:
    explicit BoundedReader(std::span<const uint8_t> data) : m_data(data) {}
    explicit BoundedReader(const QByteArray& data) : m_data(byteSpan(data)) {}

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
    // WMF's 16-bit pairs, y first (MS-WMF 2.2.2.16 gives most coordinates that way round).
    Point pointYX16() {
        const int16_t y = i16();
        return Point{i16(), y};
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
    // 16-bit rectangles: left, top, right, bottom (Rect object, MS-WMF 2.2.2.18), and the
    // order of the WMF drawing records' parameters, bottom, right, top, left.
    Rect rectS() {
        Rect r;
        r.left = i16();
        r.top = i16();
        r.right = i16();
        r.bottom = i16();
        return r;
    }
    Rect rectBRTL16() {
        Rect r;
        r.bottom = i16();
        r.right = i16();
        r.top = i16();
        r.left = i16();
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

    // Everything not read yet (empty, and the reader failed, when it has failed already).
    std::span<const uint8_t> rest() { return bytes(remaining()); }

    // Values at an absolute offset, without moving; zero when out of range (the reader is not
    // failed by these, so a header can be sniffed field by field).
    uint16_t u16At(size_t offset) const { return peekLe<uint16_t>(offset); }
    uint32_t u32At(size_t offset) const { return peekLe<uint32_t>(offset); }

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
        const T value = le<T>(m_pos);
        m_pos += sizeof(T);
        return value;
    }
    template <typename T>
    T peekLe(size_t offset) const {
        if (offset > m_data.size() || m_data.size() - offset < sizeof(T)) return 0;
        return le<T>(offset);
    }
    template <typename T>
    T le(size_t at) const {
        T value = 0;
        for (size_t i = 0; i < sizeof(T); ++i) value |= T(T(m_data[at + i]) << (8 * i));
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
