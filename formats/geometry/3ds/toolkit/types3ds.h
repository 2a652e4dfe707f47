#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_TYPES3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_TYPES3DS_H

// The fixed records of 3DS chunk data and their widths in the file. In memory a
// point, texture vertex or face has exactly its file layout (little-endian hosts
// move whole arrays of them in one call).

#include <cstdint>

namespace zeqsdk_400 {

constexpr std::uint32_t ByteSize3ds = 1;
constexpr std::uint32_t ShortSize3ds = 2;
constexpr std::uint32_t LongSize3ds = 4;
constexpr std::uint32_t FloatSize3ds = 4;
constexpr std::uint32_t DoubleSize3ds = 8;
constexpr std::uint32_t PointSize3ds = 12;
constexpr std::uint32_t TextVertSize3ds = 8;
constexpr std::uint32_t FaceSize3ds = 8;
constexpr std::uint32_t HeaderSize3ds = 6;
constexpr std::uint32_t TrackHeaderSize3ds = 14;

constexpr std::uint8_t True3ds = 1;
constexpr std::uint8_t False3ds = 0;

struct point3ds {
    float x, y, z;
};

struct textvert3ds {
    float u, v;
};

struct face3ds {
    std::uint16_t a, b, c, flags;
};

struct fcolor3ds {
    float r, g, b;
};

// Face flag bits.
constexpr std::uint16_t FaceCAVisable3ds = 0x1;
constexpr std::uint16_t FaceBCVisable3ds = 0x2;
constexpr std::uint16_t FaceABVisable3ds = 0x4;
constexpr std::uint16_t FaceUWrap3ds = 0x8;
constexpr std::uint16_t FaceVWrap3ds = 0x10;

// A key of any track: frame, which spline values the file stores, the values.
struct keyheader3ds {
    std::uint32_t time;
    std::uint16_t rflags;
    float tension, continuity, bias, easeto, easefrom;
};

constexpr std::uint16_t KeyUsesTension3ds = 0x1;
constexpr std::uint16_t KeyUsesCont3ds = 0x2;
constexpr std::uint16_t KeyUsesBias3ds = 0x4;
constexpr std::uint16_t KeyUsesEaseTo3ds = 0x8;
constexpr std::uint16_t KeyUsesEaseFrom3ds = 0x10;

struct trackheader3ds {
    std::uint16_t flags;
    std::uint32_t nu1, nu2;  // carried unchanged, 0 in tracks the toolkit builds
    std::uint32_t keycount;
};

// Value of a rotation key: angle in radians about an axis.
struct kfrotkey3ds {
    float angle, x, y, z;
};

static_assert(sizeof(point3ds) == 12 && sizeof(textvert3ds) == 8 && sizeof(face3ds) == 8,
              "fixed records keep their file layout");
static_assert(sizeof(fcolor3ds) == 12 && sizeof(kfrotkey3ds) == 16, "track values keep their file layout");
static_assert(sizeof(keyheader3ds) == 28, "a key header takes 28 bytes in memory");

extern const point3ds DefPoint3ds;
extern const textvert3ds DefTextVert3ds;
extern const face3ds DefFace3ds;
extern const trackheader3ds DefTrackHeader3ds;
extern const keyheader3ds DefKeyHeader3ds;
extern const kfrotkey3ds DefKfRotKey3ds;

// Byte size of a key header in the file: 6 plus 4 for each of the five spline bits set.
inline std::uint32_t KeyHeaderFileSize3ds(std::uint16_t rflags) {
    std::uint32_t size = 6;
    for (std::uint16_t bit = 1; bit <= 0x10; bit <<= 1)
        if (rflags & bit) size += 4;
    return size;
}

}  // namespace zeqsdk_400

#endif
