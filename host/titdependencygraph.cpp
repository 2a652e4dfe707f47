#include "titdependencygraph.h"

#include "scene.h"

using namespace tulo_detail;

namespace {
bool passes(std::uint32_t id, int filter) {
    return filter == TFn::kInvalid || tuloTypeIsA(scene().nodes[id].type->code, filter);
}
}  // namespace

TItDependencyGraph::TItDependencyGraph(const TObject& root, int filter, int direction, int traversal, int level,
                                       TStatus* status) {
    start(root, nullptr, filter, direction, traversal, level, status);
}

TItDependencyGraph::TItDependencyGraph(const TPlug& root, int filter, int direction, int traversal, int level,
                                       TStatus* status) {
    TObject n = root.isNull() ? TObject() : root.node();
    start(n, &root, filter, direction, traversal, level, status);
}

void TItDependencyGraph::start(const TObject& root, const TPlug* plug, int filter, int direction, int traversal,
                               int level, TStatus* status) {
    bool ok = liveNode(root, "TItDependencyGraph") && (direction == 0 || direction == 1) &&
              (traversal == 0 || traversal == 1) && (level == 0 || level == 1) && (!plug || resolved(plug->entries()));
    if (!ok) {
        put(status, TStatus::kFailure);
        return;
    }
    root_ = root;
    if (plug) rootPlug_ = *plug;
    hasRootPlug_ = plug != nullptr;
    filter_ = filter;
    direction_ = direction;
    traversal_ = traversal;
    level_ = level;
    put(status, reset());
}

TStatus TItDependencyGraph::reset() {
    pending_.clear();
    seen_.clear();
    valid_ = false;
    if (!node(root_)) return TStatus::kFailure;
    seen_.insert(root_.id());
    current_ = root_;
    valid_ = true;
    // The first hop from a plug at plug level follows that plug only.
    expand(root_.id(), hasRootPlug_ && level_ == kPlugLevel ? &rootPlug_ : nullptr);
    if (!passes(root_.id(), filter_)) advance();
    return TStatus::kSuccess;
}

void TItDependencyGraph::expand(std::uint32_t id, const TPlug* only) {
    const Scene& s = scene();
    std::vector<std::uint32_t> found;
    bool down = direction_ == kDownstream;
    for (std::uint32_t c : sortedConns(s.nodes[id], down)) {
        const Conn& cc = s.conns[c];
        const PlugPath& mine = down ? cc.srcPath : cc.dstPath;
        if (only) {
            // That plug, or a child or element below it (an array plug covers its elements).
            const auto& p = only->entries();
            bool below = mine.size() >= p.size();
            for (std::size_t i = 0; below && i < p.size(); ++i)
                below = p[i].attr == mine[i].attr &&
                        (p[i].index == mine[i].index || (i + 1 == p.size() && p[i].index == kArrayPlug));
            if (!below) continue;
        }
        std::uint32_t next = down ? cc.dst : cc.src;
        if (seen_.insert(next).second) found.push_back(next);
    }
    if (traversal_ == kBreadthFirst) pending_.insert(pending_.end(), found.begin(), found.end());
    else pending_.insert(pending_.begin(), found.begin(), found.end());
}

bool TItDependencyGraph::advance() {
    while (!pending_.empty()) {
        std::uint32_t id = pending_.front();
        pending_.pop_front();
        expand(id, nullptr);
        if (passes(id, filter_)) {
            current_ = handle(id);
            return true;
        }
    }
    valid_ = false;
    current_ = TObject();
    return false;
}

bool TItDependencyGraph::isDone(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return !valid_;
}

TStatus TItDependencyGraph::next() {
    if (!valid_) return TStatus::kFailure;
    return advance() ? TStatus::kSuccess : TStatus::kFailure;
}

TObject TItDependencyGraph::thisNode(TStatus* status) const {
    if (!valid_ || !node(current_)) return put(status, TStatus::kFailure), TObject();
    put(status, TStatus::kSuccess);
    return current_;
}

TObject TItDependencyGraph::rootNode(TStatus* status) const {
    put(status, node(root_) ? TStatus::kSuccess : TStatus::kFailure);
    return root_;
}

TItDependencyNodes::TItDependencyNodes(int filter, TStatus* status) : filter_(filter) { put(status, reset()); }

void TItDependencyNodes::skip() {
    const Scene& s = scene();
    while (index_ < s.nodes.size() && (s.nodes[index_].gen == 0 || index_ == 0 || !passes(index_, filter_))) ++index_;
}

TStatus TItDependencyNodes::reset() {
    index_ = 0;
    skip();
    return TStatus::kSuccess;
}

bool TItDependencyNodes::isDone(TStatus* status) const {
    put(status, TStatus::kSuccess);
    return index_ >= scene().nodes.size();
}

TStatus TItDependencyNodes::next() {
    if (isDone()) return TStatus::kFailure;
    ++index_;
    skip();
    return isDone() ? TStatus::kFailure : TStatus::kSuccess;
}

TObject TItDependencyNodes::item(TStatus* status) const {
    if (isDone()) return put(status, TStatus::kFailure), TObject();
    put(status, TStatus::kSuccess);
    return handle(index_);
}
