#ifndef ZEQ_BENCH_PLUGINIMPORT_BENCH_SUPPORT_H
#define ZEQ_BENCH_PLUGINIMPORT_BENCH_SUPPORT_H

// Helpers of the host scene import benchmarks: scene files written once per kind and size, the
// stand-in made ready for a pass, and the pass run step by step under a clock.

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>

#include "base/klib.h"
#include "bench/benchscratch.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "standin.h"

namespace importbench {

using namespace zeqsdk_400;

// <scratch folder>/<bench>/, made on the first call, which also makes it the master directory.
inline std::string Directory(const char* bench) {
    static const std::string directory = [bench] {
        const std::string d = zeqbench::MakeFolder(bench) + "/";
        KLib_SetMasterDirectory(d.c_str());
        return d;
    }();
    return directory;
}

// The scene that build fills, written once per name as a binary Zeq file in the bench's directory.
template <class Build>
std::string SceneFile(const char* bench, const std::string& name, Build build) {
    static std::map<std::string, std::string> files;
    auto found = files.find(name);
    if (found != files.end()) return found->second;
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    build(manager, *scene);
    const std::string path = Directory(bench) + name + ".zeq";
    KZeqExporter exporter(manager);
    exporter.Initialize(path.c_str());
    exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
    KStreamOptionsZeq options;
    exporter.SetExportOptionsInfo(&options);
    if (!exporter.Export(*scene)) std::abort();
    return files[name] = path;
}

// The stand-in emptied, its faults taken, the import without dialogs in create mode.
inline void Prepare() {
    standin::reset();
    standin::takeFaults();
    ZeqTuloUserParams::Instance()->SetBoolParam(ZeqTuloUserParams::kImportShowUI, false);
    ZeqTuloUserParams::Instance()->SetImportType(KZeqUserParams::kCreate);
}

// The pass run step by step, each step timed: the whole and the read kept here, every step also
// handed to Timed.
class TimedImport : public ZeqTuloImport {
public:
    double mRead = 0, mTotal = 0;
    void Run() {
        using Clock = std::chrono::steady_clock;
        for (int i = 0; i < kImportStepCount; ++i) {
            const ImportStep& step = kImportSteps[i];
            const auto start = Clock::now();
            if ((this->*step.mRun)() == eStepFail) std::abort();
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            mTotal += seconds;
            const std::string name = step.mName;
            if (name == "read the file") mRead += seconds;
            Timed(name, seconds);
        }
    }

protected:
    virtual void Timed(const std::string& /*step*/, double /*seconds*/) {}
};

}  // namespace importbench

#endif
