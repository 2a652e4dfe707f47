#include "titdag.h"

#include "dagpathlink.h"
#include "scene.h"

using namespace tulo_detail;

TItDag::TItDag(int traversal, int filter, TStatus* status) : traversal_(traversal), filter_(filter) {
    if (traversal != kDepthFirst && traversal != kBreadthFirst) {
        put(status, TStatus::kFailure);
        return;
    }
    put(status, reset());
}

TStatus TItDag::reset() {
    pending_.clear();
    valid_ = true;
    for (std::uint32_t c : scene().nodes[0].children) pending_.push_back(pathLink(nullptr, handle(c)));
    advance();
    return TStatus::kSuccess;
}

// Takes the next pending path; children follow at once (depth first) or after the others.
bool TItDag::advance() {
    const Scene& s = scene();
    while (!pending_.empty()) {
        std::shared_ptr<const PathLink> path = std::move(pending_.front());
        pending_.pop_front();
        const std::uint32_t end = path->node.id();
        const auto& children = s.nodes[end].children;
        std::vector<std::shared_ptr<const PathLink>> more;
        more.reserve(children.size());
        for (std::uint32_t c : children) more.push_back(pathLink(path, handle(c)));
        if (traversal_ == kDepthFirst) pending_.insert(pending_.begin(), more.begin(), more.end());
        else pending_.insert(pending_.end(), more.begin(), more.end());
        if (filter_ == TFn::kInvalid || tuloTypeIsA(s.nodes[end].type->code, filter_)) {
            current_ = std::move(path);
            return true;
        }
    }
    valid_ = false;
    current_.reset();
    return false;
}

bool TItDag::isDone(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return !valid_;
}

TStatus TItDag::next() {
    if (!valid_) return TStatus::kFailure;
    return advance() ? TStatus::kSuccess : TStatus::kFailure;
}

TStatus TItDag::getPath(TDagPath& path) const {
    if (!valid_) return TStatus::kFailure;
    path = TDagPath(current_);
    return path.isValid() ? TStatus::kSuccess : TStatus::kFailure;
}

TObject TItDag::currentItem(TStatus* status) const {
    if (!valid_) return put(status, TStatus::kFailure), TObject();
    put(status, TStatus::kSuccess);
    return handle(current_->node.id());
}

TString TItDag::fullPathName(TStatus* status) const {
    TDagPath p;
    if (!put(status, getPath(p))) return TString();
    return p.fullPathName(status);
}

TString TItDag::partialPathName(TStatus* status) const {
    TDagPath p;
    if (!put(status, getPath(p))) return TString();
    return p.partialPathName(status);
}

unsigned TItDag::depth(TStatus* status) const {
    put(status, valid_ ? TStatus::kSuccess : TStatus::kFailure);
    return current_ ? current_->depth : 0;
}
