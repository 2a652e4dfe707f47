#ifndef ZEQ_SCENE_TESTS_KFILETAKEMODEL_SUPPORT_H
#define ZEQ_SCENE_TESTS_KFILETAKEMODEL_SUPPORT_H

// Takes with animation layers and time warps in the arrangements files hold, generated, with what
// they mean at a time written on plain doubles apart from the SDK (with kfiletransform_support.h),
// when a bake of them is exact, and their field text.
//
// What a take means. A time warp maps a time to the time the curves below it are read at, in
// seconds; warps compose from the top down: the whole transform's, then the vector's (translation,
// rotation or scaling), then a channel's own. A vector's layers are read at the vector's time; each
// channel of a layer goes with the base channel of its name, and a channel a layer does not hold is
// neutral. Translation layers add, scaling layers multiply; a rotation turns by its last layer
// first, then the one before, and so on down to the base rotation, all in the node's order (spheric
// as XYZ). Curves are linear between their keys and held outside them; one without keys holds its
// default. In a file the warps written on a vector's axis channels (X, Y or Z) are the vector's
// where they say one warp together (one channel's, or the same on several) beside none of the
// vector's or the same: the generator writes a vector's warp there at times. Otherwise each channel
// keeps its own, under the vector's: files hold them so (two different warps on a vector's
// channels, or one beside a different one of the vector's); takes made in memory hold them anyhow.
//
// When a bake is exact. The bake of a vector (layered, or under a warp) holds at whole 1/30 s, at
// the start and end of its span (the outermost warp's keys, or else its curves' and layers' keys)
// and at every time where the take reaches a key of its curves, its layers or a warp below the
// outermost; before and after its span it holds still. Elsewhere it interpolates its samples.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "scene/tests/kfiletakelayers_support.h"
#include "scene/tests/kfiletransform_support.h"

namespace zeqtest {

// Linear keys held outside them; without keys the default.
struct ModelCurve {
    double mDefault = 0.0;
    ScalarKeys mKeys;
    double AtTime(double t) const { return mKeys.empty() ? mDefault : At(mKeys, t); }
};

// A layer (ids from 1 in order) holding some of its vector's channels.
struct ModelLayer {
    bool mHas[3] = {false, false, false};
    ModelCurve mAxes[3];
};

enum EModelVector { eModelT, eModelR, eModelS };

struct ModelVector {
    ModelCurve mAxes[3];
    std::vector<ModelLayer> mLayers;
    int mWarp = -1;      // the vector's warp (an index into the take's warps), or none
    int mWarpAxis = -1;  // in a file, the axis channel that carries the vector's warp (-1: the vector)
    // In a file, further places that carry the vector's warp too: bit a the axis channel a, bit 3 the
    // vector itself.
    unsigned mWarpAlso = 0;
    int mAxisWarp[3] = {-1, -1, -1};  // each channel's own
};

// What the host makes of a node; the model only reads transforms.
enum EModelKind { eModelNull, eModelMesh, eModelJoint, eModelCamera, eModelPointLight, eModelSpotLight };

struct ModelNode {
    std::string mName;
    EModelKind mKind = eModelNull;
    int mParent = -1;  // an earlier node's index, -1 at the top
    int mOrder = 0;    // 0 to 5 Euler XYZ to ZYX, 6 spheric
    double mPre[3] = {0, 0, 0};
    int mWarp = -1;  // the whole transform's
    ModelVector mV[3];
};

// Where a vector's bake is exact: baked (else it is its curves at every time); constant (it holds
// one value at every time); its span; the times of its keys as the take reaches them.
struct ModelBakeSpan {
    bool mBaked = false;
    bool mConstant = false;
    double mStart = 0.0, mStop = 0.0;
    std::vector<double> mKinks;
};

struct ModelTake {
    std::vector<ScalarKeys> mWarps;  // take time to curve time
    std::vector<ModelNode> mNodes;
    double mStop = 2.0;  // the take's end

    // ---- Meaning ---------------------------------------------------------------------------------

