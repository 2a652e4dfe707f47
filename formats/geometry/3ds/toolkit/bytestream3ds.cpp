#include "formats/geometry/3ds/toolkit/bytestream3ds.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "formats/geometry/3ds/toolkit/errors3ds.h"
#include "formats/geometry/3ds/toolkit/filecontext3ds.h"

namespace zeqsdk_400 {

const point3ds DefPoint3ds = {0.0f, 0.0f, 0.0f};
const textvert3ds DefTextVert3ds = {0.0f, 0.0f};
const face3ds DefFace3ds = {0, 1, 2, 0};
const trackheader3ds DefTrackHeader3ds = {0, 0, 0, 1};
const keyheader3ds DefKeyHeader3ds = {0, 0, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
const kfrotkey3ds DefKfRotKey3ds = {0.0f, 0.0f, 0.0f, 1.0f};

namespace {

// Copies n bytes, reversed on a big-endian host.
inline void Order(const void* src, void* dst, std::size_t n) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    const auto* s = static_cast<const std::uint8_t*>(src);
    auto* d = static_cast<std::uint8_t*>(dst);
    for (std::size_t i = 0; i < n; ++i) d[i] = s[n - 1 - i];
#else
    std::memcpy(dst, src, n);
#endif
}

bool Put(const void* host, std::size_t width) {
    std::uint8_t bytes[8];
    Order(host, bytes, width);
    std::FILE* f = GetFile3ds();
    if (!f) {
        PushErrList3ds(ERR_WRITING_FILE);
        return false;
    }
    if (std::fwrite(bytes, width, 1, f) != 1) {
        PushSystemErrList3ds(ERR_WRITING_FILE);
        return false;
    }
    return true;
}

bool Get(void* host, std::size_t width) {
    std::uint8_t bytes[8];
    std::FILE* f = GetFile3ds();
    if (!f || std::fread(bytes, width, 1, f) != 1) {
        PushErrList3ds(ERR_READING_FILE);
        std::memset(host, 0, width);
        return false;
    }
    Order(bytes, host, width);
    return true;
}

template <typename T>
T GetValue() {
    T v;
    Get(&v, sizeof(T));
    return v;
}

}  // namespace

void N2ILong3ds(const void* src, void* dst) { Order(src, dst, 4); }
void N2IShort3ds(const void* src, void* dst) { Order(src, dst, 2); }
void N2IFloat3ds(const void* src, void* dst) { Order(src, dst, 4); }
void N2IDouble3ds(const void* src, void* dst) { Order(src, dst, 8); }
void I2NLong3ds(const void* src, void* dst) { Order(src, dst, 4); }
void I2NShort3ds(const void* src, void* dst) { Order(src, dst, 2); }
void I2NFloat3ds(const void* src, void* dst) { Order(src, dst, 4); }
void I2NDouble3ds(const void* src, void* dst) { Order(src, dst, 8); }

void WriteByte3ds(char v) { Put(&v, 1); }
void WriteUByte3ds(std::uint8_t v) { Put(&v, 1); }
signed char ReadByte3ds() { return GetValue<signed char>(); }
std::uint8_t ReadUByte3ds() { return GetValue<std::uint8_t>(); }
void WriteShort3ds(std::int16_t v) { Put(&v, 2); }
void WriteUShort3ds(std::uint16_t v) { Put(&v, 2); }
std::int16_t ReadShort3ds() { return GetValue<std::int16_t>(); }
std::uint16_t ReadUShort3ds() { return GetValue<std::uint16_t>(); }
void WriteLong3ds(std::int32_t v) { Put(&v, 4); }
void WriteULong3ds(std::uint32_t v) { Put(&v, 4); }
std::int32_t ReadLong3ds() { return GetValue<std::int32_t>(); }
std::uint32_t ReadULong3ds() { return GetValue<std::uint32_t>(); }
void WriteFloat3ds(float v) { Put(&v, 4); }
float ReadFloat3ds() { return GetValue<float>(); }
void WriteDouble3ds(double v) { Put(&v, 8); }
double ReadDouble3ds() { return GetValue<double>(); }

void WriteVoid3ds(std::uint32_t n, const void* buf) {
    if (n == 0) return;
    if (!buf) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    std::FILE* f = GetFile3ds();
    if (!f)
        PushErrList3ds(ERR_WRITING_FILE);
    else if (std::fwrite(buf, n, 1, f) != 1)
        PushSystemErrList3ds(ERR_WRITING_FILE);
}

void ReadVoid3ds(std::uint32_t n, void* buf) {
    if (n == 0) return;
    if (!buf) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    std::FILE* f = GetFile3ds();
    if (!f || std::fread(buf, n, 1, f) != 1) PushErrList3ds(ERR_READING_FILE);
}

void SkipVoid3ds(std::uint32_t n) {
    std::FILE* f = GetFile3ds();
    std::uint8_t scratch[512];
    while (n > 0) {
        const std::uint32_t step = n < sizeof(scratch) ? n : static_cast<std::uint32_t>(sizeof(scratch));
        if (!f || std::fread(scratch, step, 1, f) != 1) {
            PushErrList3ds(ERR_READING_FILE);
            return;
        }
        n -= step;
    }
}

void WriteString3ds(const char* s) {
    if (!s) s = "";
    const std::size_t length = std::strlen(s);
    std::FILE* f = GetFile3ds();
    if (!f)
        PushErrList3ds(ERR_WRITING_FILE);
    else if (std::fwrite(s, 1, length + 1, f) != length + 1)
        PushSystemErrList3ds(ERR_WRITING_FILE);
}

void WriteFixedString3ds(const char* s, std::uint32_t n) {
    if (n == 0) return;
    char field[1024] = {};
    std::vector<char> big;
    char* out = field;
    if (n > sizeof(field)) {
        big.assign(n, 0);
        out = big.data();
    }
    if (s) {
        std::size_t length = std::strlen(s);
        if (length > n - 1) length = n - 1;
        std::memcpy(out, s, length);
    }
    WriteVoid3ds(n, out);
}

void ReadString3ds(char* dest, std::uint32_t n) {
    if (!dest || n == 0) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    dest[0] = 0;
    std::FILE* f = GetFile3ds();
    for (std::uint32_t i = 0; i < n; ++i) {
        const int c = f ? std::getc(f) : EOF;
        if (c == EOF) {
            dest[i] = 0;
            PushErrList3ds(ERR_READING_FILE);
            return;
        }
        dest[i] = static_cast<char>(c);
        if (c == 0) return;
    }
    dest[n - 1] = 0;
    PushErrList3ds(ERR_READING_FILE);
}

void ReadFixedString3ds(char* dest, std::uint32_t n) {
    if (!dest || n == 0) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    ReadString3ds(dest, n);
    if (Stop3ds()) return;
    const std::uint32_t used = static_cast<std::uint32_t>(std::strlen(dest)) + 1;
    if (used < n) ReadVoid3ds(n - used, dest + used);
}

namespace {

void ReadAndAlloc(char** out, std::uint32_t max, bool fixed) {
    if (!out) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    std::vector<char> buffer(static_cast<std::size_t>(max) + 1, 0);
    if (fixed)
        ReadFixedString3ds(buffer.data(), max + 1);
    else
        ReadString3ds(buffer.data(), max + 1);
    if (Stop3ds()) return;
    const std::size_t length = strnlen(buffer.data(), max);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) {
        PushErrList3ds(ERR_NO_MEM);
        return;
    }
    std::memcpy(copy, buffer.data(), length);
    copy[length] = 0;
    *out = copy;
}

}  // namespace

