#ifndef ZEQ_FORMATS_MOTION_COMMON_TESTS_KZEQMOTIONWRITERS_SUPPORT_H
#define ZEQ_FORMATS_MOTION_COMMON_TESTS_KZEQMOTIONWRITERS_SUPPORT_H

// A scene's skeleton written through every motion writer (BVH with and without
// translation channels, HTR, ASF with its AMC, and from global position TRC,
// C3D, AOA, MCD, VPM, MOV and BRD), each file's text and what the writers said.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "formats/kzeqformats.h"
#include "formats/motion/testkit/zeqmotiontestkit.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqmotionwriters {

using namespace zeqsdk_400;

// One way of writing: the exporter's row, the file's extension, and the
// options changed before the write.
struct Way {
    const char* mName;
    int mRow;
    const char* mExtension;
    std::function<void(KStreamOptionsMotion&)> mAdjust;
};

// The writers of points and sensors write each node where the scene puts it,
// not where it lies from the top joint.
inline void Global(KStreamOptionsMotion& options) {
    options.SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOn);
}

inline const std::vector<Way>& Ways() {
    static const std::vector<Way> ways = {
        {"bvh", KZeqExporter::eBIOVISION_BVH, "bvh", nullptr},
        {"bvh-translation", KZeqExporter::eBIOVISION_BVH, "bvh",
         [](KStreamOptionsMotion& o) { o.SetOption(KStreamOptionsMotion::eTranslation, KStreamOptionsMotion::eOn); }},
        {"htr", KZeqExporter::eMOTION_ANALYSIS_HTR, "htr", nullptr},
        // The AMC goes with the skeleton the ASF write leaves in the options.
        {"asf", KZeqExporter::eACCLAIM_ASF, "asf", nullptr},
        {"trc", KZeqExporter::eMOTION_ANALYSIS_TRC, "trc", Global},
        {"c3d", KZeqExporter::eVICON_C3D, "c3d", Global},
        {"aoa", KZeqExporter::eADAPTIVE_OPTICS_AOA, "aoa", Global},
        {"mcd", KZeqExporter::eSUPERFLUO_MCD, "mcd", Global},
        {"vpm", KZeqExporter::ePUPPETEER_VPM, "vpm", Global},
        {"mov", KZeqExporter::eCORVANTIS_MOV, "mov", Global},
        {"brd", KZeqExporter::eASCENSION_BRD, "brd", Global},
    };
    return ways;
}

struct Output {
    std::string mPath;
    std::string mText;
    std::string mMessages;                // the exporter's message and every message callback's text
    std::vector<std::string> mCallbacks;  // "caption: text" of each message callback
};

// FNV-1a of a text, in hexadecimal.
inline std::string Hash(const std::string& text) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
    char buffer[17];
    std::snprintf(buffer, sizeof(buffer), "%016llx", static_cast<unsigned long long>(h));
    return buffer;
}

class Writers {
public:
    // Files go into directory.
    Writers(KZeqSdkManager& manager, const std::string& directory) : mManager(manager), mDirectory(directory) {
        ZeqRegisterFormats();
    }

    // Writes the scene through way (and for "asf" the AMC after it, as "amc"):
    // frames at rate from start. False with the exporter's error in error.
    bool Write(KZeqScene& scene, const Way& way, int frames, double rate, KTime start,
               std::map<std::string, Output>& out, std::string& error) {
        KStreamOptionsMotion* options = nullptr;
        const bool ok =
            WriteOne(scene, way.mRow, way.mName, way.mExtension, way.mAdjust, frames, rate, start, options, out,
                     error) &&
            (way.mRow != KZeqExporter::eACCLAIM_ASF || WriteOne(scene, KZeqExporter::eACCLAIM_AMC, "amc", "amc",
                                                                nullptr, frames, rate, start, options, out, error));
        if (options) options->Destroy();
        return ok;
    }

