#ifndef ZEQ_IO_TESTS_ZEQROUNDTRIP_H
#define ZEQ_IO_TESTS_ZEQROUNDTRIP_H

// Scenes through Zeq files and back, in the six forms the writers produce:
// {6.0, 5.8} x {ASCII, binary, encrypted}. Tests parameterised on
// kZeqFileCases run once per form, named by ZeqFileCaseName.

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace zeqsdk_400 {
class KZeqNode;
class KZeqScene;
class KZeqSdkManager;
}  // namespace zeqsdk_400

namespace zeqiotest {

struct ZeqFileCase {
    const char* mName;
    int mFileVersion;  // 6000 or 5800
    int mMode;         // 0 ASCII, 1 binary, 2 encrypted
    int mExportRow;    // the exporter's row; -1: the 5.8 writer directly (it has no encrypted row)
    int mLosses;       // what the form does not keep (EZeqLoss)
};
extern const ZeqFileCase kZeqFileCases[6];
std::string ZeqFileCaseName(const testing::TestParamInfo<ZeqFileCase>& info);

// False with the exporter's or writer's error text; the message of the write when asked.
bool WriteZeqFile(zeqsdk_400::KZeqSdkManager& manager, zeqsdk_400::KZeqScene& scene, const ZeqFileCase& form,
                  const std::string& path, const char* password = "", std::string* error = nullptr,
                  std::string* message = nullptr);
// A new scene of the manager read through the importer with its default
// states; null with the importer's error text.
zeqsdk_400::KZeqScene* ReadZeqFile(zeqsdk_400::KZeqSdkManager& manager, const std::string& path,
                                   const char* password = "", std::string* error = nullptr);
// The same with the bake of the takes' layers and time warps into plain curves (the option
// eMERGE_LAYER_AND_TIMEWARP) or without it, as asked, whatever the importer's default; the
// importer's message when asked.
zeqsdk_400::KZeqScene* ReadZeqFileMerging(zeqsdk_400::KZeqSdkManager& manager, const std::string& path, bool merge,
                                          std::string* error = nullptr, std::string* message = nullptr);
// The main section of the field file at from written again at to in the
// mode (0 ASCII, 1 binary, 2 encrypted), protected by the password when one
// is given; false when either file fails.
bool ConvertZeqFile(const std::string& from, const std::string& to, int mode, const char* password = nullptr);
// A field file whose main section holds the fields given as ASCII field-file
// text ("Name: value, value {" ... "}", one field a line, ';' for a line
// break), in any mode and version; a password protects the main section.
void MakeZeqFile(const std::string& path, int version, int mode, const std::string& fields,
                 const char* password = nullptr);

// The fields of a 6.0 main section (for MakeZeqFile) holding null models of
// these names and "OO" records that put each first under the second ("Scene":
// the root), in the order given.
std::string NullModelFields(const std::vector<std::string>& models,
                            const std::vector<std::pair<std::string, std::string>>& links);

// The models from node down as nested names without "Model::": "RootNode(A B(C))", A and B
// under the root, C under B.
std::string ModelTree(zeqsdk_400::KZeqNode& node);

}  // namespace zeqiotest

#endif
