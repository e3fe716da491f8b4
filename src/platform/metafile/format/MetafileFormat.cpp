#include "platform/metafile/format/MetafileFormat.h"

#include "platform/metafile/format/BoundedReader.h"

namespace plume::metafile {

bool looksLikeEmf(std::span<const uint8_t> bytes) {
    const BoundedReader in(bytes);
    return bytes.size() >= kEmfMinHeaderSize && in.u32At(0) == uint32_t(EmfRecordType::Header) &&
           in.u32At(40) == kEmfSignature;
}

bool looksLikePlaceableWmf(std::span<const uint8_t> bytes) {
    return bytes.size() >= kWmfPlaceableSize && BoundedReader(bytes).u32At(0) == kWmfPlaceableKey;
}

bool looksLikeMetaHeader(std::span<const uint8_t> bytes, size_t at) {
    const BoundedReader in(bytes);
    const uint16_t type = in.u16At(at), words = in.u16At(at + 2), version = in.u16At(at + 4);
    return at <= bytes.size() && bytes.size() - at >= kWmfHeaderSize && (type == 1 || type == 2) &&
           words == 9 && (version == 0x0100 || version == 0x0300);
}

bool looksLikeWmf(std::span<const uint8_t> bytes) {
    return looksLikePlaceableWmf(bytes) || looksLikeMetaHeader(bytes, 0);
}

std::optional<uint64_t> declaredEmfSize(std::span<const uint8_t> bytes) {
    // EMR_HEADER nBytes, MS-EMF 2.2.9.
    if (bytes.size() < 52) return std::nullopt;
    return BoundedReader(bytes).u32At(48);
}

std::optional<uint64_t> declaredWmfSize(std::span<const uint8_t> bytes) {
    // META_HEADER mtSize in 16-bit words, after the placeable header when there is one.
    const size_t header = looksLikePlaceableWmf(bytes) ? kWmfPlaceableSize : 0;
    if (bytes.size() < header + 10) return std::nullopt;
    return uint64_t(BoundedReader(bytes).u32At(header + 6)) * 2;
}

bool hasEmfSignature(const QByteArray& bytes) {
    const auto data = byteSpan(bytes);
    const auto declared = declaredEmfSize(data);
    return looksLikeEmf(data) && declared && *declared <= data.size();
}

bool hasWmfSignature(const QByteArray& bytes) {
    const auto data = byteSpan(bytes);
    const auto declared = declaredWmfSize(data);
    return looksLikeMetaHeader(data, looksLikePlaceableWmf(data) ? kWmfPlaceableSize : 0) &&
           declared && *declared <= data.size();
}

}  // namespace plume::metafile
