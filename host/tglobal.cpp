#include "tglobal.h"

#include <set>

#include "scene.h"

using namespace tulo_detail;

namespace {

TStatus deleteAttribute(const TObject& object) {
    AttrRec* a = attr(object);
    if (!a || a->isStatic || a->owner != 0 || a->parent >= 0) return TStatus::kFailure;
    std::vector<std::uint32_t> todo{object.id()};
    while (!todo.empty()) {
        AttrRec& r = attrAt(todo.back());
        todo.pop_back();
        r.gen = 0;
        todo.insert(todo.end(), r.children.begin(), r.children.end());
    }
    return TStatus::kSuccess;
}

}  // namespace

TStatus TGlobal::deleteNode(const TObject& object) {
    // An attribute is no node: deleted as an attribute, without a dead-node fault.
    if (object.kind() == TObject::kAttributeKind) return deleteAttribute(object);
    if (NodeRec* n = liveNode(object, "TGlobal::deleteNode")) {
        if (object.id() == 0) return TStatus::kFailure;
        (void)n;
        destroyNode(object.id());
        return TStatus::kSuccess;
    }
    return TStatus::kFailure;
}

#include "tselectionlist.h"

TStatus TGlobal::getAssociatedSets(const TSelectionList& list, TObjectArray& sets) {
    sets.clear();
    const Scene& s = scene();
    std::set<std::uint32_t> holding;  // in creation order
    for (const TSelectionList::Item& item : list.items()) {
        const bool dependencyNode = item.path.empty();
        for (const auto& [id, index] : membersEndingAt(dependencyNode ? item.node.id() : item.path.back().id())) {
            const NodeRec& set = s.nodes[id];
            if (!set.gen || !tuloTypeIsA(set.type->code, TFn::kSet)) continue;
            const SetMember& m = set.members[index];
            if (dependencyNode ? m.path.size() == 1 && m.path[0] == item.node : m.path == item.path.nodes())
                holding.insert(id);
        }
    }
    for (std::uint32_t id : holding) sets.append(handle(id));
    return TStatus::kSuccess;
}
