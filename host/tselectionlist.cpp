#include "tselectionlist.h"

#include "scene.h"
#include "tglobal.h"

using namespace tulo_detail;

TStatus TSelectionList::add(const TDagPath& path, const TObject& component, bool merge) {
    if (!path.isValid()) return TStatus::kFailure;
    if (merge && hasItem(path, component)) return TStatus::kSuccess;
    items_.push_back({path, path.node(), component});
    return TStatus::kSuccess;
}

TStatus TSelectionList::add(const TObject& node, bool merge) {
    const NodeRec* n = liveNode(node, "TSelectionList::add");
    if (!n || node.id() == 0) return TStatus::kFailure;
    if (isDag(*n)) return add(TDagPath::getAPathTo(node), TObject::kNullObj, merge);
    if (merge && hasItem(node)) return TStatus::kSuccess;
    items_.push_back({TDagPath(), node, TObject()});
    return TStatus::kSuccess;
}

TStatus TSelectionList::add(const TSelectionList& other, bool merge) {
    for (const Item& i : other.items_) {
        if (merge && (i.path.empty() ? hasItem(i.node) : hasItem(i.path, i.component))) continue;
        items_.push_back(i);
    }
    return TStatus::kSuccess;
}

unsigned TSelectionList::length(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return static_cast<unsigned>(items_.size());
}

TStatus TSelectionList::clear() {
    items_.clear();
    return TStatus::kSuccess;
}

TStatus TSelectionList::remove(unsigned index) {
    if (index >= items_.size()) {
        indexFault("TSelectionList::remove", index, items_.size());
        return TStatus::kFailure;
    }
    items_.erase(items_.begin() + index);
    return TStatus::kSuccess;
}

TStatus TSelectionList::getDependNode(unsigned index, TObject& node) const {
    if (index >= items_.size()) {
        indexFault("TSelectionList::getDependNode", index, items_.size());
        return TStatus::kFailure;
    }
    if (!liveNode(items_[index].node, "TSelectionList::getDependNode")) return TStatus::kFailure;
    node = items_[index].node;
    return TStatus::kSuccess;
}

TStatus TSelectionList::getDagPath(unsigned index, TDagPath& path, TObject& component) const {
    if (index >= items_.size()) {
        indexFault("TSelectionList::getDagPath", index, items_.size());
        return TStatus::kFailure;
    }
    if (items_[index].path.empty()) return TStatus::kFailure;
    path = items_[index].path;
    component = items_[index].component;
    return TStatus::kSuccess;
}

TStatus TSelectionList::getDagPath(unsigned index, TDagPath& path) const {
    TObject component;
    return getDagPath(index, path, component);
}

bool TSelectionList::hasItem(const TDagPath& path, const TObject& component, TStatus* status) const {
    put(status, TStatus::kSuccess);
    for (const Item& i : items_)
        if (!i.path.empty() && i.path == path && i.component == component) return true;
    return false;
}

bool TSelectionList::hasItem(const TObject& node, TStatus* status) const {
    put(status, TStatus::kSuccess);
    for (const Item& i : items_)
        if (i.node == node) return true;
    return false;
}

TItSelectionList::TItSelectionList(const TSelectionList& list, int filter, TStatus* status)
    : list_(list), filter_(filter) {
    put(status, reset());
}

bool TItSelectionList::passes(std::size_t i) const {
    const auto& item = list_.items()[i];
    if (filter_ == TFn::kInvalid) return true;
    if (filter_ == TFn::kAnyDagItem) return !item.path.empty();
    return item.node.hasFn(filter_);
}

void TItSelectionList::skip() {
    while (index_ < list_.items().size() && !passes(index_)) ++index_;
}

TStatus TItSelectionList::reset() {
    index_ = 0;
    skip();
    return TStatus::kSuccess;
}

bool TItSelectionList::isDone(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return index_ >= list_.items().size();
}

TStatus TItSelectionList::next() {
    if (isDone()) return TStatus::kFailure;
    ++index_;
    skip();
    return TStatus::kSuccess;
}

TStatus TItSelectionList::getDagPath(TDagPath& path, TObject& component) const {
    if (isDone()) return TStatus::kFailure;
    return list_.getDagPath(static_cast<unsigned>(index_), path, component);
}

TStatus TItSelectionList::getDagPath(TDagPath& path) const {
    TObject component;
    return getDagPath(path, component);
}

TStatus TItSelectionList::getDependNode(TObject& node) const {
    if (isDone()) return TStatus::kFailure;
    return list_.getDependNode(static_cast<unsigned>(index_), node);
}

TStatus TGlobal::getActiveSelectionList(TSelectionList& list) {
    list.clear();
    for (const auto& item : scene().selection) {
        if (item.first.empty() || !tulo_detail::node(item.first.back())) continue;
        if (item.first.size() == 1 && !isDag(scene().nodes[item.first[0].id()])) list.add(item.first[0]);
        else list.add(TDagPath(item.first), item.second);
    }
    return TStatus::kSuccess;
}

TStatus TGlobal::setActiveSelectionList(const TSelectionList& list) {
    auto& sel = scene().selection;
    sel.clear();
    for (const auto& item : list.items())
        sel.emplace_back(item.path.empty() ? std::vector<TObject>{item.node} : item.path.nodes(),
                         item.component);
    return TStatus::kSuccess;
}
