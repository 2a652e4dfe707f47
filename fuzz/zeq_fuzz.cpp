// Opens arbitrary bytes as a field file and walks every section, field, value and
// block. The first byte chooses how the rest is presented: as a whole file (any
// encoding), as the main section of a valid plain or encrypted binary file (so the
// checksums hold and the body parser is reached), as such a section after a data
// area that its chunk references can point into, or as the fields of an ASCII file.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"
#include "fileio/kzeqascii.h"
#include "fileio/kzeqbinary.h"
#include "fileio/kzeqcrypto.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::zeqdetail;

namespace {

std::string WrapBinary(const std::uint8_t* data, std::size_t size, bool encrypted, std::size_t dataArea = 0) {
    KZeqFileHeaderInfo header;
    header.mFileVersion = 5800;
    ZeqBuffer info;
    EncodeHeaderInfo(header, info);
    std::uint8_t fixed[kFixedHeaderSize];
    BuildFixedHeader(fixed, 5800, encrypted ? kFileFlagEncrypted : 0, static_cast<std::uint32_t>(info.Size()),
                     Crc32(0, info.Data(), info.Size()));
    std::string file(reinterpret_cast<const char*>(fixed), sizeof(fixed));
    file.append(reinterpret_cast<const char*>(info.Data()), info.Size());
    file.append(reinterpret_cast<const char*>(data), dataArea);
    data += dataArea;
    size -= dataArea;
    std::vector<ZeqSectionInfo> sections(1);
    sections[0].mOffset = file.size();
    sections[0].mStoredLength = size;
    sections[0].mVersion = 5800;
    std::string body(reinterpret_cast<const char*>(data), size);
    if (encrypted) {
        std::uint8_t key[kKeySize];
        BuiltInKey(key);
        std::memset(sections[0].mNonce, 0x3C, kNonceSize);
        ZeqCtrCipher cipher;
        cipher.SetKey(key, sections[0].mNonce);
        cipher.Apply(reinterpret_cast<std::uint8_t*>(&body[0]), body.size(), 0);
    }
    sections[0].mCrc = Crc32(0, body.data(), body.size());
    file += body;
    ZeqBuffer table;
    EncodeSectionTable(sections, table);
    std::uint8_t slot[kSlotSize];
    BuildSlot(slot, file.size(), table.Size(), 1);
    file.append(reinterpret_cast<const char*>(table.Data()), table.Size());
    std::memcpy(&file[kSlotOffset], slot, kSlotSize);
    return file;
}

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
            file = WrapBinary(data, size, mode == 2);
            break;
        case 4:
        case 5:
            // The second byte says how much of the rest is the data area.
            if (size < 1) return 0;
            file = WrapBinary(data + 1, size - 1, mode == 5, (size - 1) * data[0] / 256);
            break;
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