    double VectorTime(const ModelNode& n, int v, double t) const {
        if (n.mWarp >= 0) t = At(mWarps[static_cast<std::size_t>(n.mWarp)], t);
        if (n.mV[v].mWarp >= 0) t = At(mWarps[static_cast<std::size_t>(n.mV[v].mWarp)], t);
        return t;
    }

    // The base channels at take time t, and each layer's (neutral where it holds none).
    void Channels(const ModelNode& n, int v, double t, double base[3], std::vector<std::array<double, 3>>& layers) const {
        const ModelVector& vector = n.mV[v];
        const double at = VectorTime(n, v, t);
        const double neutral = v == eModelS ? 1.0 : 0.0;
        for (int a = 0; a < 3; ++a) {
            const int own = vector.mAxisWarp[a];
            base[a] = vector.mAxes[a].AtTime(own >= 0 ? At(mWarps[static_cast<std::size_t>(own)], at) : at);
        }
        layers.clear();
        for (const ModelLayer& layer : vector.mLayers) {
            std::array<double, 3> values{};
            for (int a = 0; a < 3; ++a) values[a] = layer.mHas[a] ? layer.mAxes[a].AtTime(at) : neutral;
            layers.push_back(values);
        }
    }

    // A translation or scaling at take time t, its layers added or multiplied in.
    std::array<double, 3> Vector(const ModelNode& n, int v, double t) const {
        double base[3];
        std::vector<std::array<double, 3>> layers;
        Channels(n, v, t, base, layers);
        std::array<double, 3> values = {base[0], base[1], base[2]};
        for (const auto& layer : layers)
            for (std::size_t a = 0; a < 3; ++a) values[a] = v == eModelS ? values[a] * layer[a] : values[a] + layer[a];
        return values;
    }

    // The rotation at take time t: its last layer first, down to the base rotation.
    Mat4 Rotation(const ModelNode& n, double t) const {
        double base[3];
        std::vector<std::array<double, 3>> layers;
        Channels(n, eModelR, t, base, layers);
        Mat4 rotation = EulerMatrix(base, n.mOrder);
        for (const auto& layer : layers) {
            const double angles[3] = {layer[0], layer[1], layer[2]};
            rotation = Multiply(EulerMatrix(angles, n.mOrder), rotation);
        }
        return rotation;
    }

    Mat4 Local(const ModelNode& n, double t) const {
        FileTransformValues values;
        values.rotationOrder = n.mOrder;
        for (int a = 0; a < 3; ++a) values.preRotation[a] = n.mPre[a];
        const std::array<double, 3> translation = Vector(n, eModelT, t), scaling = Vector(n, eModelS, t);
        for (int a = 0; a < 3; ++a) {
            values.t[a] = translation[static_cast<std::size_t>(a)];
            values.s[a] = scaling[static_cast<std::size_t>(a)];
        }
        return FileLocalMatrix(values, Rotation(n, t));
    }

    Mat4 World(std::size_t node, double t) const {
        Mat4 world = Local(mNodes[node], t);
        for (int p = mNodes[node].mParent; p >= 0; p = mNodes[static_cast<std::size_t>(p)].mParent)
            world = Multiply(world, Local(mNodes[static_cast<std::size_t>(p)], t));
        return world;
    }

    // ---- Where a bake is exact -----------------------------------------------------------------

    // The take times in [first, last] where the warps of chain (outermost first) reach each of
    // values, inverted span by span (a hold reaches its value at its ends, which are keys).
    std::vector<double> Reaching(const std::vector<int>& chain, std::size_t count, std::vector<double> values) const {
        for (; count > 0; --count) {
            const ScalarKeys& warp = mWarps[static_cast<std::size_t>(chain[count - 1])];
            std::vector<double> found;
            for (double value : values)
                for (std::size_t k = 0; k + 1 < warp.size(); ++k) {
                    const double t0 = warp[k].first, t1 = warp[k + 1].first;
                    const double v0 = warp[k].second, v1 = warp[k + 1].second;
                    if (v0 == v1 || value < std::min(v0, v1) || value > std::max(v0, v1)) continue;
                    found.push_back(t0 + (value - v0) / (v1 - v0) * (t1 - t0));
                }
            values.swap(found);
        }
        return values;
    }

