// DAG paths against a plain model: paths as node lists, every answer worked out by walking the
// scene through the public API. Random trees with instancing, moves, removed parents and deleted
// nodes; paths kept across the changes must answer as the model does.
#include <random>
#include <vector>

#include "host_test_support.h"
#include "tfndagnode.h"
#include "tglobal.h"
#include "titdag.h"

namespace {

using Nodes = std::vector<TObject>;

// The model: what a path of these nodes answers, from the scene as it stands.
struct Model {
    TObject world;

    static bool alive(const TObject& o) { return o.apiType() != TFn::kInvalid; }
    static Nodes parentsOf(const TObject& o) {
        Nodes out;
        TFnDagNode fn(o);
        for (unsigned i = 0; i < fn.parentCount(); ++i) out.push_back(fn.parent(i));
        return out;
    }
    static Nodes childrenOf(const TObject& o) {
        Nodes out;
        TFnDagNode fn(o);
        for (unsigned i = 0; i < fn.childCount(); ++i) out.push_back(fn.child(i));
        return out;
    }
    bool valid(const Nodes& p) const {
        TObject above = world;
        for (const TObject& o : p) {
            if (!alive(o)) return false;
            const Nodes parents = parentsOf(o);
            if (std::find(parents.begin(), parents.end(), above) == parents.end()) return false;
            above = o;
        }
        return !p.empty();
    }
    std::vector<Nodes> allPaths(const TObject& o) const {
        if (o == world) return {Nodes()};
        std::vector<Nodes> out;
        for (const TObject& p : parentsOf(o))
            for (Nodes path : allPaths(p)) {
                path.push_back(o);
                out.push_back(path);
            }
        return out;
    }
    unsigned instance(const Nodes& p) const {
        const auto all = allPaths(p.back());
        return static_cast<unsigned>(std::find(all.begin(), all.end(), p) - all.begin());
    }
    static std::string fullName(const Nodes& p) {
        std::string out;
        for (const TObject& o : p) out += "|" + str(TFnDependencyNode(o).name());
        return out;
    }
    std::vector<Nodes> walk(int traversal) const {
        std::vector<Nodes> out;
        std::vector<Nodes> pending;
        for (const TObject& c : childrenOf(world)) pending.push_back({c});
        while (!pending.empty()) {
            Nodes path = pending.front();
            pending.erase(pending.begin());
            std::vector<Nodes> more;
            for (const TObject& c : childrenOf(path.back())) {
                more.push_back(path);
                more.back().push_back(c);
            }
            pending.insert(traversal == TItDag::kDepthFirst ? pending.begin() : pending.end(), more.begin(), more.end());
            out.push_back(path);
        }
        return out;
    }
};

struct Held {
    Nodes model;
    TDagPath path;
};

class DagPathModel : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        model.world = TFnDagNode(standin::find("persp")).parent(0);
    }

    std::vector<TObject> liveNodes() const {
        std::vector<TObject> out;
        for (const TObject& o : made)
            if (Model::alive(o)) out.push_back(o);
        return out;
    }
    TObject pick(const std::vector<TObject>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
    }
    // One random change of the DAG.
    void change() {
        const std::vector<TObject> live = liveNodes();
        const int what = live.empty() ? 0 : std::uniform_int_distribution<int>(0, 9)(rng);
        TObject a = live.empty() ? TObject() : pick(live), b = live.empty() ? TObject() : pick(live);
        if (what <= 3) {  // a new node, now and then a shape
            const bool shape = what == 3 && !a.isNull() && a.hasFn(TFn::kTransform);
            made.push_back(standin::createNode(shape ? "locator" : "transform", "n", what == 0 ? TObject() : a));
        } else if (what <= 5) {
            standin::parent(a, what == 4 ? b : TObject(), true);  // an instance (cycles refused)
        } else if (what == 6) {
            standin::parent(a, b, false);  // a move
        } else if (what == 7) {
            TFnDagNode fn(b);
            TObject child = a;
            if (fn.childCount() > 0) child = fn.child(0);
            fn.removeChild(child);
        } else if (what == 8) {
            TGlobal::deleteNode(a);
        } else {
            TObject top = standin::createNode("transform", "top");
            made.push_back(top);
        }
        standin::takeFaults();
    }
    // Paths to keep: a node's first and every path, the walk's, one node more or fewer.
    void gather() {
        const std::vector<TObject> live = liveNodes();
        if (live.empty()) return;
        TObject o = pick(live);
        const auto all = model.allPaths(o);
        TDagPathArray paths;
        ASSERT_TRUE(TDagPath::getAllPathsTo(o, paths));
        ASSERT_EQ(paths.length(), all.size());
        for (unsigned i = 0; i < paths.length(); ++i) {
            EXPECT_EQ(paths[i].nodes(), all[i]);
            held.push_back({all[i], paths[i]});
        }
        TDagPath first = TDagPath::getAPathTo(o);
        EXPECT_EQ(first.nodes(), all.front());
        EXPECT_TRUE(first == paths[0]);
        Held h{all.front(), first};
        // One step down, one or two up.
        const Nodes children = Model::childrenOf(o);
        if (!children.empty()) {
            Held down = h;
            ASSERT_TRUE(down.path.push(children.back()));
            down.model.push_back(children.back());
            held.push_back(down);
        }
        Held up = h;
        const unsigned k = std::uniform_int_distribution<unsigned>(1, 2)(rng);
        EXPECT_EQ(static_cast<bool>(up.path.pop(k)), k <= up.model.size());
        if (k <= up.model.size()) {
            up.model.resize(up.model.size() - k);
            held.push_back(up);
        }
        held.push_back(h);
    }
    // Every kept path answers as the model does; equal lists are equal paths.
    void check() {
        for (const Held& h : held) {
            const bool valid = model.valid(h.model);
            ASSERT_EQ(h.path.isValid(), valid) << Model::fullName(h.model);
            EXPECT_EQ(h.path.length(), h.model.size());
            EXPECT_EQ(h.path.nodes(), h.model);
            if (!valid) continue;
            EXPECT_EQ(str(h.path.fullPathName()), Model::fullName(h.model));
            EXPECT_EQ(h.path.instanceNumber(), model.instance(h.model)) << Model::fullName(h.model);
            EXPECT_EQ(h.path.isInstanced(), model.allPaths(h.model.back()).size() > 1);
            EXPECT_EQ(h.path.node(), h.model.back());
        }
        for (std::size_t i = 0; i < held.size(); i += 3)
            for (std::size_t j = 0; j < held.size(); ++j)
                ASSERT_EQ(held[i].path == held[j].path, held[i].model == held[j].model);
        for (int traversal : {TItDag::kDepthFirst, TItDag::kBreadthFirst}) {
            const auto expected = model.walk(traversal);
            std::size_t i = 0;
            for (TItDag it(traversal); !it.isDone(); it.next(), ++i) {
                ASSERT_LT(i, expected.size());
                TDagPath p;
                EXPECT_TRUE(it.getPath(p));
                EXPECT_EQ(p.nodes(), expected[i]);
                EXPECT_EQ(it.depth(), expected[i].size());
            }
            EXPECT_EQ(i, expected.size());
        }
    }

    Model model;
    std::mt19937 rng;
    std::vector<TObject> made;
    std::vector<Held> held;
};

