// Checks of the names in the built scene before any animation is exported: duplicate node names
// stop the export, namespaces in material and texture names and namespaces shared by top-level
// nodes only warn. Each finding goes to the log, and to a dialog when the export shows its UI.
#include <cctype>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnodefinder.h"
#include "tfnattribute.h"
#include "tplugin.h"

using namespace zeqsdk_400;

namespace {

const int kDialogEntries = 40;
const char kNewLine[] = "\\n";  // a line break in the host's dialog

const char kMaterialWarning[][80] = {
    "KINEMORPH does not handle namespaces in materials/textures.",
    "The scene will be exported anyway. However it is recommended to remove",
    "the namespaces from the materials/textures before exporting to insure",
    "compatibility during import/export/mergeback. The faulty items are: ",
};
const char kRootWarning[][80] = {
    "KINEMORPH does not handle shared namespaces in root nodes.",
    "The scene will be exported anyway. However it is recommended to correct",
    "them otherwise the compatibility may be broken during mergeback.",
};

bool ShowUI() { return ZeqTuloUserParams::Instance()->GetBoolParam(ZeqTuloUserParams::kExportShowUI); }

void Log(ZeqLogFile* log, const char* line) {
    if (log) *log += line;
}

void Show(const char* title, const KString& message) {
    ZeqTuloConfirmDialog dialog;
    dialog.Title(title);
    dialog.Message(message);
    dialog.Button(0, "Ok");
    dialog.Pop();
}

// A name with a namespace: a ":" after the prefix when the name starts with it, else anywhere.
bool HasNamespace(const char* name, const char* prefix) {
    if (!name) return false;
    const std::size_t length = std::strlen(prefix);
    const char* from = std::strncmp(name, prefix, length) == 0 ? name + length : name;
    return std::strchr(from, ':') != nullptr;
}

}  // namespace

TStatus ZeqTuloExport::CheckDuplicateName(ZeqTuloNode* root) {
    if (!root) return TStatus::kSuccess;
    KZeqNodeFinderDuplicateName finder(nullptr);
    finder.SetState(KZeqNodeFinderDuplicateName::eNODE, true);
    finder.SetState(KZeqNodeFinderDuplicateName::eMATERIAL, false);
    finder.SetState(KZeqNodeFinderDuplicateName::eTEXTURE, false);
    KArrayTemplate<KZeqNode*>& found = finder.Apply(*root);
    if (found.GetCount() == 0) return TStatus::kSuccess;

    const char* message = "Unable to export ZEQ project because these models share same name : ";
    std::string line = std::string("ZEQ Export Error: ") + message;
    Log(mLog.get(), line.c_str());
    KString text(message);
    text += kNewLine;
    text += kNewLine;
    const int listed = found.GetCount() < kDialogEntries ? found.GetCount() : kDialogEntries;
    for (int i = listed - 1; i >= 0; --i) {
        const KString path = ZeqTuloUtility::MakeReadablePath(static_cast<ZeqTuloNode*>(found[i])->GetDagPath());
        text += "    ";
        text += path;
        text += kNewLine;
        Log(mLog.get(), path.Buffer());
    }
    if (found.GetCount() > kDialogEntries) {
        text += "   ...";
        text += kNewLine;
        Log(mLog.get(), "   ...");
    }
    Log(mLog.get(), "");
    if (ShowUI()) Show("ZEQ Export Error", text);
    return TStatus::kFailure;
}

void WarnForNamespacesInMaterialsAndTextures(ZeqLogFile* log, ZeqTuloSdkManager& manager) {
    std::vector<const char*> faulty;
    for (int i = 0; i < manager.GetKZeqMaterialCount(); ++i) {
        const KZeqMaterial* material = manager.GetKZeqMaterial(i);
        if (material && HasNamespace(material->GetName(), "Material::")) faulty.push_back(material->GetName());
    }
    for (int i = 0; i < manager.GetKZeqTextureCount(); ++i) {
        const KZeqTexture* texture = manager.GetKZeqTexture(i);
        if (texture && HasNamespace(texture->GetName(), "Texture::")) faulty.push_back(texture->GetName());
    }
    if (faulty.empty()) return;
    std::string first = std::string("ZEQ Export Warning: ") + kMaterialWarning[0];
    Log(log, first.c_str());
    for (int i = 1; i < 4; ++i) Log(log, kMaterialWarning[i]);
    Log(log, "");
    for (const char* name : faulty) Log(log, name);
    Log(log, "");
    if (!ShowUI()) return;
    KString text;
    for (int i = 0; i < 4; ++i) {
        text += kMaterialWarning[i];
        text += kNewLine;
    }
    text += kNewLine;
    const std::size_t from = faulty.size() > kDialogEntries ? faulty.size() - kDialogEntries : 0;
    for (std::size_t i = from; i < faulty.size(); ++i) {
        text += "    ";
        text += faulty[i];
        text += kNewLine;
    }
    if (faulty.size() > kDialogEntries) {
        text += "   ...";
        text += kNewLine;
    }
    Show("ZEQ Export Warning", text);
}

void WarnForNamespacesInFirstChildren(ZeqLogFile* log, ZeqTuloSdkManager&, ZeqTuloNode* root) {
    if (!root) return;
    // Any two top nodes with the same non-empty namespace: one pass with a set instead of all pairs.
    std::unordered_set<std::string> seen;
    bool shared = false;
    for (int i = 0; i < root->GetChildCount(false) && !shared; ++i) {
        const auto* child = static_cast<const ZeqTuloNode*>(root->GetChild(i));
        if (!child || child->mNamespace.IsEmpty()) continue;
        shared = !seen.insert(std::string(child->mNamespace.Buffer())).second;
    }
    if (!shared) return;
    std::string first = std::string("ZEQ Export Warning: ") + kRootWarning[0];
    Log(log, first.c_str());
    Log(log, kRootWarning[1]);
    Log(log, kRootWarning[2]);
    Log(log, "");
    if (!ShowUI()) return;
    KString text;
    text += kRootWarning[0];
    text += kNewLine;
    text += kRootWarning[1];
    text += kNewLine;
    text += kRootWarning[2];
    text += kNewLine;
    text += kNewLine;
    Show("ZEQ Export Warning", text);
}

bool IsRendererDynamicAttribute(TObject& attribute) {
    TStatus status;
    TFnAttribute fn(attribute, &status);
    if (!status) return false;
    const TString name = fn.name();
    const char* text = name.asChar();
    return name.length() > 2 && text[0] == 'm' && text[1] == 'i' &&
           std::isupper(static_cast<unsigned char>(text[2])) != 0;
}

TStatus ZeqTuloExport::parseArgs(const TArgList& args, char* buffer, std::size_t bufferSize) {
    TStatus status(TStatus::kFailure);
    for (unsigned i = 0; i < args.length(); ++i) {
        const TString word = args.asString(i, &status);
        if (!status || word != "-f") continue;
        // A flag without its value: the host is not asked for a word that is not there.
        if (i + 1 >= args.length()) {
            status = TStatus::kFailure;
            break;
        }
        const TString path = args.asString(i + 1, &status);
        // The caller's buffer is bounded: a longer path is cut, never written past its end.
        if (status && buffer && bufferSize > 0) {
            std::strncpy(buffer, path.asChar(), bufferSize - 1);
            buffer[bufferSize - 1] = '\0';
        }
        break;
    }
    return status;
}