    ModelBakeSpan Span(const ModelNode& n, int v) const {
        const ModelVector& vector = n.mV[v];
        std::vector<int> chain;
        if (n.mWarp >= 0) chain.push_back(n.mWarp);
        if (vector.mWarp >= 0) chain.push_back(vector.mWarp);
        ModelBakeSpan span;
        // Every key, for the span; those read at the vector's time, and those a channel's own warp
        // bends further, as the take reaches them.
        std::vector<double> keys, plain, reached;
        for (int a = 0; a < 3; ++a) {
            std::vector<double> axis;
            for (const auto& key : vector.mAxes[a].mKeys) axis.push_back(key.first);
            keys.insert(keys.end(), axis.begin(), axis.end());
            if (vector.mAxisWarp[a] >= 0) {
                span.mBaked = true;
                for (const auto& key : mWarps[static_cast<std::size_t>(vector.mAxisWarp[a])]) {
                    keys.push_back(key.first);
                    plain.push_back(key.first);
                }
                std::vector<int> own = chain;
                own.push_back(vector.mAxisWarp[a]);
                const std::vector<double> through = Reaching(own, own.size(), axis);
                reached.insert(reached.end(), through.begin(), through.end());
            } else {
                plain.insert(plain.end(), axis.begin(), axis.end());
            }
            for (const ModelLayer& layer : vector.mLayers)
                if (layer.mHas[a])
                    for (const auto& key : layer.mAxes[a].mKeys) {
                        keys.push_back(key.first);
                        plain.push_back(key.first);
                    }
        }
        span.mBaked = span.mBaked || !chain.empty() || !vector.mLayers.empty();
        if (!span.mBaked) return span;
        if (!chain.empty()) {
            const ScalarKeys& outer = mWarps[static_cast<std::size_t>(chain.front())];
            span.mStart = outer.front().first;
            span.mStop = outer.back().first;
        } else if (keys.empty()) {
            span.mConstant = true;
            return span;
        } else {
            span.mStart = *std::min_element(keys.begin(), keys.end());
            span.mStop = *std::max_element(keys.begin(), keys.end());
        }
        // Within the take's span (its local time, from 0) the bake plays the take past its keys too.
        if (mStop > 0.0) span.mStart = std::min(span.mStart, 0.0), span.mStop = std::max(span.mStop, mStop);
        span.mKinks = Reaching(chain, chain.size(), plain);
        span.mKinks.insert(span.mKinks.end(), reached.begin(), reached.end());
        for (std::size_t j = 0; j < chain.size(); ++j) {
            std::vector<double> warpKeys;
            for (const auto& key : mWarps[static_cast<std::size_t>(chain[j])]) warpKeys.push_back(key.first);
            const std::vector<double> through = Reaching(chain, j, warpKeys);
            span.mKinks.insert(span.mKinks.end(), through.begin(), through.end());
        }
        span.mKinks.push_back(span.mStart);
        span.mKinks.push_back(span.mStop);
        return span;
    }

    // Whether the node's own baked transform is exact at t (every vector of it).
    bool ExactAt(const ModelNode& n, double t) const {
        for (int v = 0; v < 3; ++v) {
            const ModelBakeSpan span = Span(n, v);
            if (!span.mBaked || span.mConstant || t <= span.mStart || t >= span.mStop) continue;
            const double frames = t * 30.0;
            if (std::fabs(frames - std::round(frames)) < 1e-7) continue;
            bool kink = false;
            for (double k : span.mKinks) kink = kink || std::fabs(k - t) < 1e-9;
            if (!kink) return false;
        }
        return true;
    }

    // The node's first and last key once baked: its vectors' spans, the keys of those not baked.
    void KeySpan(const ModelNode& n, double& first, double& last) const {
        first = 1e300;
        last = -1e300;
        for (int v = 0; v < 3; ++v) {
            const ModelBakeSpan span = Span(n, v);
            if (span.mConstant) continue;
            if (span.mBaked) {
                first = std::min(first, span.mStart);
                last = std::max(last, span.mStop);
                continue;
            }
            for (int a = 0; a < 3; ++a)
                for (const auto& key : n.mV[v].mAxes[a].mKeys) {
                    first = std::min(first, key.first);
                    last = std::max(last, key.first);
                }
        }
    }

