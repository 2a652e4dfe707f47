#include "tglobal.h"

#include "scene.h"

using namespace tulo_detail;

TStatus TGlobal::deleteNode(const TObject& object) {
    if (NodeRec* n = liveNode(object, "TGlobal::deleteNode")) {
        if (object.id() == 0) return TStatus::kFailure;
        (void)n;
        destroyNode(object.id());
        return TStatus::kSuccess;
    }
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
