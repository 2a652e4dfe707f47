#ifndef ZEQ_FORMATS_GEOMETRY_TESTS_GEOMETRYTEST_SUPPORT_H
#define ZEQ_FORMATS_GEOMETRY_TESTS_GEOMETRYTEST_SUPPORT_H

// What the tests of the geometry formats share: a scene with its manager, a
// fresh directory, and import and export through the format rows as a
// caller of the SDK does them.

#include <sys/mount.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfilesizelimit.h"
#include "formats/kzeqformats.h"
#include "io/kstreamoptionsbase.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqtest {

using namespace zeqsdk_400;

// The shared sample files of other producers, or empty when they are absent.
inline std::string SampleDir(const char* format) {
#ifdef ZEQ_TESTDATA_DIR
    const std::string dir = std::string(ZEQ_TESTDATA_DIR) + "/" + format;
    if (std::filesystem::is_directory(dir)) return dir;
#endif
    (void)format;
    return std::string();
}

// Runs body in a child process in which the file at path (which exists) is
// bound over itself, a mount point, so that a rename over it fails as over a
// busy file ("Device or resource busy"); the mount is the child's alone
// (InMountsOfItsOwn). Answers as ChildAnswer; nothing where no mount can be made.
inline std::optional<std::string> OnABusyFile(const std::string& path, const std::function<std::string()>& body) {
    return ChildAnswer([&]() -> std::optional<std::string> {
        if (!InMountsOfItsOwn() || ::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return std::nullopt;
        return body();
    });
}

// Why OnABusyFile answered nothing.
inline std::string NoBusyFile() { return NoMountsOfItsOwn() + ", for a mount that makes a file busy"; }

// The process works in a folder while this lives, then in the one before.
class ScopedWorkingFolder {
public:
    explicit ScopedWorkingFolder(const std::string& folder) : mPrevious(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~ScopedWorkingFolder() {
        std::error_code ignored;
        std::filesystem::current_path(mPrevious, ignored);
    }
    ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
    ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

private:
    std::filesystem::path mPrevious;
};

// The names in a directory that hold part (".tmp" for temporaries left).
inline std::vector<std::string> NamesWith(const std::string& directory, const std::string& part) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name.find(part) != std::string::npos) names.push_back(name);
    }
    return names;
}

class GeometryFormatTest : public testing::Test {
protected:
    // reach: kOtherUsers for tests that read or write as another user too.
    explicit GeometryFormatTest(TempDir::Reach reach = TempDir::kThisUser)
        : mScene(mManager.CreateKZeqScene()), mDir(reach) {
        ZeqRegisterFormats();
    }

    typedef std::function<void(KStreamOptionsBase&)> Tweak;

    // Reads the file through the importer's row; false with the importer's
    // error in mError and its message in mMessage.
    bool Import(const std::string& path, int format, const Tweak& tweak = nullptr, KZeqScene* scene = nullptr) {
        KZeqImporter importer(mManager);
        importer.Initialize(path.c_str());
        importer.SetFileFormat(format);
        KStreamOptions* options = importer.GetImportOptions();
        if (!options) {
            mError = importer.GetLastErrorID();
            return false;
        }
        if (tweak) tweak(*static_cast<KStreamOptionsBase*>(options));
        const bool read = importer.Import(scene ? *scene : *mScene, options);
        options->Destroy();
        mError = read ? -1 : importer.GetLastErrorID();
        importer.GetMessage(mMessage);
        return read;
    }

    bool Export(const std::string& path, int format, const Tweak& tweak = nullptr, KZeqScene* scene = nullptr) {
        KZeqExporter exporter(mManager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(format);
        if (!exporter.FileCreatePart1()) return false;
        KStreamOptions* options = exporter.GetExportOptions();
        if (!options) return false;
        if (tweak) tweak(*static_cast<KStreamOptionsBase*>(options));
        const bool written = exporter.Export(scene ? *scene : *mScene, options);
        options->Destroy();
        mError = written ? -1 : exporter.GetLastErrorID();
        exporter.GetMessage(mMessage);
        return written;
    }

    std::string WriteText(const std::string& name, const std::string& text) {
        const std::string path = mDir / name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, text);
        return path;
    }

    // The first node of that name in the scene.
    KZeqNode* Node(const char* name) { return mScene->GetRootNode()->FindChild(name, true, false); }
    KZeqNode* Child(int index) { return mScene->GetRootNode()->GetChild(index); }

    KZeqSdkManager mManager;
    KZeqScene* mScene;
    TempDir mDir;
    int mError = -1;
    KString mMessage;
};

}  // namespace zeqtest

#endif