    // Whether the node's world transform is exact at t: its own and every ancestor's.
    bool WorldExactAt(std::size_t node, double t) const {
        for (int i = static_cast<int>(node); i >= 0; i = mNodes[static_cast<std::size_t>(i)].mParent)
            if (!ExactAt(mNodes[static_cast<std::size_t>(i)], t)) return false;
        return true;
    }

    // The times a check of the node reads: its keys, its layers', its warps' and its ancestors' as
    // the take reaches them, between them on the 1/30 s grid and off it, the take's ends and after
    // them; with exactOnly, those where a bake of the node and its ancestors is exact.
    std::vector<double> CheckTimes(std::size_t node, bool exactOnly) const {
        std::vector<double> times = {0.0, 0.5, 1.0, 1.0 / 24.0, 0.37, 1.234, mStop, mStop + 0.7, 4.3, -0.5};
        for (int g = 1; g < 90; g += 7) times.push_back(g / 30.0);
        for (int i = static_cast<int>(node); i >= 0; i = mNodes[static_cast<std::size_t>(i)].mParent)
            for (int v = 0; v < 3; ++v) {
                const ModelBakeSpan span = Span(mNodes[static_cast<std::size_t>(i)], v);
                times.insert(times.end(), span.mKinks.begin(), span.mKinks.end());
                for (const auto& key : mNodes[static_cast<std::size_t>(i)].mV[v].mAxes[0].mKeys) times.push_back(key.first);
            }
        std::sort(times.begin(), times.end());
        times.erase(std::unique(times.begin(), times.end(), [](double a, double b) { return std::fabs(a - b) < 1e-9; }),
                    times.end());
        if (exactOnly)
            times.erase(std::remove_if(times.begin(), times.end(), [&](double t) { return !WorldExactAt(node, t); }),
                        times.end());
        return times;
    }

    bool Layered() const {
        for (const ModelNode& n : mNodes) {
            if (n.mWarp >= 0) return true;
            for (const ModelVector& v : n.mV)
                if (v.mWarp >= 0 || !v.mLayers.empty() || v.mAxisWarp[0] >= 0 || v.mAxisWarp[1] >= 0 ||
                    v.mAxisWarp[2] >= 0)
                    return true;
        }
        return false;
    }
};

// ---- Generated takes --------------------------------------------------------------------------

// Time warps of the generated takes: half speed over 1 s (ending before the take's stop), fast
// then holding then on, over 3 s at 0.8 (ending after the stop), one that runs back, and one that
// changes nothing. Under the one at 0.8 the keys of the others are reached off the 1/30 s grid.
inline std::vector<ScalarKeys> ModelWarps() {
    return {{{0, 0}, {1, 0.5}},
            {{0, 0}, {0.4, 0.8}, {0.9, 0.8}, {1.5, 1.5}},
            {{0, 0}, {3, 2.4}},
            {{0, 0}, {0.6, 1.2}, {1.6, 0.3}},
            {{0, 0}, {2, 2}}};
}

// Warps that start late (not at 0 s), one of them also ending after the take's stop, and one of one
// key, which holds the take at one time.
inline std::vector<ScalarKeys> ModelLateWarps() { return {{{0.5, 0}, {1.7, 1.5}}, {{0.8, 0.2}, {2.6, 2.0}}, {{0.7, 0.9}}}; }

struct ModelOptions {
    int mNodes = 12;
    std::vector<EModelKind> mKinds = {eModelNull};  // drawn in turn
    bool mChain = false;         // each node below the one before (a skeleton); else a third at the top
    bool mChannelWarps = false;  // warps of a channel's own, in any arrangement (takes made in memory)
    // Warps as files hold them: channels' own (two different on a vector's channels, or one beside
    // a different one of the vector's), and a vector's written on several of its channels or on
    // them and the vector alike.
    bool mChannelWarpsInFiles = false;
    bool mLateWarps = false;  // ModelLateWarps() among the take's warps, and vectors keyed from 0 s
    bool mPreRotations = true;
    bool mLayersAndWarps = true;  // else a plain take, its keys as generated
};

class ModelGenerator {
public:
    explicit ModelGenerator(unsigned seed) : mRandom(seed) {}

