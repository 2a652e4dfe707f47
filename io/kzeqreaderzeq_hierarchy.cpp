// Names in records resolved once every object exists: the children of nodes
// before version 6, skin-link nodes, look-at targets, up-vector nodes and
// camera backgrounds.

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqgeometry.h"
#include "content/kzeqlink.h"
#include "content/kzeqtexture.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "object/izeqobject.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

void KZeqReaderZeq::IndexNodesBelow(KZeqNode& root) {
    mNodeIndex.clear();
    std::vector<KZeqNode*> pending;
    for (int i = root.GetChildCount(); i-- > 0;) pending.push_back(root.GetChild(i));
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        mNodeIndex.emplace(node->GetName(), node);
        for (int i = node->GetChildCount(); i-- > 0;) pending.push_back(node->GetChild(i));
    }
}

KZeqNode* KZeqReaderZeq::FindIndexedNode(const char* name) const {
    const auto found = mNodeIndex.find(KZeqSdkManager::PrefixName("Model::", name).Buffer());
    return found == mNodeIndex.end() ? nullptr : found->second;
}

bool KZeqReaderZeq::ReadHierarchy(KZeqNode& root) {
    if (!mFile->IsBeforeVersion6()) return true;
    ResolveHierarchy(root);
    if (mOptions && mOptions->GetOption(KStreamOptionsZeq::eLINK)) ResolveLinks(root, root);
    ResolveTargets(root);
    ResolveUpNodes(root);
    return true;
}

bool KZeqReaderZeq::ResolveHierarchy(KZeqNode& root) {
    mNodeNames.Sort();
    const int count = mNodeNames.GetCount();
    std::vector<KZeqNode*> nodes(static_cast<std::size_t>(count));
    std::unordered_map<const KZeqNode*, int> slots;
    for (int i = 0; i < count; ++i) {
        nodes[i] = reinterpret_cast<KZeqNode*>(mNodeNames.GetFromIndex(i));
        slots.emplace(nodes[i], i);
    }
    // A scene holds one model of a name: a name in a record means the first
    // model of that name in the file (the one the table finds), and a later
    // one is left out, its own list of children with it.
    std::vector<char> repeated(nodes.size(), 0);
    for (int i = 0; i < count; ++i) repeated[i] = FindNode(nodes[i]->GetName()) != nodes[i];
    // The links are first decided on a model of the forest: entries in table
    // order, a later parent replacing an earlier one, and a link that would
    // make a node its own ancestor skipped (a file may name a cycle).
    std::vector<int> parent(nodes.size(), -1), children(nodes.size(), 0), sequence(nodes.size(), 0);
    int linked = 0;
    for (int i = 0; i < count; ++i) {
        if (repeated[i]) continue;
        KZeqNode& node = *nodes[i];
        for (int c = 0; c < node.GetChildNameCount(); ++c) {
            const KString name = KZeqSdkManager::PrefixName("Model::", node.GetChildName(static_cast<unsigned>(c)));
            const auto found = slots.find(FindNode(name.Buffer()));
            if (found == slots.end()) continue;
            const int child = found->second;
            bool cycle = child == i;
            // Only a node with children can be above another.
            for (int up = i; !cycle && children[child] > 0 && up >= 0; up = parent[up]) cycle = up == child;
            if (cycle) continue;
            if (parent[child] >= 0) --children[parent[child]];
            parent[child] = i, ++children[i], sequence[child] = ++linked;
        }
    }
    // Then made deepest parents first, each parent's children in the order
    // they were last given to it: a parent is not yet under its own parent
    // when its children join it, which keeps each link's ancestor check short.
    std::vector<int> depth(nodes.size(), -1), path;
    for (int i = 0; i < count; ++i) {
        for (int up = i; up >= 0 && depth[up] < 0; up = parent[up]) path.push_back(up);
        for (; !path.empty(); path.pop_back()) {
            const int at = path.back(), above = parent[at];
            depth[at] = above < 0 ? 0 : depth[above] + 1;
        }
    }
    std::vector<int> links;
    for (int i = 0; i < count; ++i)
        if (parent[i] >= 0) links.push_back(i);
    std::sort(links.begin(), links.end(), [&](int a, int b) {
        const int da = depth[parent[a]], db = depth[parent[b]];
        return da != db ? da > db : sequence[a] < sequence[b];
    });
    for (int child : links) nodes[parent[child]]->AddChild(nodes[child]);
    // The root has no record listing its children: they keep the order of
    // the file rather than that of their names.
    for (KZeqNode* node : mNodesRead) {
        if (node == &root) continue;
        const auto slot = slots.find(node);
        if (slot != slots.end() && repeated[static_cast<std::size_t>(slot->second)]) {
            AddModelDefinedAgain(*node);
            continue;
        }
        if (node->GetParent()) continue;
        // Whatever the scene refuses is said, not dropped unseen.
        if (!root.AddChild(node))
            AddMessageLine(KString(node->GetName()) + " is left out of the scene with what is below it: " +
                           root.GetLastErrorString() + ".");
    }
    return true;
}