void ReadAndAllocString3ds(char** out, std::uint32_t max) { ReadAndAlloc(out, max, false); }
void ReadAndAllocFixedString3ds(char** out, std::uint32_t max) { ReadAndAlloc(out, max, true); }

std::uint32_t strlenf3ds(const char* s, std::uint32_t max) {
    if (!s) {
        PushErrList3ds(ERR_INVALID_ARG);
        return 0;
    }
    for (std::uint32_t i = 0; i <= max; ++i)
        if (s[i] == 0) return i;
    PushErrList3ds(ERR_STRING_TOO_LONG);
    return 0;
}

void WriteHeader3ds(std::uint16_t tag, std::uint32_t length) {
    std::uint8_t bytes[6];
    N2IShort3ds(&tag, bytes);
    N2ILong3ds(&length, bytes + 2);
    std::FILE* f = GetFile3ds();
    if (!f)
        PushErrList3ds(ERR_WRITING_FILE);
    else if (std::fwrite(bytes, 6, 1, f) != 1)
        PushSystemErrList3ds(ERR_WRITING_FILE);
}

void ReadHeader3ds(std::uint32_t* tag, std::uint32_t* length) {
    if (!tag || !length) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    *tag = ReadUShort3ds();
    if (Stop3ds()) return;
    *length = ReadULong3ds();
}

