// The import driver: its SDK manager, the importer of the open file, the take to import.
#include "plugin/import/zeqtuloimport.h"

#include <cstring>
#include <string>
#include <unordered_set>

#include "content/kzeqnurb.h"
#include "io/kzeqimporter.h"
#include "io/zeqlogfile.h"
#include "scene/kzeqscene.h"
#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtulouserparams.h"
#include "tplugin.h"

using namespace zeqsdk_400;

ZeqTuloImport::ZeqTuloImport()
    : mSdkManager(ZeqTuloSdkManager::eImport), mQuorbelNodeArray(20), mImportedMaterials(16),
      mBlendShapeFailures(16), mPassStatus(TStatus::kSuccess) {}

ZeqTuloImport::~ZeqTuloImport() {
    FreeBindPoseLists();
    delete mLogFile;
    for (int i = 0; i < mImportedMaterials.GetCount(); ++i) delete mImportedMaterials[i];
    // The manager, destroyed with the driver, releases an importer or scene still held.
}

TStatus ZeqTuloImport::OpenProject(const TString& fileName) {
    const KString name(fileName.asChar());
    CloseProject();
    mImporter = mSdkManager.CreateKZeqImporter();
    if (mImporter) mImporter->Initialize(name.Buffer());
    return TStatus::kSuccess;
}

TStatus ZeqTuloImport::CloseProject() {
    if (mImporter) {
        mSdkManager.DestroyKZeqImporter(mImporter);
        mImporter = nullptr;
    }
    if (mScene) {
        mSdkManager.DestroyKZeqScene(mScene, true);
        mScene = nullptr;
        mRootNode = nullptr;
    }
    return TStatus::kSuccess;
}

const char* ZeqTuloImport::ReadErrorText(const KZeqImporter& importer) {
    if (importer.GetLastErrorID() == KZeqIO::ePasswordError)
        return "File is password-protected, and the plug-in reads no password-protected file (no command takes a "
               "password)";
    return importer.GetLastErrorString();
}

void ZeqTuloImport::SetTakeName(const char* name) { mTakeName = name ? name : ""; }

TStatus ZeqTuloImport::parseArgs(const TArgList& args, char* buffer, std::size_t size) {
    // With nothing read there is nothing to report as read.
    TStatus status = TStatus::kFailure;
    for (unsigned i = 0; i < args.length(); ++i) {
        const TString word = args.asString(i, &status);
        if (!status) continue;
        if (word != "-f") continue;
        // A flag without its value: the host is not asked for a word that is not there.
        if (i + 1 >= args.length()) {
            status = TStatus::kFailure;
            break;
        }
        const TString value = args.asString(i + 1, &status);
        if (status && buffer && size > 0) {
            const std::size_t length = std::min<std::size_t>(value.length(), size - 1);
            std::memcpy(buffer, value.asChar(), length);
            buffer[length] = '\0';
        }
        break;
    }
    return status;
}

void ZeqTuloImport::LogLine(const char* line) {
    if (mLogFile && line) *mLogFile += line;
}

bool ZeqTuloImport::ComesIn(const KZeqNode& node) const {
    return ZeqTuloUserParams::Instance()->GetImportType() != KZeqUserParams::kExclusiveMerge ||
           static_cast<const ZeqTuloNode&>(node).mIsPresent;
}

void ZeqTuloImport::NodeLine(const KZeqNode& node, const std::string& line) {
    SayOnceBound([this, &node, line] {
        if (ComesIn(node)) LogLine(line.c_str());
    });
}

void ZeqTuloImport::SayOnceBound(std::function<void()> say) {
    if (mNodesBound)
        say();
    else
        mHeldLines.push_back(std::move(say));
}

void ZeqTuloImport::SayHeldNodeLines() {
    mNodesBound = true;
    std::vector<std::function<void()>> held;
    held.swap(mHeldLines);
    for (const std::function<void()>& say : held) say();
}

void ZeqTuloImport::ShowReaderMessage(bool read) {
    if (!mImporter) return;
    KString message;
    mImporter->GetMessage(message);
    // How the reader names a surface it left out: "<node name>: NURBS surface left out: <check>".
    static const std::string kLeftOut = ": NURBS surface left out: ";
    std::unordered_set<std::string> leftOut;
    const std::string text = message.Buffer();
    for (std::size_t begin = 0; begin < text.size();) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        if (line.empty()) continue;
        LogLine(line.c_str());
        TPxCommand::displayWarning(TString(line.c_str()));
        const std::size_t mark = line.find(kLeftOut);
        if (mark != std::string::npos) leftOut.insert(line.substr(0, mark));
    }
    if (!read || leftOut.empty()) return;
    VisitDepthFirst(mRootNode, [&](ZeqTuloNode& node) {
        const KZeqNurb* nurb = node.GetNurb();
        if (nurb && nurb->GetControlPointsCount() == 0 && leftOut.count(node.GetName()))
            node.mSurfaceLeftOutByReader = true;
    });
}

void ZeqTuloImport::ShowDialog(const char* title, const char* message) {
    if (!ZeqTuloUserParams::Instance()->GetBoolParam(ZeqTuloUserParams::kImportShowUI)) return;
    ZeqTuloConfirmDialog dialog;
    dialog.Title(title);
    dialog.Message(message);
    dialog.Button(0, "Ok");
    dialog.Pop();
}
