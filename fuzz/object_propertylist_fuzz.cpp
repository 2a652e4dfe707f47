// Reads property-list records from arbitrary field files into an object with
// typed members, creating user properties for unknown names. First input byte:
// 0 takes the rest as a whole file, anything else as the body of an ASCII file
// (so that the records are easy to reach).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fileio/kchainedfile.h"
#include "object/izeqobject.h"
#include "object/kobject.h"
#include "object/kpropertytemplate.h"

using namespace zeqsdk_400;

namespace {

class Target : public KObject {
public:
    Target() {
        Add(mShow, "Show", kPropertyTypeBool);
        Add(mCount, "Count", kPropertyTypeInteger);
        Add(mWeight, "Weight", kPropertyTypeDouble);
        Add(mMode, "Mode", kPropertyTypeEnum);
        Add(mPivot, "RotationPivot", kPropertyTypeVector);
        Add(mColor, "Color", kPropertyTypeColor);
        Add(mColor4, "Color4", kPropertyTypeColorRGBA);
        Add(mUnsaved, "Unsaved", kPropertyTypeVector);
        mUnsaved.ModifyPropertyFlag(kPropertyFlagNotSavable, true);
    }
    void Add(KProperty& p, const char* name, kPropertyType type) {
        PropertyAddToList(&p);
        p.SetPropertyType(type);
        p.SetPropertyInfo(name, this, nullptr, nullptr);
    }
    KPropertyTemplate<bool> mShow;
    KPropertyTemplate<int> mCount;
    KPropertyTemplate<double> mWeight;
    KPropertyTemplate<KPlug::kDirection> mMode;
    KPropertyTemplate<KgeTVector> mPivot;
    KPropertyTemplate<KgeRGBVector> mColor;
    KPropertyTemplate<KZeqColor> mColor4;
    KPropertyTemplate<KgeTVector> mUnsaved;
};

const char kAsciiHead[] =
    "; Zeq ASCII field file\n@Zeq: 6000\n@Header: {\n\tCreator: \"fuzz\"\n}\n@Section: 6000\n";
const char kAsciiTail[] = "\n@End\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::string file;
    if (data[0] == 0) {
        file.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    } else {
        file = kAsciiHead;
        file.append(reinterpret_cast<const char*>(data + 1), size - 1);
        file += kAsciiTail;
    }
    KChainedMemoryFile memory(file.data(), file.size());
    std::unique_ptr<IZeqObject> stream(KZeqObjectCreate());
    if (!stream->ProjectOpenStream(memory, true, true)) return 0;
    Target target;
    KArrayTemplate<KProperty*> list;
    for (int i = 0; i < target.GetPropertyCount(); ++i) list.Add(target.GetProperty(i));
    stream->FieldReadPropertiesList(list, &target);
    // Once more inside a block, with no owner.
    if (stream->FieldReadBegin("Model") && stream->FieldReadBlockBegin()) {
        stream->FieldReadPropertiesList(list, nullptr);
        stream->FieldReadBlockEnd();
    }
    stream->ProjectClose();
    return 0;
}
