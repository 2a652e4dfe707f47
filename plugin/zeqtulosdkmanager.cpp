#include "plugin/zeqtulosdkmanager.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/kname.h"
#include "plugin/zeqtulonode.h"
#include "scene/kzeqpose.h"

using namespace zeqsdk_400;

namespace {

bool IsAlphaNum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// The namespace in a node's initial name: after the type prefix up to the last ":", so that a
// node of a nested namespace ("set:props:chair") is made in that namespace ("set:props").
KString NamespaceOf(const char* initialName) {
    std::string name = initialName ? initialName : "";
    std::size_t prefix = name.find("::");
    std::size_t start = prefix == std::string::npos ? 0 : prefix + 2;
    std::size_t colon = name.rfind(':');
    return colon == std::string::npos || colon < start ? KString() : KString(name.c_str() + start, colon - start);
}

// What the host takes as a node name: letters, digits, "_" and ":" between two namespace parts
// only, no leading digit, never empty.
std::string HostValid(std::string name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        bool separator = name[i] == ':' && i > 0 && i + 1 < name.size() && name[i - 1] != ':' && name[i + 1] != ':';
        if (!IsAlphaNum(name[i]) && !separator) name[i] = '_';
    }
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) name.insert(0, "_");
    return name;
}

}  // namespace

KString& ZeqTuloRenamingStrategy::ReplaceNonAlphaNum(KString& text, const char* replacement) {
    if (!replacement || !*replacement) return text;
    for (std::size_t i = 0; i < text.GetLen(); ++i)
        if (!IsAlphaNum(text[i]) && text[i] != ':') text[i] = *replacement;
    return text;
}

ZeqTuloSdkManager::ZeqTuloSdkManager(EMode mode) : mMode(mode) {}

ZeqTuloSdkManager::~ZeqTuloSdkManager() { Clear(); }

KZeqNode* ZeqTuloSdkManager::AllocateKZeqNode(const char* name) { return new ZeqTuloNode(*this, name); }

ZeqTuloNode* ZeqTuloSdkManager::CreateZeqTuloNode(const char* name, const TDagPath* path) {
    ZeqTuloNode* node = static_cast<ZeqTuloNode*>(CreateKZeqNode(name));
    if (node) node->SetDagPath(path);
    return node;
}

bool ZeqTuloSdkManager::DestroyZeqTuloNode(ZeqTuloNode* node, bool recursive) { return DestroyKZeqNode(node, recursive); }

void ZeqTuloSdkManager::ResolveNameClashing() {
    const bool import = mMode == eImport;
    ZeqTuloRenamingStrategy strategy(import ? KZeqPluginRenamingStrategy::eFromZeq : KZeqPluginRenamingStrategy::eToZeq,
                                     true);
    std::unordered_set<std::string> taken;         // import: host names handed out
    std::unordered_map<std::string, long long> next;  // import: next number to try per name
    std::unordered_set<std::string> namespaces;    // import: namespaces asked for already
    std::unordered_map<std::string, std::string> renamed;  // import: old full name -> new one
    std::vector<std::string> names(static_cast<std::size_t>(GetKZeqNodeCount()));
    for (int i = 0; i < GetKZeqNodeCount(); ++i) {
        ZeqTuloNode* node = static_cast<ZeqTuloNode*>(GetKZeqNode(i));
        if (!node) continue;
        KName name(node->GetNameWithoutNameSpacePrefix().Buffer());
        strategy.Rename(name);
        names[static_cast<std::size_t>(i)] = import ? HostValid(name.GetCurrentName()) : name.GetCurrentName();
    }
    // A number given to keep names unique takes no name a node of the file has itself: that node
    // would lose it, and a merge would bind by it the host node of the other one.
    const std::unordered_set<std::string> wantedByAll(import ? names.begin() : names.end(), names.end());
    for (int i = 0; i < GetKZeqNodeCount(); ++i) {
        ZeqTuloNode* node = static_cast<ZeqTuloNode*>(GetKZeqNode(i));
        if (!node) continue;
        node->mNamespace = NamespaceOf(node->GetInitialName());
        const std::string before = node->GetName();
        std::string wanted = names[static_cast<std::size_t>(i)];
        if (import) {
            node->mFileHostName = wanted.c_str();
            if (!taken.insert(wanted).second) {
                // The host's way: the first free number after the name.
                long long& n = next[wanted];
                std::string candidate;
                do candidate = wanted + std::to_string(++n);
                while (taken.count(candidate) || wantedByAll.count(candidate));
                taken.insert(candidate);
                wanted = candidate;
            }
            const std::string ns = node->mNamespace.Buffer();
            node->mAddNamespace = !ns.empty() && namespaces.insert(ns).second;
        }
        node->SetName(wanted.c_str());
        if (import && before != node->GetName()) renamed[before] = node->GetName();
    }
    if (renamed.empty()) return;
    for (int p = 0; p < GetKZeqPoseCount(); ++p) {
        KZeqPose* pose = GetKZeqPose(p);
        for (int e = 0; pose && e < pose->GetCount(); ++e) {
            auto it = renamed.find(pose->GetNodeName(e));
            if (it != renamed.end()) pose->ReplaceNodeName(e, it->second.c_str());
        }
    }
}