    ModelTake Take(const ModelOptions& options) {
        ModelTake take;
        take.mWarps = ModelWarps();
        if (options.mLateWarps)
            for (const ScalarKeys& warp : ModelLateWarps()) take.mWarps.push_back(warp);
        const int warps = static_cast<int>(take.mWarps.size());
        for (int i = 0; i < options.mNodes; ++i) {
            ModelNode n;
            n.mName = "n" + std::to_string(i);
            n.mKind = options.mKinds[static_cast<std::size_t>(i) % options.mKinds.size()];
            if (options.mChain) {
                n.mParent = i - 1;
            } else if (i > 0 && Pick(3) != 0) {
                // Below a null, a mesh or a joint made before (the host turns cameras and lights).
                std::vector<int> parents;
                for (int p = 0; p < i; ++p) {
                    const EModelKind kind = take.mNodes[static_cast<std::size_t>(p)].mKind;
                    if (kind == eModelNull || kind == eModelMesh || kind == eModelJoint) parents.push_back(p);
                }
                if (!parents.empty()) n.mParent = parents[static_cast<std::size_t>(Pick(static_cast<int>(parents.size())))];
            }
            n.mOrder = i % 7;
            if (options.mPreRotations && Pick(2) == 0)
                for (double& angle : n.mPre) angle = Value(-170, 170);
            for (int v = 0; v < 3; ++v) n.mV[v] = Vector(v, i == 0 && v == eModelT, options, warps);
            if (n.mKind == eModelCamera || n.mKind == eModelPointLight || n.mKind == eModelSpotLight) {
                // Cameras and lights keep a scaling of 1, which the host holds in their shapes' place.
                n.mV[eModelS] = ModelVector();
                for (ModelCurve& axis : n.mV[eModelS].mAxes) axis.mDefault = 1.0;
            }
            if (options.mLayersAndWarps && Pick(10) < 3) n.mWarp = Pick(static_cast<int>(take.mWarps.size()));
            take.mNodes.push_back(n);
        }
        return take;
    }

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(mRandom); }
    // A value a float holds exactly, as curves keep them.
    double Value(double low, double high) {
        return static_cast<double>(static_cast<float>(std::uniform_real_distribution<double>(low, high)(mRandom)));
    }

private:
    // A key time: on the 1/30 s grid, on 24 frames a second, or off both.
    double KeyTime() {
        switch (Pick(3)) {
            case 0: return Pick(67) / 30.0;
            case 1: return Pick(53) / 24.0;
            default: return Pick(2200) / 1000.0 + 0.0005;
        }
    }

    ModelCurve Curve(int v, bool keyed, bool fromZero, double scale) {
        ModelCurve curve;
        const auto value = [&] { return v == eModelS ? Value(1.0 - scale, 1.0 + scale) : Value(-scale, scale); };
        curve.mDefault = value();
        if (!keyed) return curve;
        std::vector<double> times;
        if (fromZero) times.push_back(0.0);
        for (int k = 1 + Pick(3); k > 0; --k) times.push_back(KeyTime());
        std::sort(times.begin(), times.end());
        times.erase(std::unique(times.begin(), times.end()), times.end());
        for (double t : times) curve.mKeys.emplace_back(t, value());
        return curve;
    }

