#include "formats/geometry/3ds/toolkit/chunkcatalog3ds.h"

#include <cstddef>

#include "formats/geometry/3ds/toolkit/blockpool3ds.h"
#include "formats/geometry/3ds/toolkit/chunkdata3ds.h"

namespace zeqsdk_400 {
namespace toolkit3ds {
namespace {

using K = FieldKind;

constexpr FieldSpec Scalar(K kind, std::size_t offset, int count = 1) {
    return FieldSpec{kind, static_cast<std::uint8_t>(count), static_cast<std::uint16_t>(offset), 0, 0, 0};
}
constexpr FieldSpec Array(std::size_t countAt, std::size_t arrayAt, int elementSize, int width) {
    return FieldSpec{K::Array16, 1, static_cast<std::uint16_t>(countAt), static_cast<std::uint16_t>(arrayAt),
                     static_cast<std::uint16_t>(elementSize), static_cast<std::uint8_t>(width)};
}
constexpr FieldSpec Track(int valueSize, bool nameSlot = false) {
    return FieldSpec{K::Track, 1, 0, 0, static_cast<std::uint16_t>(valueSize), static_cast<std::uint8_t>(nameSlot)};
}

// True when a layout has a field that owns heap memory (every kind but scalars).
template <std::size_t N>
constexpr bool Owns(const FieldSpec (&fields)[N]) {
    for (const FieldSpec& f : fields)
        if (f.kind > K::F32) return true;
    return false;
}

// Bytes a layout of scalars only takes in the file; 0 for other layouts.
template <std::size_t N>
constexpr std::uint16_t ScalarBytes(const FieldSpec (&fields)[N]) {
    std::size_t bytes = 0;
    for (const FieldSpec& f : fields) {
        switch (f.kind) {
            case K::U8:
            case K::I8:
                bytes += f.count;
                break;
            case K::U16:
            case K::I16:
                bytes += 2u * f.count;
                break;
            case K::U32:
            case K::I32:
            case K::F32:
                bytes += 4u * f.count;
                break;
            default:
                return 0;
        }
    }
    return static_cast<std::uint16_t>(bytes);
}

#define AT(type, member) offsetof(type, member)

// Data layouts, fields in file order.
constexpr FieldSpec kULong[] = {Scalar(K::U32, AT(ulongdata3ds, value))};
constexpr FieldSpec kLong[] = {Scalar(K::I32, AT(longdata3ds, value))};
constexpr FieldSpec kShort[] = {Scalar(K::I16, AT(shortdata3ds, value))};
constexpr FieldSpec kUShort[] = {Scalar(K::U16, AT(ushortdata3ds, value))};
constexpr FieldSpec kByte[] = {Scalar(K::U8, AT(bytedata3ds, value))};
constexpr FieldSpec kFloat[] = {Scalar(K::F32, AT(floatdata3ds, value))};
constexpr FieldSpec kFColor[] = {Scalar(K::F32, AT(fcolor3ds, r), 3)};
constexpr FieldSpec kColor24[] = {Scalar(K::U8, AT(color24data3ds, r), 3)};
constexpr FieldSpec kPoint[] = {Scalar(K::F32, AT(point3ds, x), 3)};
constexpr FieldSpec kString[] = {Scalar(K::String, AT(stringdata3ds, value))};
constexpr FieldSpec kLengthString[] = {Scalar(K::LengthString, AT(stringdata3ds, value))};
constexpr FieldSpec kFog[] = {Scalar(K::F32, AT(fogdata3ds, nearplane), 4)};
constexpr FieldSpec kDistCue[] = {Scalar(K::F32, AT(distcuedata3ds, nearplane), 4)};
constexpr FieldSpec kLayerFog[] = {Scalar(K::F32, AT(layerfogdata3ds, zmin), 3), Scalar(K::U32, AT(layerfogdata3ds, flags))};
constexpr FieldSpec kView[] = {Scalar(K::F32, AT(viewdata3ds, width)), Scalar(K::F32, AT(viewdata3ds, target), 3)};
constexpr FieldSpec kUserView[] = {Scalar(K::F32, AT(userviewdata3ds, width), 4),
                                   Scalar(K::F32, AT(userviewdata3ds, target), 3)};
constexpr FieldSpec kViewportLayout[] = {Scalar(K::I16, AT(viewportlayoutdata3ds, values), 7)};
constexpr FieldSpec kViewport[] = {Scalar(K::I16, AT(viewportdata3ds, flags), 7), Scalar(K::F32, AT(viewportdata3ds, zoom)),
                                   Scalar(K::F32, AT(viewportdata3ds, center), 3),
                                   Scalar(K::F32, AT(viewportdata3ds, horang), 2),
                                   FieldSpec{K::FixedString, 1, AT(viewportdata3ds, camname), 0, 11, 0}};
constexpr FieldSpec kViewportSize[] = {Scalar(K::U16, AT(viewportsizedata3ds, values), 4)};
constexpr FieldSpec kPointArray[] = {Array(AT(pointarraydata3ds, count), AT(pointarraydata3ds, points), 12, 4)};
constexpr FieldSpec kVFlagArray[] = {Array(AT(vflagarraydata3ds, count), AT(vflagarraydata3ds, flags), 2, 2)};
constexpr FieldSpec kFaceArray[] = {Array(AT(facearraydata3ds, count), AT(facearraydata3ds, faces), 8, 2)};
constexpr FieldSpec kMatGroup[] = {Scalar(K::String, AT(matgroupdata3ds, matname)),
                                   Array(AT(matgroupdata3ds, count), AT(matgroupdata3ds, faces), 2, 2)};
constexpr FieldSpec kTexVert[] = {Array(AT(texvertdata3ds, count), AT(texvertdata3ds, texverts), 8, 4)};
constexpr FieldSpec kSmooth[] = {FieldSpec{K::LengthArray32, 1, AT(smoothgroupdata3ds, count),
                                           AT(smoothgroupdata3ds, groups), 4, 4}};
constexpr FieldSpec kMeshMatrix[] = {Scalar(K::F32, AT(meshmatrixdata3ds, xmatrix), 12)};
constexpr FieldSpec kMapInfo[] = {Scalar(K::U16, AT(mapinfo3ds, maptype)), Scalar(K::F32, AT(mapinfo3ds, tilex), 21)};
constexpr FieldSpec kRaw[] = {Scalar(K::Raw, 0)};
constexpr FieldSpec kBoxMap[] = {Scalar(K::String, AT(boxmapdata3ds, names), 6)};
constexpr FieldSpec kSpotlight[] = {Scalar(K::F32, AT(spotlightdata3ds, target), 5)};
constexpr FieldSpec kLocalShadow[] = {Scalar(K::F32, AT(localshadowdata3ds, bias), 2),
                                      Scalar(K::I16, AT(localshadowdata3ds, mapsize))};
constexpr FieldSpec kCamera[] = {Scalar(K::F32, AT(cameradata3ds, position), 8)};
constexpr FieldSpec kCameraRanges[] = {Scalar(K::F32, AT(camerarangesdata3ds, nearplane), 2)};
constexpr FieldSpec kAutoReflect[] = {Scalar(K::I8, AT(autoreflectdata3ds, antialias), 2),
                                      Scalar(K::U16, AT(autoreflectdata3ds, flags)),
                                      Scalar(K::U32, AT(autoreflectdata3ds, size), 2)};
constexpr FieldSpec kKfSeg[] = {Scalar(K::I32, AT(kfsegdata3ds, first), 2)};
constexpr FieldSpec kKfHeader[] = {Scalar(K::I16, AT(kfheaderdata3ds, revision)),
                                   Scalar(K::String, AT(kfheaderdata3ds, filename)),
                                   Scalar(K::I32, AT(kfheaderdata3ds, animlength))};
constexpr FieldSpec kNodeHeader[] = {Scalar(K::String, AT(nodeheaderdata3ds, name)),
                                     Scalar(K::U16, AT(nodeheaderdata3ds, flags1), 2),
                                     Scalar(K::I16, AT(nodeheaderdata3ds, parentindex))};
constexpr FieldSpec kBoundBox[] = {Scalar(K::F32, AT(boundboxdata3ds, min), 6)};
constexpr FieldSpec kPosTrack[] = {Track(12)};
constexpr FieldSpec kRotTrack[] = {Track(16)};
constexpr FieldSpec kFloatTrack[] = {Track(4)};
constexpr FieldSpec kMorphTrack[] = {Track(MorphNameSlot3ds, true)};
constexpr FieldSpec kHideTrack[] = {Track(0)};

#undef AT

using S = SkipKind;
using D = DataKind;

#define NODATA D::None, nullptr, 0, 0, false, 0
#define UNCAT D::Uncatalogued, kRaw, 1, sizeof(rawdata3ds), true, 0
#define DATA(layout, type) \
    D::Fields, layout, sizeof(layout) / sizeof(FieldSpec), sizeof(type), Owns(layout), ScalarBytes(layout)

// Every tag the toolkit knows: write-order value (higher comes first among
// siblings), the step from the header to the first child, the data layout.
constexpr CatalogEntry kCatalog[] = {
    // File structure, colours and percentages.
    {0x0000, 35, S::Rest, 0, NODATA},
    {0x0002, 31, S::Bytes, 4, DATA(kULong, ulongdata3ds)},
    {0x0010, 0, S::Bytes, 12, DATA(kFColor, fcolor3ds)},
    {0x0011, 28, S::Bytes, 3, DATA(kColor24, color24data3ds)},
    {0x0012, 27, S::Rest, 0, DATA(kColor24, color24data3ds)},
    {0x0013, 0, S::Rest, 0, DATA(kFColor, fcolor3ds)},
    {0x0030, 0, S::Bytes, 2, DATA(kShort, shortdata3ds)},
    {0x0031, 0, S::Bytes, 4, DATA(kFloat, floatdata3ds)},
    {0x4D4D, 32, S::Bytes, 0, NODATA},
    {0xC23D, 0, S::Bytes, 0, NODATA},
    {0x3DAA, 0, S::Bytes, 0, NODATA},
    {0x3D3D, 30, S::Bytes, 0, NODATA},
    {0x3D3E, 26, S::Bytes, 4, DATA(kLong, longdata3ds)},
    {0x2D2D, 34, S::Bytes, 0, UNCAT},
    {0x2D3D, 33, S::Bytes, 0, UNCAT},
    {0x3DFF, 0, S::Bytes, 0, UNCAT},
    {0xD000, 0, S::Bytes, 4, UNCAT},
    // Scene settings of the mesh section.
    {0x0100, 23, S::Bytes, 4, DATA(kFloat, floatdata3ds)},
    {0x1100, 14, S::String, 0, DATA(kString, stringdata3ds)},
    {0x1101, 12, S::Rest, 0, UNCAT},
    {0x1200, 15, S::Bytes, 0, NODATA},
    {0x1201, 12, S::Rest, 0, UNCAT},
    {0x1300, 13, S::Bytes, 4, DATA(kFloat, floatdata3ds)},
    {0x1301, 12, S::Rest, 0, UNCAT},
    {0x1400, 21, S::Bytes, 4, DATA(kFloat, floatdata3ds)},
    {0x1410, 0, S::Bytes, 4, DATA(kFloat, floatdata3ds)},
    {0x1420, 20, S::Bytes, 2, DATA(kShort, shortdata3ds)},
    {0x1430, 0, S::Bytes, 2, DATA(kShort, shortdata3ds)},
    {0x1440, 0, S::Rest, 0, DATA(kLong, longdata3ds)},
    {0x1450, 19, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0x1460, 18, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0x1500, 17, S::Bytes, 12, DATA(kPoint, point3ds)},
    {0x2100, 16, S::Bytes, 0, NODATA},
    {0x2200, 11, S::Bytes, 16, DATA(kFog, fogdata3ds)},
    {0x2300, 9, S::Bytes, 16, DATA(kDistCue, distcuedata3ds)},
    {0x2302, 10, S::Bytes, 16, DATA(kLayerFog, layerfogdata3ds)},
    // Viewports.
    {0x3000, 8, S::Bytes, 0, NODATA},
    {0x3010, 0, S::Bytes, 16, DATA(kView, viewdata3ds)},
    {0x3020, 0, S::Bytes, 16, DATA(kView, viewdata3ds)},
    {0x3030, 0, S::Bytes, 16, DATA(kView, viewdata3ds)},
    {0x3040, 0, S::Bytes, 16, DATA(kView, viewdata3ds)},
    {0x3050, 0, S::Bytes, 16, DATA(kView, viewdata3ds)},
    {0x3060, 0, S::Bytes, 16, DATA(kView, viewdata3ds)},
    {0x3070, 0, S::Bytes, 28, DATA(kUserView, userviewdata3ds)},
    {0x3080, 0, S::String, 0, DATA(kString, stringdata3ds)},
    {0x7001, 22, S::Bytes, 14, DATA(kViewportLayout, viewportlayoutdata3ds)},
    {0x7011, 0, S::Rest, 0, DATA(kViewport, viewportdata3ds)},
    {0x7012, 0, S::Rest, 0, DATA(kViewport, viewportdata3ds)},
    {0x7020, 0, S::Rest, 0, DATA(kViewportSize, viewportsizedata3ds)},
    // Named objects and meshes.
    {0x4000, 7, S::String, 0, DATA(kString, stringdata3ds)},
    {0x4010, 1, S::Rest, 0, UNCAT},
    {0x4100, 2, S::Bytes, 0, NODATA},
    {0x4110, 0, S::Rest, 0, DATA(kPointArray, pointarraydata3ds)},
    {0x4111, 0, S::Rest, 0, DATA(kVFlagArray, vflagarraydata3ds)},
    {0x4120, 0, S::FaceList, 0, DATA(kFaceArray, facearraydata3ds)},
    {0x4130, 0, S::Rest, 0, DATA(kMatGroup, matgroupdata3ds)},
    {0x4140, 0, S::Rest, 0, DATA(kTexVert, texvertdata3ds)},
    {0x4150, 0, S::Rest, 0, DATA(kSmooth, smoothgroupdata3ds)},
    {0x4160, 0, S::Bytes, 48, DATA(kMeshMatrix, meshmatrixdata3ds)},
    {0x4165, 0, S::Rest, 0, DATA(kByte, bytedata3ds)},
    {0x4170, 0, S::Rest, 0, DATA(kMapInfo, mapinfo3ds)},
    {0x4181, 0, S::String, 0, DATA(kString, stringdata3ds)},
    {0x4182, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0x4190, 0, S::Rest, 0, DATA(kBoxMap, boxmapdata3ds)},
    // Lights and cameras.
    {0x4600, 2, S::Bytes, 12, DATA(kPoint, point3ds)},
    {0x4610, 0, S::Bytes, 20, DATA(kSpotlight, spotlightdata3ds)},
    {0x4641, 0, S::Bytes, 10, DATA(kLocalShadow, localshadowdata3ds)},
    {0x4653, 0, S::Rest, 0, DATA(kString, stringdata3ds)},
    {0x4654, 0, S::Rest, 0, DATA(kString, stringdata3ds)},
    {0x4656, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0x4657, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0x4658, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0x4659, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0x465A, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0x465B, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0x4700, 2, S::Bytes, 32, DATA(kCamera, cameradata3ds)},
    {0x4720, 0, S::Rest, 0, DATA(kCameraRanges, camerarangesdata3ds)},
    // Extended data. An entry keeps its whole content as one block; the group
    // 0x8009 is carried the same way so that nothing of it is lost.
    {0x8000, 0, S::Bytes, 0, NODATA},
    {0x8001, 0, S::Bytes, 0, UNCAT},
    {0x8002, 0, S::Rest, 0, DATA(kLengthString, stringdata3ds)},
    {0x8003, 0, S::Rest, 0, DATA(kLengthString, stringdata3ds)},
    {0x80F0, 0, S::Rest, 0, D::Memory, kString, 1, sizeof(stringdata3ds), true, 0},
    // Materials.
    {0xAFFF, 25, S::Bytes, 0, NODATA},
    {0xA000, 0, S::String, 0, DATA(kString, stringdata3ds)},
    {0xA010, 0, S::Bytes, 0, NODATA},
    {0xA020, 0, S::Bytes, 0, NODATA},
    {0xA030, 0, S::Bytes, 0, NODATA},
    {0xA040, 0, S::Bytes, 0, NODATA},
    {0xA041, 0, S::Bytes, 0, NODATA},
    {0xA042, 0, S::Bytes, 0, NODATA},
    {0xA050, 0, S::Bytes, 0, NODATA},
    {0xA052, 0, S::Bytes, 0, NODATA},
    {0xA053, 0, S::Bytes, 0, NODATA},
    {0xA084, 0, S::Bytes, 0, NODATA},
    {0xA087, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0xA100, 0, S::Rest, 0, DATA(kShort, shortdata3ds)},
    {0xA200, 0, S::Bytes, 0, NODATA},
    {0xA204, 0, S::Bytes, 0, NODATA},
    {0xA210, 0, S::Bytes, 0, NODATA},
    {0xA220, 0, S::Bytes, 0, NODATA},
    {0xA230, 0, S::Bytes, 0, NODATA},
    {0xA33A, 0, S::Bytes, 0, NODATA},
    {0xA33C, 0, S::Bytes, 0, NODATA},
    {0xA33D, 0, S::Bytes, 0, NODATA},
    {0xA33E, 0, S::Bytes, 0, NODATA},
    {0xA340, 0, S::Bytes, 0, NODATA},
    {0xA342, 0, S::Bytes, 0, NODATA},
    {0xA344, 0, S::Bytes, 0, NODATA},
    {0xA346, 0, S::Bytes, 0, NODATA},
    {0xA348, 0, S::Bytes, 0, NODATA},
    {0xA34A, 0, S::Bytes, 0, NODATA},
    {0xA34C, 0, S::Bytes, 0, NODATA},
    {0xA252, 0, S::Rest, 0, DATA(kShort, shortdata3ds)},
    {0xA300, 0, S::String, 0, DATA(kString, stringdata3ds)},
    {0xA310, 0, S::Bytes, 12, DATA(kAutoReflect, autoreflectdata3ds)},
    {0xA320, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA321, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA322, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA324, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA325, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA326, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA328, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA32A, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA32C, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA32E, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA330, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA332, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA334, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA336, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA338, 0, S::Rest, 0, DATA(kRaw, rawdata3ds)},
    {0xA351, 0, S::Rest, 0, DATA(kUShort, ushortdata3ds)},
    {0xA353, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0xA354, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0xA356, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0xA358, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0xA35A, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0xA35C, 0, S::Rest, 0, DATA(kFloat, floatdata3ds)},
    {0xA360, 0, S::Rest, 0, DATA(kColor24, color24data3ds)},
    {0xA362, 0, S::Rest, 0, DATA(kColor24, color24data3ds)},
    {0xA364, 0, S::Rest, 0, DATA(kColor24, color24data3ds)},
    {0xA366, 0, S::Rest, 0, DATA(kColor24, color24data3ds)},
    {0xA368, 0, S::Rest, 0, DATA(kColor24, color24data3ds)},
    // Keyframer.
    {0xB000, 29, S::Bytes, 0, NODATA},
    {0xB001, 3, S::Bytes, 0, NODATA},
    {0xB002, 4, S::Bytes, 0, NODATA},
    {0xB003, 4, S::Bytes, 0, NODATA},
    {0xB004, 4, S::Bytes, 0, NODATA},
    {0xB005, 0, S::Bytes, 0, NODATA},
    {0xB006, 4, S::Bytes, 0, NODATA},
    {0xB007, 4, S::Bytes, 0, NODATA},
    {0xB008, 6, S::Bytes, 8, DATA(kKfSeg, kfsegdata3ds)},
    {0xB009, 5, S::Bytes, 4, DATA(kLong, longdata3ds)},
    {0xB00A, 24, S::KfHeader, 0, DATA(kKfHeader, kfheaderdata3ds)},
    {0xB010, 0, S::StringThen6, 0, DATA(kNodeHeader, nodeheaderdata3ds)},
    {0xB011, 0, S::String, 0, DATA(kString, stringdata3ds)},
    {0xB013, 0, S::Bytes, 12, DATA(kPoint, point3ds)},
    {0xB014, 0, S::Bytes, 24, DATA(kBoundBox, boundboxdata3ds)},
    {0xB015, 0, S::Bytes, 4, DATA(kFloat, floatdata3ds)},
    {0xB020, 0, S::Rest, 0, DATA(kPosTrack, trackdata3ds)},
    {0xB021, 0, S::Rest, 0, DATA(kRotTrack, trackdata3ds)},
    {0xB022, 0, S::Rest, 0, DATA(kPosTrack, trackdata3ds)},
    {0xB023, 0, S::Rest, 0, DATA(kFloatTrack, trackdata3ds)},
    {0xB024, 0, S::Rest, 0, DATA(kFloatTrack, trackdata3ds)},
    {0xB025, 0, S::Rest, 0, DATA(kPosTrack, trackdata3ds)},
    {0xB026, 0, S::Rest, 0, DATA(kMorphTrack, trackdata3ds)},
    {0xB027, 0, S::Rest, 0, DATA(kFloatTrack, trackdata3ds)},
    {0xB028, 0, S::Rest, 0, DATA(kFloatTrack, trackdata3ds)},
    {0xB029, 0, S::Rest, 0, DATA(kHideTrack, trackdata3ds)},
    {0xB030, 0, S::Bytes, 2, DATA(kShort, shortdata3ds)},
};

#undef NODATA
#undef UNCAT
#undef DATA

constexpr bool RecordsFitTheBlockPool() {
    for (const CatalogEntry& entry : kCatalog)
        if (entry.recordsize > BlockPool3ds::MaxBlock) return false;
    return sizeof(rawdata3ds) <= BlockPool3ds::MaxBlock;
}
static_assert(RecordsFitTheBlockPool(), "every data record comes from the block pool");

// Entry index + 1 by tag, 0 for unknown tags.
struct CatalogIndex {
    std::uint16_t at[0x10000];
};
constexpr CatalogIndex MakeIndex() {
    CatalogIndex index{};
    for (std::size_t i = 0; i < sizeof(kCatalog) / sizeof(kCatalog[0]); ++i)
        index.at[kCatalog[i].tag] = static_cast<std::uint16_t>(i + 1);
    return index;
}
constexpr CatalogIndex kIndex = MakeIndex();

}  // namespace

const CatalogEntry* const kCatalogEntries3ds = kCatalog;
const std::uint16_t* const kCatalogIndex3ds = kIndex.at;

}  // namespace toolkit3ds
}  // namespace zeqsdk_400
