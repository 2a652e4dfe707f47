#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_ERRORS3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_ERRORS3DS_H

// The 3DS toolkit's error stack. Every toolkit function that fails pushes a code
// here and returns its failure value, unless ignoretoolkiterr3ds is set; the flag
// toolkiterr3ds stays set until ClearErrList3ds, so composite functions test it
// after each inner call. Global state: one toolkit user at a time.

#include <cstdint>
#include <cstdio>

namespace zeqsdk_400 {

enum : std::int32_t {
    NO_ERRORS = 0,
    ERR_NO_MEM = 1,
    ERR_INVALID_ARG = 2,
    ERR_INVALID_DATA = 3,
    ERR_INVALID_CHUNK = 4,
    ERR_INVALID_DATABASE = 5,
    ERR_WRONG_DATABASE = 6,
    ERR_UNFOUND_CHUNK = 7,
    ERR_WRONG_OBJECT = 8,
    ERR_NO_SUCH_FILE = 9,
    ERR_INIT_FAILED = 10,
    ERR_OPENING_FILE = 11,
    ERR_CLOSING_FILE = 12,
    ERR_READING_FILE = 13,
    ERR_CREATING_DATABASE = 14,
    ERR_READING_DATABASE = 15,
    ERR_WRITING_DATABASE = 16,
    ERR_WRITING_FILE = 17,
    ERR_STRING_TOO_LONG = 18,
    ERR_TOO_MANY_FILES = 19,
    // Raised by WriteDatabase3ds for a keyframer of more nodes than 16-bit ids number (kMaxNodes3ds).
    ERR_TOO_MANY_NODES = 20,
    // Raised by PutMesh3ds when a chunk cannot be made; it has no message of its own.
    ERR_PUTTING_MESH = 21,
    N_ERRORS = 22,
};

// Keyframer node ids are 16-bit and -1 means none: ids 0 to 32,767.
constexpr std::int32_t kMaxNodes3ds = 0x8000;

struct errorentry3ds {
    std::int32_t code;
    const char* text;  // constant message, never freed
};

// Entries 0..18 hold the errors oldest first, the entry after the last one has
// code 0; entry 20 records the first overflow and then turns into N_ERRORS.
constexpr int ErrStackSize3ds = 21;

extern std::uint8_t toolkiterr3ds;        // set by every push, cleared only by ClearErrList3ds
extern std::uint8_t ignoretoolkiterr3ds;  // users' switch: record failures and carry on

void PushErrList3ds(std::int32_t code);
// Pushes code for a file operation that failed just now; the first since
// ClearErrList3ds keeps the system's error number (errno) as SystemError3ds, and
// reason (the system's own where none is given) as SystemReason3ds.
void PushSystemErrList3ds(std::int32_t code, const char* reason = nullptr);
// The system's error number behind the first file operation that failed since
// ClearErrList3ds; 0 when none did.
int SystemError3ds();
// Why it failed ("Cannot write \"/d/a.3ds\": Permission denied"), "" when none did;
// DumpErrList3ds says it after that operation's entry.
const char* SystemReason3ds();
void ClearErrList3ds();
void DumpErrList3ds(std::FILE* out);
const errorentry3ds* ReturnErrorList3ds();
const char* ErrCodeToString3ds(std::int32_t code);

// True when an error is pending and not ignored: the caller returns at once.
inline bool Stop3ds() { return toolkiterr3ds != 0 && ignoretoolkiterr3ds == 0; }

}  // namespace zeqsdk_400

#endif