TEST_F(DagPathModel, RandomTreesWithInstancesMovesAndDeletions) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        standin::reset();
        model.world = TFnDagNode(standin::find("persp")).parent(0);
        rng.seed(seed);
        made.clear();
        held.clear();
        for (int step = 0; step < 60; ++step) {
            change();
            if (step % 2 == 0) gather();
            if (step % 5 == 4) check();
            if (HasFatalFailure()) return;
        }
        check();
        // Kept across a reset, every path is dead and keeps its nodes.
        standin::reset();
        for (const Held& h : held) {
            EXPECT_FALSE(h.path.isValid());
            EXPECT_EQ(h.path.nodes(), h.model);
        }
    }
    standin::takeFaults();
}

// A path's answers follow the DAG when a node it passes through gains an instance above it, loses
// a parent, or goes.
TEST_F(DagPathModel, KeptPathsFollowChangesAbove) {
    TObject a = standin::createNode("transform", "a"), b = standin::createNode("transform", "b");
    TObject mid = standin::createNode("transform", "mid", a);
    TObject leaf = standin::createNode("transform", "leaf", mid);
    TDagPath path = TDagPath::getAPathTo(leaf);
    EXPECT_EQ(path.instanceNumber(), 0u);
    EXPECT_FALSE(path.isInstanced());
    ASSERT_TRUE(standin::parent(mid, b, true));
    TDagPathArray paths;
    TDagPath::getAllPathsTo(leaf, paths);
    ASSERT_EQ(paths.length(), 2u);
    EXPECT_TRUE(path.isInstanced());
    EXPECT_EQ(paths[1].instanceNumber(), 1u);
    EXPECT_EQ(str(paths[1].fullPathName()), "|b|mid|leaf");
    // The first parent removed: the kept path is broken, the other becomes instance 0.
    TFnDagNode(a).removeChild(mid);
    EXPECT_FALSE(path.isValid());
    EXPECT_TRUE(paths[1].isValid());
    EXPECT_EQ(paths[1].instanceNumber(), 0u);
    EXPECT_TRUE(TDagPath::getAPathTo(leaf) == paths[1]);
    TGlobal::deleteNode(mid);
    EXPECT_FALSE(paths[1].isValid());
    EXPECT_TRUE(paths[1].node().isNull());
    expectFaults({"invalid path"});
}

