// Bytes as a Zeq file through ZEQImport into a fresh stand-in scene, in the create mode, and then
// merged into what that import made, less some of its nodes and with nodes of the user's in some
// of its look-at groups (the merge binds the file's nodes to the host's, look-at rigs included): no
// crash, no hang and no host fault (API misuse by the import), whatever the file holds. The take imported is one of the file's, picked by the bytes (a
// file without takes is imported without one), and so are the nodes taken away and the merge mode
// (merge or exclusive merge).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/klib.h"
#include "fuzz/fuzzscratch.h"
#include "io/kzeqimporter.h"
#include "plugin/import/importcommands.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulouserparams.h"
#include "standin.h"
#include "tplugin.h"
#include "tulo.h"

namespace {

constexpr const char* kScratch = "plugin_import_fuzz";

// The scratch folder, the plug-in's own for the run (its log is written there).
const std::string& Directory() {
    static const std::string directory = [] {
        const std::string path = zeqfuzz::ScratchFolder(kScratch).GetPath() + "/";
        zeqsdk_400::KLib_SetMasterDirectory(path.c_str());
        return path;
    }();
    return directory;
}

// A hash of the bytes (FNV-1a): mutations of any byte move what it picks.
std::uint64_t Hash(const std::uint8_t* data, std::size_t size) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
    return hash;
}

// ZEQImport of the file, with the take given (none below 0).
void Import(const std::string& file, int take) {
    TArgList args;
    args.append("-f");
    args.append(TString(file.c_str()));
    if (take >= 0) {
        args.append("-take");
        args.append(TString(std::to_string(take).c_str()));
    }
    CommandImport().doIt(args);
    CommandImportBase::DeleteDriver();
}

// Deletes about a quarter of the host's transforms (the host's own cameras kept), each with what
// hangs below it, as the hash picks them; the deepest first, so that none is gone when its turn comes.
void DeleteSome(std::uint64_t hash) {
    std::vector<std::string> doomed;
    unsigned index = 0;
    for (TItDag it(TItDag::kDepthFirst, TFn::kTransform); !it.isDone(); it.next(), ++index) {
        TDagPath path;
        it.getPath(path);
        const std::string name = TFnDependencyNode(path.node()).name().asChar();
        if (name == "persp" || name == "top" || name == "front" || name == "side") continue;
        if (((hash >> (index % 61)) & 3) == 0) doomed.push_back(path.fullPathName().asChar());
    }
    std::stable_sort(doomed.begin(), doomed.end(), [](const std::string& a, const std::string& b) {
        return std::count(a.begin(), a.end(), '|') > std::count(b.begin(), b.end(), '|');
    });
    for (const std::string& path : doomed) {
        const TObject node = standin::find(path);
        if (!node.isNull()) TGlobal::deleteNode(node);
    }
}

// Puts a node of the user's into about half of the host's look-at groups, as the hash picks them,
// at a place the hash picks (first, between the rig's nodes or last): the merge binds such a group
// as the rig the host has, and leaves the node the user's.
void AddUsersNodes(std::uint64_t hash) {
    std::vector<TObject> groups;
    unsigned index = 0;
    for (TItDag it(TItDag::kDepthFirst, TFn::kLookAt); !it.isDone(); it.next(), ++index) {
        TDagPath path;
        it.getPath(path);
        if (((hash >> ((index + 17) % 61)) & 1) == 0) groups.push_back(path.node());
    }
    for (std::size_t i = 0; i < groups.size(); ++i) {
        TObject node = standin::createNode("transform", "userNull");
        TFnDagNode group(groups[i]);
        group.addChild(node, static_cast<unsigned>((hash >> ((i + 29) % 61)) % (group.childCount() + 1)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = Directory() + "input.zeq";
    zeqfuzz::Store(zeqfuzz::ScratchFolder(kScratch).GetFolder(), "input.zeq", data, size);
    standin::reset();
    standin::resetSession();
    standin::clearTranscript();
    standin::takeFaults();
    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    params->SetBoolParam(ZeqTuloUserParams::kImportShowUI, false);
    params->SetImportType(zeqsdk_400::KZeqUserParams::kCreate);

    // The file opened as ZEQRead opens it; ZEQImport then goes on with that driver.
    const std::uint64_t hash = Hash(data, size);
    int take = -1;
    if (zeqsdk_400::KZeqImporter* importer = CommandImportBase::DriverFor(file.c_str(), false)->GetImporter()) {
        const int count = importer->GetTakeCount();
        if (importer->GetLastErrorID() < 0 && count > 0)
            take = static_cast<int>(hash % static_cast<std::uint64_t>(count));
    }
    Import(file, take);
    DeleteSome(hash);
    AddUsersNodes(hash);
    params->SetImportType((hash >> 63) ? zeqsdk_400::KZeqUserParams::kExclusiveMerge : zeqsdk_400::KZeqUserParams::kMerge);
    Import(file, take);
    zeqfuzz::ScratchFolder(kScratch).GetFolder().RemoveFile("zeqtulolog.txt");
    for (const standin::Fault& fault : standin::takeFaults()) {
        std::fprintf(stderr, "host fault: %s: %s\n", fault.kind.c_str(), fault.text.c_str());
        std::abort();
    }
    return 0;
}
