#ifndef ZEQ_SCENE_TESTS_KFILETAKELAYERS_SUPPORT_H
#define ZEQ_SCENE_TESTS_KFILETAKELAYERS_SUPPORT_H

// A take's time warps and animation layers as a Zeq file holds them, and what they mean at a time,
// written on plain doubles apart from the SDK (with kfiletransform_support.h): a time warp maps the
// take's time to the time a channel's curves (its layers with them) are read at; one on the whole
// transform reaches translation, rotation and scaling; a translation layer adds; a rotation layer
// turns first, then the base rotation, both in the node's order. No writer writes time warps:
// tests that read them make the file's records as field text, with the pieces at the end.

#include <cstddef>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "scene/tests/kfiletransform_support.h"

namespace zeqtest {

// Linear keys (seconds, value), held before the first and after the last.
using ScalarKeys = std::vector<std::pair<double, double>>;

inline double At(const ScalarKeys& keys, double t) {
    if (t <= keys.front().first) return keys.front().second;
    for (std::size_t i = 1; i < keys.size(); ++i)
        if (t <= keys[i].first) {
            const double u = (t - keys[i - 1].first) / (keys[i].first - keys[i - 1].first);
            return keys[i - 1].second + u * (keys[i].second - keys[i - 1].second);
        }
    return keys.back().second;
}

// Time warps (take time to curve time, seconds): half speed; fast then slow; and half speed over
// four seconds, so that the take plays on twice as long as its curves are keyed.
inline const std::vector<ScalarKeys>& TimeWarps() {
    static const std::vector<ScalarKeys> warps = {{{0, 0}, {1, 0.5}}, {{0, 0}, {0.5, 0.8}, {1, 1}}, {{0, 0}, {4, 2}}};
    return warps;
}

enum ETakeWarp { eNoWarp, eWarpTransform, eWarpTranslation, eWarpRotation };
enum ETakeLayers : int { eNoLayer = 0, eTranslationLayer = 1, eRotationLayer = 2 };

// What a node's take holds beside its base curves.
struct TakeLayering {
    ETakeWarp mWarpPlace = eNoWarp;
    int mWarp = 0;  // in TimeWarps()
    int mLayers = eNoLayer;
    ScalarKeys mLayerT[3], mLayerR[3];