bool KZeqReaderZeq::ResolveLinks(KZeqNode& root, KZeqNode& node) {
    IndexNodesBelow(root);
    std::vector<KZeqNode*> pending{&node};
    while (!pending.empty()) {
        KZeqNode* at = pending.back();
        pending.pop_back();
        if (KZeqGeometry* geometry = at->GetGeometry()) {
            for (int i = 0; i < geometry->GetLinkCount(); ++i) {
                KZeqLink* link = geometry->GetLink(i);
                if (!link) continue;
                if (KZeqNode* found = FindIndexedNode(link->GetLinkName().Buffer())) link->SetLink(found);
                const KString associate = link->GetAssociateModelName();
                if (associate.IsEmpty()) continue;
                if (KZeqNode* found = FindIndexedNode(associate.Buffer())) link->SetAssociateModel(found);
            }
        }
        for (int i = at->GetChildCount(); i-- > 0;) pending.push_back(at->GetChild(i));
    }
    mNodeIndex.clear();
    return true;
}

bool KZeqReaderZeq::ResolveTargets(KZeqNode& root) {
    if (mTargets.GetCount() == 0) return true;
    IndexNodesBelow(root);
    mTargets.Sort();
    for (int i = 0; i < mTargets.GetCount(); ++i) {
        const char* key = nullptr;
        auto* node = reinterpret_cast<KZeqNode*>(mTargets.GetFromIndex(i, &key));
        if (!node) continue;
        KZeqNode* target = FindIndexedNode(key);
        if (target)
            node->SetTarget(target);
        else
            AddTargetNotDefined(*node, false, KZeqSdkManager::PrefixName("Model::", key));
    }
    mNodeIndex.clear();
    return true;
}

bool KZeqReaderZeq::ResolveUpNodes(KZeqNode& root) {
    if (mUpNodes.GetCount() == 0) return true;
    IndexNodesBelow(root);
    mUpNodes.Sort();
    for (int i = 0; i < mUpNodes.GetCount(); ++i) {
        const char* key = nullptr;
        auto* node = reinterpret_cast<KZeqNode*>(mUpNodes.GetFromIndex(i, &key));
        if (!node) continue;
        KZeqNode* target = FindIndexedNode(key);
        if (target)
            node->SetTargetUp(target);
        else
            AddTargetNotDefined(*node, true, KZeqSdkManager::PrefixName("Model::", key));
    }
    mNodeIndex.clear();
    return true;
}

bool KZeqReaderZeq::ResolveCameraBackgrounds(KZeqScene& scene) {
    KZeqEntity* entity = scene.GetEntity();
    if (!entity) return true;
    mCameraBackgrounds.Sort();
    for (int i = 0; i < mCameraBackgrounds.GetCount(); ++i) {
        const char* key = nullptr;
        auto* camera = reinterpret_cast<KZeqCamera*>(mCameraBackgrounds.GetFromIndex(i, &key));
        for (int t = 0; camera && t < entity->GetTextureCount(); ++t) {
            KZeqTexture* texture = entity->GetTexture(t);
            if (texture && std::strcmp(texture->GetName(), key) == 0) camera->SetBackgroundTexture(texture);
        }
    }
    return true;
}

bool ZeqReadHierarchy(KZeqReaderZeq& reader, KZeqScene& scene) {
    return !scene.GetRootNode() || reader.ReadHierarchy(*scene.GetRootNode());
}

bool ZeqReadCameraBackgrounds(KZeqReaderZeq& reader, KZeqScene& scene) {
    return reader.ResolveCameraBackgrounds(scene);
}

}  // namespace zeqsdk_400