// A chain far deeper than any recursion could take: walked, copied, compared and let go.
TEST_F(DagPathModel, DeepChainCostsLikeFlatNodes) {
    constexpr int kDepth = 20000;
    TObject parent;
    for (int i = 0; i < kDepth; ++i) parent = standin::createNode("transform", "c", parent);
    unsigned count = 0, deepest = 0;
    TDagPath last;
    for (TItDag it; !it.isDone(); it.next()) {
        TDagPath p;
        it.getPath(p);
        ++count;
        if (p.length() > deepest) deepest = p.length(), last = p;
        ASSERT_EQ(p.instanceNumber(), 0u);
    }
    EXPECT_EQ(count, kDepth + 8u);  // the four default cameras and their shapes
    EXPECT_EQ(deepest, static_cast<unsigned>(kDepth));
    EXPECT_TRUE(last == TDagPath::getAPathTo(parent));
    EXPECT_TRUE(last.isValid());
    TDagPath up = last;
    ASSERT_TRUE(up.pop(kDepth - 1));
    EXPECT_EQ(str(up.fullPathName()), "|c");
    last = TDagPath();  // the chain's links go one by one
    standin::reset();
    EXPECT_FALSE(up.isValid());
}

// Two chains of the same names, under "x" and under "y": the deepest node's shortest unique name
// is its whole path. Named, found by that name, listed and deleted with its chain on a stack that
// a walk recursing once per level would overflow.
TEST_F(DagPathModel, DeepChainsOfOneNameWithoutRecursion) {
    constexpr int kDepth = 5000;
    TObject tops[2] = {standin::createNode("transform", "x"), standin::createNode("transform", "y")};
    TObject deepest[2];
    for (int t = 0; t < 2; ++t) {
        deepest[t] = tops[t];
        for (int i = 0; i < kDepth; ++i)
            deepest[t] = standin::createNode("transform", "c" + std::to_string(i), deepest[t]);
    }
    RunOnSmallStack(128 * 1024, [&] {
        const TDagPath path = TDagPath::getAPathTo(deepest[0]);
        const std::string full = str(path.fullPathName());
        EXPECT_EQ(str(path.partialPathName()), full.substr(1));
        const std::string last = "c" + std::to_string(kDepth - 1);
        EXPECT_EQ(standin::countMatches("c" + std::to_string(kDepth - 2) + "|" + last), 2u);
        EXPECT_EQ(standin::find(full.substr(1)), deepest[0]);
        TDagPathArray paths;
        ASSERT_TRUE(TDagPath::getAllPathsTo(deepest[1], paths));
        ASSERT_EQ(paths.length(), 1u);
        EXPECT_EQ(paths[0].length(), kDepth + 1u);
        ASSERT_TRUE(TGlobal::deleteNode(tops[0]));
        EXPECT_FALSE(Model::alive(deepest[0]));
        EXPECT_EQ(str(TDagPath::getAPathTo(deepest[1]).partialPathName()), last);
    });
}

}  // namespace
