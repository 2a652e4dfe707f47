#include "io/tests/zeqroundtrip.h"

#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kzeqwriterzeq.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace zeqiotest {

const ZeqFileCase kZeqFileCases[6] = {
    {"V60Ascii", 6000, 0, KZeqExporter::eZEQ_ASCII},   {"V60Binary", 6000, 1, KZeqExporter::eZEQ_BINARY},
    {"V60Encrypted", 6000, 2, KZeqExporter::eZEQ_ENCRYPTED}, {"V58Ascii", 5800, 0, KZeqExporter::eZEQ_5_ASCII},
    {"V58Binary", 5800, 1, KZeqExporter::eZEQ_5_BINARY}, {"V58Encrypted", 5800, 2, -1},
};

std::string ZeqFileCaseName(const testing::TestParamInfo<ZeqFileCase>& info) { return info.param.mName; }

bool WriteZeqFile(KZeqSdkManager& manager, KZeqScene& scene, const ZeqFileCase& form, const std::string& path,
                  const char* password, std::string* error) {
    KZeqExporter exporter(manager);
    exporter.Initialize(path.c_str());
    exporter.SetPassword(password);
    if (form.mExportRow >= 0) {
        exporter.SetFileFormat(form.mExportRow);
        const bool written = exporter.Export(scene);
        if (!written && error) *error = exporter.GetLastErrorString();
        return written;
    }
    KZeqWriterZeq writer(manager, exporter);
    writer.SetExportMode(static_cast<KZeqWriterZeqBase::EExportMode>(form.mMode));
    KStreamOptionsZeq options;
    exporter.SetExportOptionsInfo(&options);
    const bool written = writer.FileCreate(path.c_str()) && writer.Write(scene, &options) && writer.FileClose();
    if (!written && error) *error = writer.GetLastErrorString();
    return written;
}

KZeqScene* ReadZeqFile(KZeqSdkManager& manager, const std::string& path, const char* password, std::string* error) {
    KZeqImporter importer(manager);
    importer.SetPassword(password);
    KZeqScene* scene = manager.CreateKZeqScene();
    if (importer.Initialize(path.c_str()) && importer.Import(*scene)) return scene;
    if (error) *error = importer.GetLastErrorString();
    manager.DestroyKZeqScene(scene, true);
    return nullptr;
}

KZeqScene* RoundTrip(KZeqSdkManager& manager, KZeqScene& scene, const ZeqFileCase& form, const std::string& path,
                     const char* password, std::string* error) {
    if (!WriteZeqFile(manager, scene, form, path, password, error)) return nullptr;
    return ReadZeqFile(manager, path, password, error);
}

void MakeZeqFile(const std::string& path, int version, int mode, const std::function<void(KZeq&)>& body,
                 const char* password) {
    KZeq file;
    KZeqFileHeaderInfo header;
    header.mFileVersion = version;
    ASSERT_TRUE(file.ProjectCreate(path.c_str(), mode != 0, mode == 2, &header)) << path;
    body(file);
    if (password) file.ProjectSetPassword(password);
    ASSERT_TRUE(file.ProjectClose()) << file.GetLastErrorString();
}

}  // namespace zeqiotest