    ModelVector Vector(int v, bool fromZero, const ModelOptions& options, int warps) {
        static const double kScales[3] = {5.0, 170.0, 0.5};
        static const double kLayerScales[3] = {3.0, 60.0, 0.4};
        ModelVector vector;
        // At times a vector without keys, which only its layers (or nothing) move; among late warps
        // at times one keyed from 0 s, which moves while warps read it early.
        const bool still = !fromZero && Pick(6) == 0;
        const bool early = fromZero || (options.mLateWarps && Pick(3) == 0);
        for (int a = 0; a < 3; ++a) vector.mAxes[a] = Curve(v, !still && Pick(5) != 0, early && a == 0, kScales[v]);
        if (!options.mLayersAndWarps) return vector;
        const int layers = Pick(20) < 10 ? 0 : Pick(20) < 14 ? 1 : 2;
        for (int l = 0; l < layers; ++l) {
            ModelLayer layer;
            // One, two or three channels, in any mix.
            const int held = 1 + Pick(7);
            for (int a = 0; a < 3; ++a) {
                layer.mHas[a] = (held >> a) & 1;
                if (layer.mHas[a]) layer.mAxes[a] = Curve(v, Pick(10) < 7, false, kLayerScales[v]);
            }
            vector.mLayers.push_back(layer);
        }
        if (Pick(4) == 0) {
            vector.mWarp = Pick(warps);
            if (Pick(2) == 0) vector.mWarpAxis = Pick(3);
        }
        if (options.mChannelWarps)
            for (int a = 0; a < 3; ++a)
                if (Pick(5) == 0) vector.mAxisWarp[a] = Pick(warps);
        if (options.mChannelWarpsInFiles) FileWarps(vector, warps);
        return vector;
    }

    // Warps of a vector's channels arranged as files hold them, at times; or its warp written on
    // several of its channels, or on them and the vector alike.
    void FileWarps(ModelVector& vector, int warps) {
        switch (Pick(3)) {
            case 0: {
                // A channel's own beside a different one: another channel's, or the vector's.
                vector.mWarpAxis = -1;
                const int a = Pick(3);
                vector.mAxisWarp[a] = Pick(warps);
                if (vector.mWarp >= 0 && Pick(2) == 0) {
                    if (vector.mAxisWarp[a] == vector.mWarp) vector.mAxisWarp[a] = (vector.mWarp + 1) % warps;
                    break;
                }
                const int b = (a + 1 + Pick(2)) % 3;
                vector.mAxisWarp[b] = Pick(warps);
                // The same on both beside none of the vector's or the same is the vector's.
                if (vector.mAxisWarp[b] == vector.mAxisWarp[a] && (vector.mWarp < 0 || vector.mWarp == vector.mAxisWarp[a]))
                    vector.mAxisWarp[b] = (vector.mAxisWarp[a] + 1) % warps;
                break;
            }
            case 1:
                if (vector.mWarp < 0) vector.mWarp = Pick(warps);
                vector.mWarpAlso = 1u + static_cast<unsigned>(Pick(15));
                break;
            default:
                break;
        }
    }

    std::mt19937 mRandom;
};

// ---- As a file's field text --------------------------------------------------------------------

// Key times in ticks as the file holds them.
inline long long ModelTicks(double seconds) { return std::llround(seconds * static_cast<double>(kFieldTicksPerSecond)); }

inline std::string ModelChannelField(const char* name, const ModelCurve& curve, const std::string& rest = "") {
    std::string text = "Channel: \"" + std::string(name) + "\" {;Default: " + FieldNumber(curve.mDefault) + ";";
    if (!curve.mKeys.empty()) {
        text += "KeyVer: 4004;KeyCount: " + std::to_string(curve.mKeys.size()) + ";Key: ";
        for (std::size_t i = 0; i < curve.mKeys.size(); ++i)
            text += (i ? "," : "") + std::to_string(ModelTicks(curve.mKeys[i].first)) + "," +
                    FieldNumber(curve.mKeys[i].second) + ",L";
        text += ";";
    }
    return text + rest + "};";
}

// Warp numbers in the file count from 1.
inline std::string ModelWarpId(int warp) { return "TimeWarpID: " + std::to_string(warp + 1) + ";"; }

