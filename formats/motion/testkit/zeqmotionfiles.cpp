// Temporary directories, sample files, import and export through the rows,
// and the callback recorder.

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "fileio/tests/fileio_test_support.h"
#include "formats/kzeqformats.h"
#include "formats/motion/testkit/zeqmotiontestkit.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqmotiontest {

using namespace zeqsdk_400;

// ---- Files -------------------------------------------------------------------------------------

MotionTempDir::MotionTempDir() : mDir(std::make_unique<zeqtest::TempDir>()), mPath(mDir->Path().string()) {}

MotionTempDir::~MotionTempDir() = default;

void WriteText(const std::string& path, const std::string& text) { zeqtest::WriteFile(path, text); }

std::string ReadText(const std::string& path) { return zeqtest::ReadFile(path); }

std::string TestDataDir(const char* format) {
#ifdef ZEQ_TESTDATA_DIR
    const std::filesystem::path dir = std::filesystem::path(ZEQ_TESTDATA_DIR) / format;
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec)) return dir.string();
#else
    (void)format;
#endif
    return std::string();
}

std::vector<std::string> TestDataFiles(const char* format, const char* extension) {
    std::vector<std::string> names;
    const std::string dir = TestDataDir(format);
    if (dir.empty()) return names;
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    const std::string wanted = lower(std::string(".") + extension);
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file() && lower(entry.path().extension().string()) == wanted)
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// ---- Import and export -------------------------------------------------------------------------

namespace {

std::string ErrorText(KZeqIO& io) {
    std::string text = io.GetLastErrorString();
    KString message;
    io.GetMessage(message);
    if (!message.IsEmpty()) text += std::string(" (") + message.Buffer() + ")";
    return text;
}

}  // namespace

bool ImportMotion(KZeqSdkManager& manager, KZeqScene& scene, int importRow, const std::string& path,
                  const std::function<void(KStreamOptionsMotion&)>& adjust, std::string* error) {
    ZeqRegisterFormats();
    KZeqImporter importer(manager);
    importer.Initialize(path.c_str());
    importer.SetFileFormat(importRow);
    KStreamOptions* options = importer.GetImportOptions();
    bool ok = options && options->Is(KStreamOptionsMotion::ClassId);
    if (ok) {
        if (adjust) adjust(*static_cast<KStreamOptionsMotion*>(options));
        ok = importer.Import(scene, options);
    }
    if (!ok && error) *error = ErrorText(importer);
    importer.ReleaseImportOptions(options);
    return ok;
}

bool ExportMotion(KZeqSdkManager& manager, KZeqScene& scene, int exportRow, const std::string& path,
                  const std::function<void(KStreamOptionsMotion&)>& adjust, std::string* error) {
    ZeqRegisterFormats();
    KZeqExporter exporter(manager);
    exporter.Initialize(path.c_str());
    exporter.SetFileFormat(exportRow);
    KStreamOptions* options = exporter.GetExportOptions();
    bool ok = options && options->Is(KStreamOptionsMotion::ClassId);
    if (ok) {
        if (adjust) adjust(*static_cast<KStreamOptionsMotion*>(options));
        ok = exporter.Export(scene, options);
    }
    if (!ok && error) *error = ErrorText(exporter);
    exporter.ReleaseExportOptions(options);
    return ok;
}

void SetRangeFromCurrentTake(KZeqScene& scene, KStreamOptionsMotion& options, double rate) {
    options.SetTimeMode(KTime::eModeDefault, rate);
    const KZeqTakeInfo* info = scene.GetTakeInfo(KString(scene.GetCurrentTakeName()));
    if (!info) return;
    const KTime start = info->mLocalTimeSpan.GetStart();
    const KTime span = info->mLocalTimeSpan.GetStop() - start;
    const kLongLong period = options.GetFramePeriod().Get();
    options.SetStart(start);
    // Frames at start, start + period, ... up to the stop, rounded.
    options.SetFrameCount(period > 0 ? static_cast<int>((span.Get() + period / 2) / period) + 1 : 1);
}

// ---- Callback recorder -------------------------------------------------------------------------

CallbackRecorder* CallbackRecorder::sActive = nullptr;

CallbackRecorder::CallbackRecorder() { sActive = this; }

CallbackRecorder::~CallbackRecorder() {
    if (sActive == this) sActive = nullptr;
}

void CallbackRecorder::Install(KStreamOptions& options) {
    sActive = this;
    options.SetProgressCallback(&OnProgress);
    options.SetMessageCallback(0, &OnMessage<0>);
    options.SetMessageCallback(1, &OnMessage<1>);
    options.SetMessageCallback(2, &OnMessage<2>);
}

int CallbackRecorder::CountProgress(const std::string& text) const {
    return static_cast<int>(
        std::count_if(mProgress.begin(), mProgress.end(), [&](const Progress& p) { return p.mMessage == text; }));
}

void CallbackRecorder::OnProgress(const char* status, const char* message, float percent) {
    if (!sActive) return;
    sActive->mProgress.push_back({status ? status : "(null)", message ? message : "(null)", percent});
}

template <int Which>
int CallbackRecorder::OnMessage(const char* caption, const char* message, const char* b1, const char*, const char*,
                                int) {
    if (!sActive) return 1;
    sActive->mMessages.push_back({Which, caption ? caption : "", message ? message : "", b1 ? b1 : ""});
    return sActive->mAnswer;
}

}  // namespace zeqmotiontest
