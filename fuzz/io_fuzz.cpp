// Arbitrary input as node names read from a file (renamed both ways) or as a
// settings file of user options (loaded, read as every type, saved again).
// The first byte chooses which and carries the flags.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/klib.h"
#include "fileio/kconfigfile.h"
#include "fuzz/fuzzscratch.h"
#include "io/kzeqpluginrenamingstrategy.h"
#include "io/kzequserparams.h"

using namespace zeqsdk_400;

namespace {

constexpr const char* kScratch = "zeq-io-fuzz";

struct Params : KZeqUserParams {
    using KZeqUserParams::Load, KZeqUserParams::Save;
    void Load() override {}
    void Save() override {}
    ESysUnits GetSystemUnitInfo() const override { return static_cast<ESysUnits>(mUnit); }
    double GetSystemScale(ESysUnits) const override { return 1.0; }
    int mUnit = 0;
};

volatile bool sBoolSink;

void FuzzNames(std::uint8_t control, const std::string& text) {
    KZeqPluginRenamingStrategy import(KZeqPluginRenamingStrategy::eFromZeq, (control & 2) != 0);
    KZeqPluginRenamingStrategy exporter(KZeqPluginRenamingStrategy::eToZeq, false);
    exporter.SetClashSoverType(static_cast<KZeqPluginRenamingStrategy::EClashType>(control % 3));
    // Each line is one name; exporting every read name again must not fail either.
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        KName name(line.c_str());
        import.Rename(name);
        KName again(name.GetCurrentName());
        exporter.Rename(again);
        KZeqPluginRenamingStrategy::NoPrefixName(line.c_str());
        start = end + 1;
    }
}

void FuzzSettings(std::uint8_t control, const std::uint8_t* data, std::size_t size) {
    KLib_SetConfigDirectory(zeqfuzz::ScratchFolder(kScratch).GetPath().c_str());
    if (zeqfuzz::Put(kScratch, "params.ini", data, size).empty()) return;

    Params params;
    params.mUnit = control % 11 - 1;
    KConfigFile settings("params.ini", (control & 1) != 0);
    params.Load(settings, "UserParams");
    // Every entry read as each type; doubles written back in their stored form.
    for (unsigned int i = 0; i < static_cast<unsigned int>(params.GetNbParameters()) + 2; ++i) {
        sBoolSink = params.GetBoolParam(i);
        params.SetDoubleParam(i, params.GetDoubleParam(i));
    }
    KString text = params.GetStringParam(24);
    params.StringToLoadMode(text);
    params.ComputeMasterScale((control & 2) != 0, (control & 4) != 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t control = data[0];
    if (control & 0x80) {
        FuzzSettings(control, data + 1, size - 1);
    } else {
        FuzzNames(control, std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    }
    return 0;
}
