#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_BYTESTREAM3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_BYTESTREAM3DS_H

// Little-endian values, strings, chunk headers and fixed records on the current
// file context's stream, and the release levels of the version chunks. A short
// read pushes ERR_READING_FILE and yields 0, a short write ERR_WRITING_FILE.

#include <cstdint>

#include "formats/geometry/3ds/toolkit/types3ds.h"

namespace zeqsdk_400 {

struct database3ds;

// Host order <-> file order (little-endian), one width each.
void N2ILong3ds(const void* src, void* dst);
void N2IShort3ds(const void* src, void* dst);
void N2IFloat3ds(const void* src, void* dst);
void N2IDouble3ds(const void* src, void* dst);
void I2NLong3ds(const void* src, void* dst);
void I2NShort3ds(const void* src, void* dst);
void I2NFloat3ds(const void* src, void* dst);
void I2NDouble3ds(const void* src, void* dst);

void WriteByte3ds(char v);
void WriteUByte3ds(std::uint8_t v);
signed char ReadByte3ds();
std::uint8_t ReadUByte3ds();
void WriteShort3ds(std::int16_t v);
void WriteUShort3ds(std::uint16_t v);
std::int16_t ReadShort3ds();
std::uint16_t ReadUShort3ds();
void WriteLong3ds(std::int32_t v);
void WriteULong3ds(std::uint32_t v);
std::int32_t ReadLong3ds();
std::uint32_t ReadULong3ds();
void WriteFloat3ds(float v);
float ReadFloat3ds();
void WriteDouble3ds(double v);
double ReadDouble3ds();

void WriteVoid3ds(std::uint32_t n, const void* buf);
void ReadVoid3ds(std::uint32_t n, void* buf);
void SkipVoid3ds(std::uint32_t n);

void WriteString3ds(const char* s);
// Writes s cut to n - 1 characters, then NUL bytes up to n bytes in all.
void WriteFixedString3ds(const char* s, std::uint32_t n);
void ReadString3ds(char* dest, std::uint32_t n);
void ReadFixedString3ds(char* dest, std::uint32_t n);
void ReadAndAllocString3ds(char** out, std::uint32_t max);
void ReadAndAllocFixedString3ds(char** out, std::uint32_t max);
std::uint32_t strlenf3ds(const char* s, std::uint32_t max);

void WriteHeader3ds(std::uint16_t tag, std::uint32_t length);
void ReadHeader3ds(std::uint32_t* tag, std::uint32_t* length);
void FinishHeader3ds(std::uint32_t start, std::uint32_t end);

void WritePoint3ds(const point3ds* p);
void ReadPoint3ds(point3ds* p);
void WriteTextVert3ds(const textvert3ds* t);
void ReadTextVert3ds(textvert3ds* t);
void WriteFace3ds(const face3ds* f);
void ReadFace3ds(face3ds* f);
void WriteTrackHeader3ds(const trackheader3ds* h);
void ReadTrackHeader3ds(trackheader3ds* h);
void WriteKeyHeader3ds(const keyheader3ds* k);
void ReadKeyHeader3ds(keyheader3ds* k);

// Release levels 0..3 of the version chunks 0x0002, 0x3D3E and 0xB00A.
std::uint32_t GetM3dMagicRelease3ds(database3ds* db);
void PutM3dMagicRelease3ds(database3ds* db, std::uint32_t level);
std::uint32_t GetMeshRelease3ds(database3ds* db);
void PutMeshRelease3ds(database3ds* db, std::uint32_t level);
std::uint32_t GetKfRelease3ds(database3ds* db);
void PutKfRelease3ds(database3ds* db, std::uint32_t level);
std::uint32_t GetDatabaseRelease3ds(database3ds* db);
void PutDatabaseRelease3ds(database3ds* db, std::uint32_t level);

}  // namespace zeqsdk_400

#endif