    // The time the curves of a channel (eWarpTranslation, eWarpRotation; eNoWarp for scaling,
    // which only a warp of the whole transform reaches) are read at for take time t.
    double ChannelTime(ETakeWarp channel, double t) const {
        const bool warped = mWarpPlace == eWarpTransform || (mWarpPlace != eNoWarp && mWarpPlace == channel);
        return warped ? At(TimeWarps()[static_cast<std::size_t>(mWarp)], t) : t;
    }
};

// The values of a node at take time t: base(s) gives what its base curves hold at curve time s.
template <class Base>
FileTransformValues LayeredValues(const TakeLayering& layering, double t, const Base& base) {
    const double tt = layering.ChannelTime(eWarpTranslation, t), tr = layering.ChannelTime(eWarpRotation, t);
    FileTransformValues v = base(layering.ChannelTime(eNoWarp, t));
    const FileTransformValues translated = base(tt), turned = base(tr);
    for (int i = 0; i < 3; ++i) {
        v.t[i] = translated.t[i] + (layering.mLayers & eTranslationLayer ? At(layering.mLayerT[i], tt) : 0.0);
        v.r[i] = turned.r[i];
        v.layerRotation[i] = layering.mLayers & eRotationLayer ? At(layering.mLayerR[i], tr) : 0.0;
    }
    return v;
}

// Kinds of warps and layers, as bits: 1 << ETakeWarp for a warp there, ETakeLayers << 4 for layers.
constexpr unsigned kLayerKinds = (eTranslationLayer | eRotationLayer) << 4;

// The kinds the tests cover: a warp on the whole transform, on the translation, on the rotation;
// a translation layer; a rotation layer; both layers under a warp on the whole transform.
inline const std::vector<unsigned>& TakeLayeringKinds() {
    static const std::vector<unsigned> kinds = {1u << eWarpTransform,   1u << eWarpTranslation,
                                                1u << eWarpRotation,    eTranslationLayer << 4,
                                                eRotationLayer << 4,    kLayerKinds | 1u << eWarpTransform};
    return kinds;
}

// Generated warps and layers of the kinds asked: one of the warps asked, picked, with one of
// TimeWarps(), and the layers asked, keyed at 0, 1 and 2 s.
inline TakeLayering RandomTakeLayering(std::mt19937& random, unsigned kinds) {
    // Values a float holds exactly, as the curves keep them.
    const auto uniform = [&random](double range) {
        return static_cast<double>(static_cast<float>(range * (2.0 * (random() / 4294967296.0) - 1.0)));
    };
    TakeLayering layering;
    std::vector<ETakeWarp> warps;
    for (ETakeWarp place : {eWarpTransform, eWarpTranslation, eWarpRotation})
        if (kinds & (1u << place)) warps.push_back(place);
    if (!warps.empty()) {
        layering.mWarpPlace = warps[random() % warps.size()];
        layering.mWarp = static_cast<int>(random() % TimeWarps().size());
    }
    layering.mLayers = static_cast<int>((kinds >> 4) & (eTranslationLayer | eRotationLayer));
    for (int axis = 0; axis < 3; ++axis)
        for (double seconds : {0.0, 1.0, 2.0}) {
            layering.mLayerT[axis].emplace_back(seconds, uniform(3.0));
            layering.mLayerR[axis].emplace_back(seconds, uniform(60.0));
        }
    return layering;
}

// The kinds' names, joined, for test names.
inline std::string TakeKindsName(unsigned kinds) {
    static const char* const kNames[] = {"", "warped_transform", "warped_translation", "warped_rotation"};
    std::string name;
    for (int place = eWarpTransform; place <= eWarpRotation; ++place)
        if (kinds & (1u << place)) name += (name.empty() ? "" : "_") + std::string(kNames[place]);
    if (kinds & (eTranslationLayer << 4)) name += name.empty() ? "translation_layer" : "_translation_layer";
    if (kinds & (eRotationLayer << 4)) name += name.empty() ? "rotation_layer" : "_rotation_layer";
    return name.empty() ? "plain" : name;
}

// ---- As a file's field text ------------------------------------------------------------------

constexpr long long kFieldTicksPerSecond = 46186158000LL;

inline std::string FieldNumber(double value) {
    std::ostringstream text;
    text.precision(9);
    text << value;
    return text.str();
}

// A channel of linear keys (times on sixths of a second, in exact ticks).
inline std::string ChannelField(const char* name, const ScalarKeys& keys) {
    std::string text = "Channel: \"" + std::string(name) + "\" {;Default: " + FieldNumber(keys.front().second) +
                       ";KeyVer: 4004;KeyCount: " + std::to_string(keys.size()) + ";Key: ";
    for (std::size_t i = 0; i < keys.size(); ++i)
        text += (i ? "," : "") +
                std::to_string(static_cast<long long>(keys[i].first * 6) * (kFieldTicksPerSecond / 6)) + "," +
                FieldNumber(keys[i].second) + ",L";
    return text + ";};";
}

// A channel of X, Y and Z channels, then rest.
inline std::string VectorField(const char* name, const ScalarKeys (&keys)[3], const std::string& rest) {
    return "Channel: \"" + std::string(name) + "\" {;" + ChannelField("X", keys[0]) + ChannelField("Y", keys[1]) +
           ChannelField("Z", keys[2]) + rest + "};";
}

inline std::string LayerField(const char* name, const ScalarKeys (&keys)[3]) {
    return "LayerChannel: \"" + std::string(name) + "\" {;LayerID: 1;" + ChannelField("X", keys[0]) +
           ChannelField("Y", keys[1]) + ChannelField("Z", keys[2]) + "};";
}

// A take's "TimeWarps" block: TimeWarps(), numbered from 1.
inline std::string TimeWarpsField() {
    std::string text = "TimeWarps: {;Version: 100;";
    for (std::size_t w = 0; w < TimeWarps().size(); ++w)
        text += "TW: " + std::to_string(w + 1) + " {;" + ChannelField("W", TimeWarps()[w]) + "};";
    return text + "};";
}

// A model's record in a take: its translation and rotation channels with the layering's layers
// and time warp (named by its number in TimeWarpsField).
inline std::string TakeModelField(const std::string& model, const ScalarKeys (&t)[3], const ScalarKeys (&r)[3],
                                  const TakeLayering& layering) {
    const std::string id = "TimeWarpID: " + std::to_string(layering.mWarp + 1) + ";";
    const auto warp = [&](ETakeWarp place) { return layering.mWarpPlace == place ? id : std::string(); };
    const std::string translation =
        VectorField("T", t, (layering.mLayers & eTranslationLayer ? LayerField("T", layering.mLayerT) : "") +
                                warp(eWarpTranslation));
    const std::string rotation =
        VectorField("R", r, (layering.mLayers & eRotationLayer ? LayerField("R", layering.mLayerR) : "") +
                                warp(eWarpRotation));
    return "Model: " + model + " {;Version: 1.1;Channel: \"Transform\" {;" + translation + rotation +
           warp(eWarpTransform) + "};};";
}

}  // namespace zeqtest

#endif
