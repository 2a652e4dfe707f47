#include "io/tests/zeqroundtrip.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kzeqwriterzeq.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace zeqiotest {

const ZeqFileCase kZeqFileCases[6] = {
    {"V60Ascii", 6000, 0, KZeqExporter::eZEQ_ASCII,
     eZeqLosesUserPropertyRecords | eZeqLosesMeshGrid | eZeqLosesCameraSettings},
    {"V60Binary", 6000, 1, KZeqExporter::eZEQ_BINARY,
     eZeqLosesUserPropertyRecords | eZeqLosesMeshGrid | eZeqLosesCameraSettings},
    {"V60Encrypted", 6000, 2, KZeqExporter::eZEQ_ENCRYPTED,
     eZeqLosesUserPropertyRecords | eZeqLosesMeshGrid | eZeqLosesCameraSettings},
    {"V58Ascii", 5800, 0, KZeqExporter::eZEQ_5_ASCII,
     eZeqLosesPropertyBlock | eZeqLosesUpperLayers | eZeqLosesSwitcherNames},
    {"V58Binary", 5800, 1, KZeqExporter::eZEQ_5_BINARY,
     eZeqLosesPropertyBlock | eZeqLosesUpperLayers | eZeqLosesSwitcherNames},
    {"V58Encrypted", 5800, 2, -1, eZeqLosesPropertyBlock | eZeqLosesUpperLayers | eZeqLosesSwitcherNames},
};

std::string ZeqFileCaseName(const testing::TestParamInfo<ZeqFileCase>& info) { return info.param.mName; }

bool WriteZeqFile(KZeqSdkManager& manager, KZeqScene& scene, const ZeqFileCase& form, const std::string& path,
                  const char* password, std::string* error, std::string* message) {
    KZeqExporter exporter(manager);
    exporter.Initialize(path.c_str());
    exporter.SetPassword(password);
    exporter.SetFileFormat(form.mExportRow);
    KZeqWriterZeq writer(manager, exporter);
    writer.SetExportMode(static_cast<KZeqWriterZeqBase::EExportMode>(form.mMode));
    KStreamOptionsZeq options;
    exporter.SetExportOptionsInfo(&options);
    const bool written = form.mExportRow >= 0
                             ? exporter.Export(scene)
                             : writer.FileCreate(path.c_str()) && writer.Write(scene, &options) && writer.FileClose();
    if (!written && error) *error = form.mExportRow >= 0 ? exporter.GetLastErrorString() : writer.GetLastErrorString();
    if (message) {
        KString text;
        if (form.mExportRow >= 0)
            exporter.GetMessage(text);
        else
            writer.GetMessage(text);
        *message = text.Buffer();
    }
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

KZeqScene* ReadZeqFileMerging(KZeqSdkManager& manager, const std::string& path, bool merge, std::string* error,
                              std::string* message) {
    KZeqImporter importer(manager);
    auto* options =
        importer.Initialize(path.c_str()) ? static_cast<KStreamOptionsZeq*>(importer.GetImportOptions()) : nullptr;
    if (!options) {
        if (error) *error = importer.GetLastErrorString();
        return nullptr;
    }
    options->SetOption(KStreamOptionsZeq::eMERGE_LAYER_AND_TIMEWARP, merge);
    KZeqScene* scene = manager.CreateKZeqScene();
    const bool read = importer.Import(*scene, options);
    importer.ReleaseImportOptions(options);
    if (message) {
        KString text;
        importer.GetMessage(text);
        *message = text.Buffer();
    }
    if (read) return scene;
    if (error) *error = importer.GetLastErrorString();
    manager.DestroyKZeqScene(scene, true);
    return nullptr;
}

// Copies the current block of one field file into another, value by value.
static void CopyBlock(KZeq& from, KZeq& to) {
    for (int i = 0; i < from.FieldGetBlockFieldCount(); ++i) {
        const KString name = from.FieldGetBlockFieldName(i);
        from.FieldReadBegin(name.Buffer()), to.FieldWriteBegin(name.Buffer());
        while (from.FieldReadGetRemain() > 0) {
            switch (from.FieldReadGetType()) {
                case 'I': to.FieldWriteI(from.FieldReadI()); break;
                case 'L': to.FieldWriteL(from.FieldReadL()); break;
                case 'D': to.FieldWriteD(from.FieldReadD()); break;
                default: to.FieldWriteC(from.FieldReadC().Buffer()); break;
            }
        }
        if (from.FieldReadBlockBegin()) {
            to.FieldWriteBlockBegin();
            CopyBlock(from, to);
            to.FieldWriteBlockEnd(), from.FieldReadBlockEnd();
        }
        to.FieldWriteEnd(), from.FieldReadEnd();
    }
}

bool ConvertZeqFile(const std::string& from, const std::string& to, int mode, const char* password) {
    KZeq in, out;
    if (!in.ProjectOpen(from.c_str(), true, true)) return false;
    KZeqFileHeaderInfo header;
    header.mFileVersion = in.GetFileVersion();
    if (!out.ProjectCreate(to.c_str(), mode != 0, mode == 2, &header)) return false;
    CopyBlock(in, out);
    if (password) out.ProjectSetPassword(password);
    return out.ProjectClose();
}

void MakeZeqFile(const std::string& path, int version, int mode, const std::string& fields, const char* password) {
    const std::string text = path + ".text.zeq";
    std::string lines = fields;
    std::replace(lines.begin(), lines.end(), ';', '\n');
    std::ofstream(text) << "@Zeq: " << version << "\n@Section: " << version << "\n" << lines << "\n@End\n";
    ASSERT_TRUE(ConvertZeqFile(text, path, mode, password)) << path;
    std::remove(text.c_str());
}

std::string NullModelFields(const std::vector<std::string>& models,
                            const std::vector<std::pair<std::string, std::string>>& links) {
    std::string fields = "Definitions: {;ObjectType: \"Model\";};Objects: {;";
    for (const std::string& model : models) fields += "Model: \"Model::" + model + "\", \"Null\" {;Type: \"Null\";};";
    fields += "};Connections: {;";
    for (const auto& link : links)
        fields += "Connect: \"OO\", \"Model::" + link.first + "\", \"Model::" + link.second + "\";";
    return fields + "}";
}

std::string ModelTree(KZeqNode& node) {
    std::string tree = std::string(node.GetName()).substr(7);
    for (int i = 0; i < node.GetChildCount(); ++i) tree += (i ? " " : "(") + ModelTree(*node.GetChild(i));
    return node.GetChildCount() ? tree + ")" : tree;
}

}  // namespace zeqiotest
