#ifndef ZEQ_FORMATS_MOTION_MARKER_TESTS_MARKERTEST_H
#define ZEQ_FORMATS_MOTION_MARKER_TESTS_MARKERTEST_H

// What the marker format tests share: files under a fresh directory, reading
// a file into a scene through the importer, and the keys a read left.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fcurve/kfcurve.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfilesizelimit.h"
#include "formats/kzeqformats.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "content/kzeqmarker.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"

namespace markertest {

using namespace zeqsdk_400;
using zeqtest::ReadFile;
using zeqtest::Str;
using zeqtest::TempDir;
using zeqtest::WriteFile;

// A shared sample file, or "" when the samples are not on this machine.
inline std::string SampleFile(const std::string& relative) {
#ifdef ZEQ_TESTDATA_DIR
    const std::string path = std::string(ZEQ_TESTDATA_DIR) + "/" + relative;
    if (std::filesystem::exists(path)) return path;
#else
    (void)relative;
#endif
    return std::string();
}

#define ZEQ_SAMPLE_OR_SKIP(var, relative)                                                           \
    const std::string var = ::markertest::SampleFile(relative);                                     \
    if (var.empty()) GTEST_SKIP() << "sample file " << (relative) << " not found (ZEQ_TESTDATA_DIR)"

// One curve of a marker: its keys' values and times.
struct Track {
    std::vector<float> mValues;
    std::vector<KTime> mTimes;
    std::vector<int> mInterpolations;
};

inline Track TrackOf(KFCurve* curve) {
    Track track;
    for (int i = 0; curve && i < curve->KeyGetCount(); ++i) {
        track.mValues.push_back(curve->KeyGetPtr(i)->GetValue());
        track.mTimes.push_back(curve->KeyGetPtr(i)->GetTime());
        track.mInterpolations.push_back(static_cast<int>(curve->KeyGetPtr(i)->GetInterpolation()));
    }
    return track;
}

// One sample of a marker: x, y, z and occlusion.
typedef std::vector<std::vector<KZeqVector4>> Samples;  // [marker][frame]

inline KTime Seconds(double seconds) {
    KTime time;
    time.SetSecondDouble(seconds);
    return time;
}

// Frame f of a take at rate from start, timed as the readers and writers time it.
inline KTime FrameTime(double start, double rate, int f) {
    KStreamOptionsMotion options;
    options.SetTimeMode(KTime::eModeDefault, rate);
    return Seconds(start) + options.GetFramePeriod() * f;
}

// A manager and a scene that files are read into and written from.
struct MarkerScene {
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    int mError = -1;
    KString mErrorText;
    KString mMessage;  // the importer's after the last Import

    MarkerScene() { ZeqRegisterFormats(); }

    // Reads path through the importer row; tweak may change the file's options first.
    bool Import(const std::string& path, int row,
                const std::function<void(KStreamOptionsMotion&)>& tweak = nullptr) {
        KZeqImporter importer(mManager);
        importer.Initialize(path.c_str());
        importer.SetFileFormat(row);
        KStreamOptions* options = importer.GetImportOptions();
        bool read = false;
        if (options) {
            if (tweak) tweak(*static_cast<KStreamOptionsMotion*>(options));
            read = importer.Import(*mScene, options);
            importer.ReleaseImportOptions(options);
        }
        mError = importer.GetLastErrorID();
        mErrorText = importer.GetLastErrorString();
        importer.GetMessage(mMessage);
        return read;
    }

    // Writes the scene through the exporter row; tweak may change the options.
    bool Export(const std::string& path, int row,
                const std::function<void(KStreamOptionsMotion&)>& tweak = nullptr) {
        KZeqExporter exporter(mManager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(row);
        KStreamOptions* options = exporter.GetExportOptions();
        bool written = false;
        if (options) {
            if (tweak) tweak(*static_cast<KStreamOptionsMotion*>(options));
            written = exporter.Export(*mScene, options);
            exporter.ReleaseExportOptions(options);
        }
        mError = exporter.GetLastErrorID();
        mErrorText = exporter.GetLastErrorString();
        return written;
    }

    // Export over an existing file in a fresh directory while every write past
    // 64 bytes fails, as on a full device; false unless the export failed and
    // left the file as it was with nothing beside it.
    bool ExportFailsOnAFullDevice(const char* extension, int row,
                                  const std::function<void(KStreamOptionsMotion&)>& tweak = nullptr) {
        TempDir dir;
        const std::string path = dir / (std::string("kept.") + extension);
        const std::string previous = "what the file held before the export\n";
        WriteFile(path, previous);
        bool written = false;
        {
            zeqtest::ScopedFileSizeLimit full(64);
            written = Export(path, row, tweak);
        }
        int entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) entries += entry.exists() ? 1 : 0;
        return !written && ReadFile(path) == previous && entries == 1;
    }