void FinishHeader3ds(std::uint32_t start, std::uint32_t end) {
    if (FileSeek3ds(static_cast<std::int32_t>(start + 2)) != 0) {
        PushErrList3ds(ERR_WRITING_FILE);
        return;
    }
    WriteULong3ds(end - start);
    if (Stop3ds()) return;
    if (FileSeek3ds(static_cast<std::int32_t>(end)) != 0) PushErrList3ds(ERR_WRITING_FILE);
}

void WritePoint3ds(const point3ds* p) {
    if (!p) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    WriteFloat3ds(p->x);
    if (Stop3ds()) return;
    WriteFloat3ds(p->y);
    if (Stop3ds()) return;
    WriteFloat3ds(p->z);
}

void ReadPoint3ds(point3ds* p) {
    if (!p) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    *p = DefPoint3ds;
    p->x = ReadFloat3ds();
    if (Stop3ds()) return;
    p->y = ReadFloat3ds();
    if (Stop3ds()) return;
    p->z = ReadFloat3ds();
}

void WriteTextVert3ds(const textvert3ds* t) {
    if (!t) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    WriteFloat3ds(t->u);
    if (Stop3ds()) return;
    WriteFloat3ds(t->v);
}

void ReadTextVert3ds(textvert3ds* t) {
    if (!t) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    *t = DefTextVert3ds;
    t->u = ReadFloat3ds();
    if (Stop3ds()) return;
    t->v = ReadFloat3ds();
}

void WriteFace3ds(const face3ds* f) {
    if (!f) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    const std::uint16_t v[4] = {f->a, f->b, f->c, f->flags};
    for (std::uint16_t x : v) {
        WriteUShort3ds(x);
        if (Stop3ds()) return;
    }
}

void ReadFace3ds(face3ds* f) {
    if (!f) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    *f = DefFace3ds;
    std::uint16_t* fields[4] = {&f->a, &f->b, &f->c, &f->flags};
    for (std::uint16_t* x : fields) {
        *x = ReadUShort3ds();
        if (Stop3ds()) return;
    }
}

void WriteTrackHeader3ds(const trackheader3ds* h) {
    if (!h) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    WriteUShort3ds(h->flags);
    if (Stop3ds()) return;
    WriteULong3ds(h->nu1);
    if (Stop3ds()) return;
    WriteULong3ds(h->nu2);
    if (Stop3ds()) return;
    WriteULong3ds(h->keycount);
}

void ReadTrackHeader3ds(trackheader3ds* h) {
    if (!h) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    *h = DefTrackHeader3ds;
    h->flags = ReadUShort3ds();
    if (Stop3ds()) return;
    h->nu1 = ReadULong3ds();
    if (Stop3ds()) return;
    h->nu2 = ReadULong3ds();
    if (Stop3ds()) return;
    h->keycount = ReadULong3ds();
}

namespace {

float keyheader3ds::*const kSplineFields[5] = {&keyheader3ds::tension, &keyheader3ds::continuity,
                                               &keyheader3ds::bias, &keyheader3ds::easeto,
                                               &keyheader3ds::easefrom};

}  // namespace

void WriteKeyHeader3ds(const keyheader3ds* k) {
    if (!k) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    WriteULong3ds(k->time);
    if (Stop3ds()) return;
    WriteUShort3ds(k->rflags);
    for (int i = 0; i < 5; ++i) {
        if (Stop3ds()) return;
        if (k->rflags & (1u << i)) WriteFloat3ds(k->*kSplineFields[i]);
    }
}

void ReadKeyHeader3ds(keyheader3ds* k) {
    if (!k) {
        PushErrList3ds(ERR_INVALID_ARG);
        return;
    }
    *k = DefKeyHeader3ds;
    k->time = ReadULong3ds();
    if (Stop3ds()) return;
    k->rflags = ReadUShort3ds();
    for (int i = 0; i < 5; ++i) {
        if (Stop3ds()) return;
        if (k->rflags & (1u << i)) k->*kSplineFields[i] = ReadFloat3ds();
    }
}

}  // namespace zeqsdk_400
