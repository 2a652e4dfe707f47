#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_CHUNKDATA3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_CHUNKDATA3DS_H

// The data records that hang from chunk3ds::data, one shape per kind of layout,
// and the six functions that make, read, write, copy and free them by tag. Which
// tag has which layout, its write-order value and where its first child begins
// are one table (chunkcatalog3ds.cpp).

#include <cstdint>

#include "formats/geometry/3ds/toolkit/types3ds.h"

namespace zeqsdk_400 {

struct chunk3ds;

struct ulongdata3ds { std::uint32_t value; };
struct longdata3ds { std::int32_t value; };
struct shortdata3ds { std::int16_t value; };
struct ushortdata3ds { std::uint16_t value; };
struct bytedata3ds { std::uint8_t value; };
struct floatdata3ds { float value; };
struct color24data3ds { std::uint8_t r, g, b; };
struct stringdata3ds { char* value; };  // owned
// 0x0010 and 0x0013 hold an fcolor3ds, 0x1500, 0x4600 and 0xB013 a point3ds.

struct fogdata3ds { float nearplane, neardensity, farplane, fardensity; };
struct distcuedata3ds { float nearplane, neardim, farplane, fardim; };
struct layerfogdata3ds { float zmin, zmax, density; std::uint32_t flags; };
struct viewdata3ds { point3ds target; float width; };  // file: width, then target
struct userviewdata3ds { point3ds target; float width, horang, verang, backang; };  // file: floats, then target
struct viewportlayoutdata3ds { std::int16_t values[7]; };
struct viewportdata3ds {
    std::int16_t flags[7];
    float zoom;
    point3ds center;
    float horang, verang;
    char* camname;  // a fixed field of 11 bytes in the file
};
struct viewportsizedata3ds { std::uint16_t values[4]; };

struct pointarraydata3ds { std::uint16_t count; point3ds* points; };
struct vflagarraydata3ds { std::uint16_t count; std::uint16_t* flags; };
struct facearraydata3ds { std::uint16_t count; face3ds* faces; };
struct matgroupdata3ds { char* matname; std::uint16_t count; std::uint16_t* faces; };
struct texvertdata3ds { std::uint16_t count; textvert3ds* texverts; };
struct smoothgroupdata3ds { std::uint16_t count; std::uint32_t* groups; };  // count from the chunk length
struct meshmatrixdata3ds { float xmatrix[12]; };
struct boxmapdata3ds { char* names[6]; };

// The mapping icon of a mesh (0x4170), also the mesh record's field.
struct mapinfo3ds {
    std::uint16_t maptype;
    float tilex, tiley;
    float cenx, ceny, cenz;
    float scale;
    float matrix[12];
    float pw, ph, ch;
};

struct rawdata3ds { std::uint32_t size; void* data; };  // owned bytes

struct spotlightdata3ds { point3ds target; float hotspot, falloff; };
struct localshadowdata3ds { float bias, filter; std::int16_t mapsize; };
struct cameradata3ds { point3ds position, target; float bank, focal; };
struct camerarangesdata3ds { float nearplane, farplane; };

struct autoreflectdata3ds { std::int8_t antialias, filter; std::uint16_t flags; std::uint32_t size, nthframe; };

struct kfsegdata3ds { std::int32_t first, last; };
struct kfheaderdata3ds { std::int16_t revision; char* filename; std::int32_t animlength; };
struct nodeheaderdata3ds { char* name; std::uint16_t flags1, flags2; std::int16_t parentindex; };
struct boundboxdata3ds { point3ds min, max; };

// A track (0xB020 to 0xB029): header, one key header per key and one value per key
// (point3ds, kfrotkey3ds, float, fcolor3ds, a 13-byte name slot, none for hide).
struct trackdata3ds {
    trackheader3ds header;
    keyheader3ds* keys;
    void* values;
};

constexpr std::uint32_t MorphNameSlot3ds = 13;

void* InitChunkData3ds(chunk3ds* chunk);
void* ReadChunkData3ds(chunk3ds* chunk);
void WriteChunkData3ds(chunk3ds* chunk);
void CopyChunkData3ds(const chunk3ds* src, chunk3ds* dst);
void FreeChunkData3ds(chunk3ds* chunk);
void FreeFileChunkData3ds(chunk3ds* chunk);
std::uint32_t GetChunkValue3ds(std::uint32_t tag);

// Bytes of one value of a track tag (0 for hide, 13 for morph, 0 for other tags).
std::uint32_t TrackValueSize3ds(std::uint32_t tag);
bool IsTrackTag3ds(std::uint32_t tag);

}  // namespace zeqsdk_400

#endif