    KZeqNode* Root() const { return mScene->GetRootNode(); }
    // The last reference node read (the root's last child).
    KZeqNode* Reference() const {
        const int count = Root()->GetChildCount();
        return count > 0 ? Root()->GetChild(count - 1) : nullptr;
    }
    std::vector<std::string> MarkerNames() const {
        std::vector<std::string> names;
        KZeqNode* reference = Reference();
        for (int i = 0; reference && i < reference->GetChildCount(); ++i)
            names.push_back(reference->GetChild(i)->GetNameWithoutNameSpacePrefix().Buffer());
        return names;
    }
    // Curve c of marker i in its current take: 0-2 translation x, y, z, 3
    // occlusion, 4-6 rotation, 7-9 scaling.
    KFCurve* Curve(int marker, int c) const {
        KZeqTakeNode* take = Reference()->GetChild(marker)->GetCurrentTakeNode();
        KFCurve* curves[10] = {take->GetTranslationX(), take->GetTranslationY(),   take->GetTranslationZ(),
                               take->GetOcclusion(),    take->GetEulerRotationX(), take->GetEulerRotationY(),
                               take->GetEulerRotationZ(), take->GetScaleX(),       take->GetScaleY(),
                               take->GetScaleZ()};
        return curves[c];
    }
    // Curve c of marker i evaluated at frames of a take.
    std::vector<double> Values(int marker, int c, double start, double rate, int frames) const {
        std::vector<double> values;
        for (int f = 0; f < frames; ++f) values.push_back(Curve(marker, c)->Evaluate(FrameTime(start, rate, f)));
        return values;
    }
    Track TrackOf(int marker, int c) const { return markertest::TrackOf(Curve(marker, c)); }
    // A selected optical marker under parent animated in the take "anim" with one
    // key a frame at rate from start: position and occlusion of sample(frame).
    KZeqNode* AddMarker(KZeqNode* parent, const char* name, int frames, double rate, double start,
                        const std::function<KZeqVector4(int)>& sample) {
        return AddAnimated(parent, name, true, frames, rate, start, [&](int f, double* channels) {
            const KZeqVector4 v = sample(f);
            for (int c = 0; c < 4; ++c) channels[c] = v.GetAt(c);
        });
    }
    // A selected node (an optical marker or a plain one) animated in the take
    // "anim": channels[10] of a frame as Curve() numbers them, filled by sample
    // (scaling 1 and everything else 0 unless it says otherwise).
    KZeqNode* AddAnimated(KZeqNode* parent, const char* name, bool marker, int frames, double rate, double start,
                          const std::function<void(int, double*)>& sample) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        if (marker) {
            KZeqMarker* attribute = mManager.CreateKZeqMarker();
            attribute->SetType(KZeqMarker::eOPTICAL_MARKER);
            node->SetNodeAttribute(attribute);
        }
        parent->AddChild(node);
        node->SetSelected(true);
        node->CreateTakeNode("anim");
        node->SetCurrentTakeNode("anim");
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        KFCurve* curves[10] = {take->GetTranslationX(), take->GetTranslationY(),   take->GetTranslationZ(),
                               take->GetOcclusion(),    take->GetEulerRotationX(), take->GetEulerRotationY(),
                               take->GetEulerRotationZ(), take->GetScaleX(),       take->GetScaleY(),
                               take->GetScaleZ()};
        for (int f = 0; f < frames; ++f) {
            double channels[10] = {0, 0, 0, 0, 0, 0, 0, 1, 1, 1};
            sample(f, channels);
            for (int c = 0; c < 10; ++c) {
                if (!curves[c]) continue;
                const int key = curves[c]->KeyAppendFast(FrameTime(start, rate, f), static_cast<float>(channels[c]));
                if (c == 3) curves[c]->KeyGetPtr(key)->SetInterpolation(2);
            }
        }
        return node;
    }
    // The markers under parent evaluated at frame times in their current take.
    static Samples Sample(KZeqNode* parent, double start, double rate, int frames) {
        Samples samples;
        for (int i = 0; parent && i < parent->GetChildCount(); ++i) {
            KZeqTakeNode* take = parent->GetChild(i)->GetCurrentTakeNode();
            KFCurve* curves[4] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ(), take->GetOcclusion()};
            std::vector<KZeqVector4> track;
            for (int f = 0; f < frames; ++f) {
                KZeqVector4 v;
                for (int c = 0; c < 4; ++c) v.SetAt(c, curves[c]->Evaluate(FrameTime(start, rate, f)));
                track.push_back(v);
            }
            samples.push_back(track);
        }
        return samples;
    }
    // Occluded samples over every marker.
    int OccludedCount() const {
        int count = 0;
        for (int i = 0; i < Reference()->GetChildCount(); ++i)
            for (float v : TrackOf(i, 3).mValues) count += v > 0.5f;
        return count;
    }
};

}  // namespace markertest

#endif