inline std::string ModelVectorField(const char* name, const ModelVector& v) {
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    std::string text = "Channel: \"" + std::string(name) + "\" {;";
    for (int a = 0; a < 3; ++a) {
        const bool vectors = v.mWarp >= 0 && (v.mWarpAxis == a || (v.mWarpAlso >> a & 1u) != 0);
        text += ModelChannelField(kAxes[a], v.mAxes[a],
                                  vectors ? ModelWarpId(v.mWarp) : v.mAxisWarp[a] >= 0 ? ModelWarpId(v.mAxisWarp[a]) : "");
    }
    // Each layer in the block of the one below it.
    std::string layers;
    for (std::size_t l = v.mLayers.size(); l-- > 0;) {
        std::string channels;
        for (int a = 0; a < 3; ++a)
            if (v.mLayers[l].mHas[a]) channels += ModelChannelField(kAxes[a], v.mLayers[l].mAxes[a]);
        layers = "LayerChannel: \"" + std::string(name) + "\" {;LayerID: " + std::to_string(l + 1) + ";" + channels +
                 layers + "};";
    }
    text += layers;
    if (v.mWarp >= 0 && (v.mWarpAxis < 0 || (v.mWarpAlso & 8u) != 0)) text += ModelWarpId(v.mWarp);
    return text + "};";
}

// The "Takes" field of a take "Take 001" from 0 to the stop, holding the warps and every node.
inline std::string ModelTakesField(const ModelTake& take) {
    std::string text = "Takes: {;Current: \"Take 001\";Take: \"Take 001\" {;FileName: \"Take_001.tak\";LocalTime: 0," +
                       std::to_string(ModelTicks(take.mStop)) + ";ReferenceTime: 0," +
                       std::to_string(ModelTicks(take.mStop)) + ";TimeWarps: {;Version: 100;";
    for (std::size_t w = 0; w < take.mWarps.size(); ++w) {
        ModelCurve curve;
        curve.mKeys = take.mWarps[w];
        text += "TW: " + std::to_string(w + 1) + " {;" + ModelChannelField("W", curve) + "};";
    }
    text += "};";
    for (const ModelNode& n : take.mNodes) {
        text += "Model: \"Model::" + n.mName + "\" {;Version: 1.1;Channel: \"Transform\" {;" +
                ModelVectorField("T", n.mV[eModelT]) + ModelVectorField("R", n.mV[eModelR]) +
                ModelVectorField("S", n.mV[eModelS]) + (n.mWarp >= 0 ? ModelWarpId(n.mWarp) : "") + "};};";
    }
    return text + "};};";
}

// Models of the take's nodes (joints as skeletons, the rest as nulls) with their rotation orders
// and pre-rotations, in their tree, then the take: a whole main section.
inline std::string ModelSceneFields(const ModelTake& take) {
    std::string objects, connections;
    for (const ModelNode& n : take.mNodes) {
        const std::string model = "\"Model::" + n.mName + "\"";
        const std::string type = n.mKind != eModelJoint ? "Null" : n.mParent < 0 ? "Root" : "LimbNode";
        objects += "Model: " + model + ", \"Null\" {;Version: 232;Properties60: {;Property: \"RotationOrder\",\"Enum\",\"\"," +
                   std::to_string(n.mOrder) + ";Property: \"PreRotation\",\"Vector\",\"\"," + FieldNumber(n.mPre[0]) +
                   "," + FieldNumber(n.mPre[1]) + "," + FieldNumber(n.mPre[2]) +
                   ";Property: \"RotationActive\",\"Bool\",\"\",1;};Type: \"" + type + "\";};";
        const std::string parent =
            n.mParent < 0 ? "\"Model::Scene\"" : "\"Model::" + take.mNodes[static_cast<std::size_t>(n.mParent)].mName + "\"";
        connections += "Connect: \"OO\", " + model + ", " + parent + ";";
    }
    return "Definitions: {;ObjectType: \"Model\";};Objects: {;" + objects + "};Connections: {;" + connections + "};" +
           ModelTakesField(take);
}