    // Every way in turn.
    bool WriteAll(KZeqScene& scene, int frames, double rate, KTime start, std::map<std::string, Output>& out,
                  std::string& error) {
        for (const Way& way : Ways())
            if (!Write(scene, way, frames, rate, start, out, error)) return false;
        return true;
    }

private:
    bool WriteOne(KZeqScene& scene, int row, const char* name, const char* extension,
                  const std::function<void(KStreamOptionsMotion&)>& adjust, int frames, double rate, KTime start,
                  KStreamOptionsMotion*& options, std::map<std::string, Output>& out, std::string& error) {
        const std::string path = mDirectory + "/" + name + "." + extension;
        KZeqExporter exporter(mManager);
        exporter.SetFileFormat(row);
        if (!exporter.Initialize(path.c_str())) {
            error = std::string(name) + ": the exporter does not start";
            return false;
        }
        if (!options) options = static_cast<KStreamOptionsMotion*>(exporter.GetExportOptions());
        zeqmotiontest::CallbackRecorder recorder;
        recorder.Install(*options);
        options->SetTimeMode(KTime::eModeDefault, rate);
        options->SetStart(start);
        options->SetFrameCount(frames);
        if (adjust) adjust(*options);
        const bool ok = exporter.Export(scene, options);
        Output& written = out[name];
        written.mPath = path;
        KString message;
        exporter.GetMessage(message);
        written.mMessages = message.Buffer();
        for (const auto& m : recorder.mMessages) {
            written.mMessages += "\n" + m.mText;
            written.mCallbacks.push_back(m.mCaption + ": " + m.mText);
        }
        if (!ok) {
            error = std::string(name) + ": " + exporter.GetLastErrorString() + " " + written.mMessages;
            return false;
        }
        written.mText = zeqmotiontest::ReadText(path);
        return true;
    }

    KZeqSdkManager& mManager;
    std::string mDirectory;
};

// Reads what way wrote (for "asf" its AMC with it, frames at rate from 0)
// into scene; false with the reason in error.
inline bool ReadWritten(KZeqSdkManager& manager, KZeqScene& scene, const std::string& way,
                        const std::map<std::string, Output>& out, int frames, double rate, std::string& error) {
    if (way == "asf") {
        KZeqImporter asf(manager);
        asf.SetFileFormat(KZeqImporter::eACCLAIM_ASF);
        asf.Initialize(out.at("asf").mPath.c_str());
        KStreamOptionsMotion* options = static_cast<KStreamOptionsMotion*>(asf.GetImportOptions());
        bool ok = options && asf.Import(scene, options);
        KZeqImporter amc(manager);
        amc.SetFileFormat(KZeqImporter::eACCLAIM_AMC);
        amc.Initialize(out.at("amc").mPath.c_str());
        if (ok) {
            options->SetTimeMode(KTime::eModeDefault, rate);
            options->SetStart(KTime());
            options->SetFrameCount(frames);
            ok = amc.Import(scene, options);
        }
        if (options) options->Destroy();
        if (!ok) error = "the ASF and AMC files do not read back";
        return ok;
    }
    static const std::map<std::string, int> kRows = {
        {"bvh", KZeqImporter::eBIOVISION_BVH},       {"bvh-translation", KZeqImporter::eBIOVISION_BVH},
        {"htr", KZeqImporter::eMOTION_ANALYSIS_HTR}, {"trc", KZeqImporter::eMOTION_ANALYSIS_TRC},
        {"c3d", KZeqImporter::eVICON_C3D},           {"aoa", KZeqImporter::eADAPTIVE_OPTICS_AOA},
        {"mcd", KZeqImporter::eSUPERFLUO_MCD},       {"vpm", KZeqImporter::ePUPPETEER_VPM},
        {"mov", KZeqImporter::eCORVANTIS_MOV},       {"brd", KZeqImporter::eASCENSION_BRD},
    };
    const int row = kRows.at(way);
    return zeqmotiontest::ImportMotion(manager, scene, row, out.at(way).mPath, nullptr, &error);
}

// The node a written joint comes back as: by its name, the top as "root" in
// ASF, a leaf written without motion of its own as its parent's "_End"; in
// MOV and BRD, which keep no names, as "Marker<index>", index its place among
// the nodes written (depth first).
inline KZeqNode* FindWritten(KZeqScene& scene, const std::string& way, const std::string& name, bool top,
                             const std::string& parent, int index = -1) {
    KZeqNode* root = scene.GetRootNode();
    if (way == "mov" || way == "brd") return root->FindChild(("Marker" + std::to_string(index)).c_str(), true);
    if (way == "aoa" || way == "mcd") return root->FindChild(("Marker" + std::to_string(index + 1)).c_str(), true);
    KZeqNode* node = root->FindChild(top && way == "asf" ? "root" : name.c_str(), true);
    if (!node && !parent.empty()) node = root->FindChild((parent + "_End").c_str(), true);
    return node;
}

}  // namespace zeqmotionwriters

#endif
