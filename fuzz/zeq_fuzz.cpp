// Opens arbitrary bytes as a field file and walks every section, field, value and
// block. The first byte chooses how the rest is presented: as a whole file (any
// encoding), as the main section of a valid plain or encrypted binary file (so the
// checksums hold and the body parser is reached), as such a section after a data
// area that its chunk references can point into, or as the fields of an ASCII file.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fuzz/fuzz_support.h"

using namespace zeqsdk_400;

namespace {

void WalkValues(KZeq& zeq) {
    double doubles[7];
    int ints[5];
    while (zeq.FieldReadGetRemain() > 0) {
        switch (zeq.FieldReadGetType()) {
            case 'D':
                zeq.FieldReadDn(doubles, 7);
                break;
            case 'F':
                zeq.FieldReadF();
                break;
            case 'I':
                zeq.FieldReadIn(ints, 5);
                break;
            case 'L':
                zeq.FieldReadT();
                break;
            case 'C':
                zeq.FieldReadCH();
                break;
            case 'E': {
                KString name("x");
                KString relative("../x");
                zeq.FieldReadEmbeddedFile(name, relative);
                break;
            }
            default:
                zeq.FieldReadC();
                break;
        }
    }
    zeq.FieldReadD();
}

void WalkBlock(KZeq& zeq, int depth) {
    const int count = zeq.FieldGetBlockFieldCount();
    for (int i = 0; i < count; ++i) {
        const KString name = zeq.FieldGetBlockFieldName(i);
        zeq.FieldGetInstanceCount(name.Buffer());
        if (!zeq.FieldReadBegin(name.Buffer(), name.GetLen())) continue;
        zeq.FieldReadGetCount();
        WalkValues(zeq);
        if (zeq.FieldReadBlockBegin()) {
            WalkBlock(zeq, depth + 1);
            zeq.FieldReadBlockEnd();
        }
        zeq.FieldReadEnd();
    }
    zeq.FieldReadResetPosition();
    zeq.FieldReadI("Version", 0);
    zeq.FieldReadTS("LocalTime");
}

void WalkFile(KChainedFile& stream) {
    KZeq zeq;
    KZeqFileHeaderInfo header;
    if (!zeq.ProjectOpenStream(stream, false, false, &header)) return;
    if (zeq.ProjectOpenMainSection()) {
        zeq.IsPasswordProtected();
        WalkBlock(zeq, 0);
        zeq.ProjectCloseSection();
    }
    for (int i = 0; i < zeq.ProjectGetExtensionSectionCount(); ++i) {
        if (zeq.ProjectOpenExtensionSection(i)) WalkBlock(zeq, 0);
    }
    zeq.ProjectCloseSection();
    // Write a summary back where the file allows it, then read it again.
    zeq.GetError().ClearLastError();
    if (zeq.ProjectCreateExtensionSection(true)) {
        zeq.FieldWriteBegin("Summary");
        zeq.FieldWriteBlockBegin();
        zeq.FieldWriteBegin("Version");
        zeq.FieldWriteI(101);
        zeq.ProjectCloseSection();
        if (zeq.ProjectOpenExtensionSection(zeq.ProjectGetExtensionSectionCount() - 1)) WalkBlock(zeq, 0);
    }
    zeq.ProjectClose();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0] % 6;
    ++data;
    --size;
    std::string file;
    switch (mode) {
        case 0:
            file.assign(reinterpret_cast<const char*>(data), size);
            break;
        case 1:
        case 2:
            file = zeqfuzz::MakeBinaryZeq(std::string(reinterpret_cast<const char*>(data), size), 5800, mode == 2);
            break;
        case 4:
        case 5: {
            // The second byte says how much of the rest is the data area.
            if (size < 1) return 0;
            const std::size_t area = (size - 1) * data[0] / 256;
            const char* rest = reinterpret_cast<const char*>(data + 1);
            file = zeqfuzz::MakeBinaryZeq(std::string(rest + area, size - 1 - area), 5800, mode == 5,
                                          std::string(rest, area));
            break;
        }
        default:
            file = "@Zeq: 5800\n@Section: 5800\n";
            file.append(reinterpret_cast<const char*>(data), size);
            file += "\n@End\n";
            break;
    }
    KChainedMemoryFile stream(file.data(), file.size());
    WalkFile(stream);
    return 0;
}