// What the generated take holds, for names and for checks that the seeds reach every kind.
inline std::vector<std::string> ModelKinds(const ModelTake& take) {
    std::vector<std::string> kinds;
    static const char* const kVectors[3] = {"translation", "rotation", "scaling"};
    for (const ModelNode& n : take.mNodes) {
        kinds.push_back("order " + std::to_string(n.mOrder));
        if (n.mWarp >= 0) kinds.push_back("warped transform");
        for (int v = 0; v < 3; ++v) {
            const ModelVector& vector = n.mV[v];
            if (vector.mWarp >= 0) kinds.push_back(std::string("warped ") + kVectors[v] + (vector.mWarpAxis >= 0 ? " (on a channel)" : ""));
            if (vector.mWarp >= 0 && n.mWarp >= 0) kinds.push_back("composed warps");
            // A key of the vector's warp that the transform's reaches off the grid, while the vector
            // moves there: a kink only a sample at it keeps.
            const ModelBakeSpan span = take.Span(n, v);
            if (vector.mWarp >= 0 && n.mWarp >= 0 && !span.mConstant)
                for (const auto& key : take.mWarps[static_cast<std::size_t>(vector.mWarp)])
                    for (double t : take.Reaching({n.mWarp}, 1, {key.first})) {
                        const double frames = t * 30.0;
                        if (std::fabs(frames - std::round(frames)) < 1e-7 || t <= span.mStart || t >= span.mStop) continue;
                        const double at = At(take.mWarps[static_cast<std::size_t>(vector.mWarp)], key.first);
                        for (int a = 0; a < 3; ++a) {
                            const ScalarKeys& keys = vector.mAxes[a].mKeys;
                            if (keys.size() > 1 && keys.front().first < at && at < keys.back().first)
                                kinds.push_back("kink off the grid where the take moves");
                        }
                    }
            int own = 0;
            for (int a = 0; a < 3; ++a) own += vector.mAxisWarp[a] >= 0;
            if (own > 0) kinds.push_back(vector.mWarp >= 0 ? "channel warp under its vector's" : "channel warp");
            if (own > 1) kinds.push_back("two channel warps");
            if (vector.mWarp >= 0) {
                const bool onVector = vector.mWarpAxis < 0 || (vector.mWarpAlso & 8u) != 0;
                int onAxes = vector.mWarpAxis >= 0;
                for (int a = 0; a < 3; ++a) onAxes += a != vector.mWarpAxis && (vector.mWarpAlso >> a & 1u) != 0;
                if (onVector && onAxes > 0) kinds.push_back("vector warp on it and a channel");
                if (!onVector && onAxes > 1) kinds.push_back("vector warp on channels");
            }
            std::vector<int> used = {n.mWarp, vector.mWarp};
            used.insert(used.end(), vector.mAxisWarp, vector.mAxisWarp + 3);
            for (int w : used) {
                if (w < 0) continue;
                const ScalarKeys& keys = take.mWarps[static_cast<std::size_t>(w)];
                if (keys.size() == 1) kinds.push_back("warp of one key");
                if (keys.front().first > 0.0) kinds.push_back("warp starting late");
            }
            if (vector.mLayers.size() > 1) kinds.push_back("two layers");
            for (const ModelLayer& layer : vector.mLayers) {
                const int held = layer.mHas[0] + layer.mHas[1] + layer.mHas[2];
                kinds.push_back(std::string(kVectors[v]) + " layer of " + std::to_string(held));
                for (int a = 0; a < 3; ++a)
                    if (layer.mHas[a] && layer.mAxes[a].mKeys.empty()) kinds.push_back("constant layer");
                if ((n.mWarp >= 0 || vector.mWarp >= 0)) kinds.push_back("layer under a warp");
                bool keyed = false;
                for (int a = 0; a < 3; ++a) keyed = keyed || !vector.mAxes[a].mKeys.empty() || !layer.mAxes[a].mKeys.empty();
                if (!keyed) kinds.push_back("constant layer over a vector without keys");
            }
            for (int a = 0; a < 3; ++a)
                for (const auto& key : vector.mAxes[a].mKeys) {
                    const double frames = key.first * 30.0, film = key.first * 24.0;
                    if (std::fabs(frames - std::round(frames)) > 1e-9)
                        kinds.push_back(std::fabs(film - std::round(film)) < 1e-9 ? "key at 24 a second" : "key off the grid");
                }
        }
    }
    std::sort(kinds.begin(), kinds.end());
    kinds.erase(std::unique(kinds.begin(), kinds.end()), kinds.end());
    return kinds;
}

}  // namespace zeqtest

#endif
