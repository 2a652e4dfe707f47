#include "formats/geometry/3ds/toolkit/errors3ds.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace zeqsdk_400 {

std::uint8_t toolkiterr3ds = 0;
std::uint8_t ignoretoolkiterr3ds = 0;

namespace {

errorentry3ds gErrStack[ErrStackSize3ds] = {};
int gSystemError = 0;
// Why that first file operation failed, as its caller said it (the path and the system's reason).
std::string gSystemReason;
// The entry of that operation, -1 before one.
int gSystemEntry = -1;

// Message of each code, indexed by code; null where the code has none.
const char* const kMessages[] = {
    "NO_ERRORS: No errors are pending",
    "ERR_NO_MEM: Not enough memory to complete operation",
    "ERR_INVALID_ARG: The argument passed to the function is invalid.  Usually caused by a NULL pointer or an "
    "out of range numeric argument.",
    "ERR_INVALID_DATA: The structure passed as an argument to the function has invalid or out of range data in "
    "its fields.",
    "ERR_INVALID_CHUNK: An invalid chunk structure was encountered while reading the database. Usually caused "
    "by a corrupt database or file",
    "ERR_INVALID_DATABASE: The database passed as an argument has not been created yet.",
    "ERR_WRONG_DATABASE: The database passed as an argument is the wrong kind of database for this function.",
    "ERR_UNFOUND_CHUNK: The database is missing important file chunks needed to fill out the requested "
    "structure.  Usually caused by a corrupt database or file",
    "ERR_WRONG_OBJECT: The name passed to the functions exists, but is not the type of object asked for.  For "
    "example, asking for a mesh object with the GetCameraByName3ds function.",
    "ERR_NO_SUCH_FILE: The filename passed as an argument for reading does not exist",
    "ERR_INIT_FAILED: Failed to initialize structure passed as an argument",
    "ERR_OPENING_FILE: Could not open requested file",
    "ERR_CLOSING_FILE: Could not close requested file",
    "ERR_READING_FILE: Error occurred while reading file",
    "ERR_CREATING_DATABASE: Error occurred while creating database",
    "ERR_READING_DATABASE: Error occurred while reading database",
    "ERR_WRITING_DATABASE: Error occurred while writing database",
    "ERR_WRITING_FILE: Error occurred while writing file",
    "ERR_STRING_TOO_LONG: String encountered in file, structure, or as an argument was longer than expected.  "
    "Possibly caused by an uninitialized pointer, corrupt file or database",
    "ERR_TOO_MANY_FILES: The toolkit has reached its maximum open file limit of 252 files.",
    "ERR_TOO_MANY_NODES: The keyframer holds more than the 32768 nodes its 16-bit node ids can number.",
    nullptr,
    "N_ERRORS: More errors were reported than could be recorded.",
};

}  // namespace

const char* ErrCodeToString3ds(std::int32_t code) {
    if (code >= 0 && code < static_cast<std::int32_t>(sizeof(kMessages) / sizeof(kMessages[0])) && kMessages[code])
        return kMessages[code];
    return "Unknown error code was encountered";
}

void PushErrList3ds(std::int32_t code) {
    if (code == 0) return;
    toolkiterr3ds = 1;
    for (int i = 0; i < 19; ++i) {
        if (gErrStack[i].code == 0) {
            gErrStack[i].code = code;
            gErrStack[i].text = ErrCodeToString3ds(code);
            gErrStack[i + 1].code = 0;
            return;
        }
    }
    errorentry3ds& overflow = gErrStack[20];
    if (overflow.code == 0) {
        overflow.code = code;
        overflow.text = ErrCodeToString3ds(code);
    } else {
        overflow.code = N_ERRORS;
        overflow.text = ErrCodeToString3ds(N_ERRORS);
    }
}

void PushSystemErrList3ds(std::int32_t code, const char* reason) {
    if (gSystemEntry < 0) {
        gSystemError = errno;
        gSystemReason = reason && *reason ? reason : gSystemError != 0 ? std::strerror(gSystemError) : "";
        for (int i = 0; i < 19 && gSystemEntry < 0; ++i)
            if (gErrStack[i].code == 0) gSystemEntry = i;
    }
    PushErrList3ds(code);
}

int SystemError3ds() { return gSystemError; }

const char* SystemReason3ds() { return gSystemReason.c_str(); }

void ClearErrList3ds() {
    toolkiterr3ds = 0;
    gSystemError = 0;
    gSystemReason.clear();
    gSystemEntry = -1;
    for (int i = 0; i < 20; ++i) gErrStack[i].code = 0;
}

void DumpErrList3ds(std::FILE* out) {
    if (!out) return;
    for (int i = 19; i >= 0; --i) {
        if (gErrStack[i].code == 0) continue;
        if (i == gSystemEntry && !gSystemReason.empty())
            std::fprintf(out, "%s: %s\n", gErrStack[i].text, gSystemReason.c_str());
        else
            std::fprintf(out, "%s\n", gErrStack[i].text);
    }
}

const errorentry3ds* ReturnErrorList3ds() { return gErrStack; }

}  // namespace zeqsdk_400
