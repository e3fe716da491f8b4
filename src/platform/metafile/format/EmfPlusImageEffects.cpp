// EMF+ image effects (MS-EMFPLUS 2.2.3): the serializable objects that name them, read into
// ImageEffectRecord.

#include "platform/metafile/format/EmfPlusReader.h"

#include "platform/metafile/format/BoundedReader.h"

#include <algorithm>
#include <cmath>

namespace plume::metafile::emfplus {

namespace {

// The effect a serializable object's GUID names (its first 16 bytes, as they lie in the
// file: Data1, Data2, Data3 little-endian, then Data4), or None for any other GUID.
ImageEffect imageEffectOf(std::span<const uint8_t> data) {
    if (data.size() < 16) return ImageEffect::None;
    struct Known {
        uint32_t d1;
        uint16_t d2, d3;
        uint8_t d4[8];
        ImageEffect effect;
    };
    static constexpr Known kKnown[] = {
        {0x633C80A4, 0x1843, 0x482B, {0x9E, 0xF2, 0xBE, 0x28, 0x34, 0xC5, 0xFD, 0xD4},
         ImageEffect::Blur},
        {0xD3A1DBE1, 0x8EC4, 0x4C17, {0x9F, 0x4C, 0xEA, 0x97, 0xAD, 0x1C, 0x34, 0x3D},
         ImageEffect::BrightnessContrast},
        {0x537E597D, 0x251E, 0x48DA, {0x96, 0x64, 0x29, 0xCA, 0x49, 0x6B, 0x70, 0xF8},
         ImageEffect::ColorBalance},
        {0xDD6A0022, 0x58E4, 0x4A67, {0x9D, 0x9B, 0xD4, 0x8E, 0xB8, 0x81, 0xA5, 0x3D},
         ImageEffect::ColorCurve},
        {0xA7CE72A9, 0x0F7F, 0x40D7, {0xB3, 0xCC, 0xD0, 0xC0, 0x2D, 0x5C, 0x32, 0x12},
         ImageEffect::ColorLookupTable},
        {0x718F2615, 0x7933, 0x40E3, {0xA5, 0x11, 0x5F, 0x68, 0xFE, 0x14, 0xDD, 0x74},
         ImageEffect::ColorMatrix},
        {0x8B2DD6C3, 0xEB07, 0x4D87, {0xA5, 0xF0, 0x71, 0x08, 0xE2, 0x6A, 0x9C, 0x5F},
         ImageEffect::HueSaturationLightness},
        {0x99C354EC, 0x2A31, 0x4F3A, {0x8C, 0x34, 0x17, 0xA8, 0x03, 0xB3, 0x3A, 0x25},
         ImageEffect::Levels},
        {0x74D29D05, 0x69A4, 0x4266, {0x95, 0x49, 0x3C, 0xC5, 0x28, 0x36, 0xB6, 0x32},
         ImageEffect::RedEyeCorrection},
        {0x63CBF3EE, 0xC526, 0x402C, {0x8F, 0x71, 0x62, 0xC5, 0x40, 0xBF, 0x51, 0x42},
         ImageEffect::Sharpen},
        {0x1077AF00, 0x2848, 0x4441, {0x94, 0x89, 0x44, 0xAD, 0x4C, 0x2D, 0x7A, 0x2C},
         ImageEffect::Tint},
    };
    BoundedReader in(data);
    const uint32_t d1 = in.u32();
    const uint16_t d2 = in.u16(), d3 = in.u16();
    const auto d4 = in.bytes(8);
    for (const Known& k : kKnown)
        if (k.d1 == d1 && k.d2 == d2 && k.d3 == d3 && std::equal(d4.begin(), d4.end(), k.d4))
            return k.effect;
    return ImageEffect::None;
}

}  // namespace

// An effect's parameters (2.2.3), nullopt when they do not fit their size. GDI+ writes a
// colour curve under the lookup table's GUID (its parameters are then the curve's 12 bytes),
// and red-eye areas after a pointer of its own: the areas are the last bytes.
std::optional<Record> imageEffectRecord(std::span<const uint8_t> data) {
    const ImageEffect effect = imageEffectOf(data);
    if (effect == ImageEffect::None)
        return UnsupportedRecord{uint16_t(RecordType::SerializableObject)};
    BoundedReader object(data);
    object.skip(16);
    const uint32_t size = object.u32();
    data = object.bytes(size);
    if (!object.ok()) return std::nullopt;
    BoundedReader in(data);
    ImageEffectRecord r;
    r.effect = effect;
    if (effect == ImageEffect::ColorLookupTable && data.size() == 12)
        r.effect = ImageEffect::ColorCurve;
    switch (r.effect) {
        case ImageEffect::Blur:
        case ImageEffect::Sharpen:
            r.radius = in.f32();
            r.amount = effect == ImageEffect::Blur ? float(in.u32() != 0) : in.f32();
            if (!std::isfinite(r.radius) || !std::isfinite(r.amount)) return std::nullopt;
            break;
        case ImageEffect::ColorMatrix:
            for (float& v : r.matrix) {
                v = in.f32();
                if (!std::isfinite(v)) return std::nullopt;
            }
            break;
        case ImageEffect::ColorLookupTable: {
            const auto table = in.bytes(1024);
            r.table.assign(table.begin(), table.end());
            break;
        }
        case ImageEffect::RedEyeCorrection: {
            const int32_t count = in.i32();
            if (!in.ok() || count < 0 || uint64_t(count) * 16 > in.remaining())
                return std::nullopt;
            in.skip(in.remaining() - size_t(count) * 16);
            for (int32_t i = 0; i < count; ++i) {
                const int32_t left = in.i32(), top = in.i32(), right = in.i32(), bottom = in.i32();
                r.areas.push_back(QRect(QPoint(left, top), QPoint(right, bottom)).normalized());
            }
            break;
        }
        case ImageEffect::BrightnessContrast:
        case ImageEffect::Tint:
            r.values = {in.i32(), in.i32(), 0};
            break;
        default:  // colour balance, colour curve, hue/saturation/lightness, levels
            r.values = {in.i32(), in.i32(), in.i32()};
            break;
    }
    if (!in.ok()) return std::nullopt;
    return r;
}

}  // namespace plume::metafile::emfplus
