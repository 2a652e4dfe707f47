// Plotting layered, time-warped animation into plain keys: the sampling loop
// (regular grid, plus the layers' key times in smart mode), solving for a
// destination layer, and the post-steps that write the result and zero or
// remove the merged layers.
#include "fcurve/kfcurveplot.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurveplotvalues.h"

namespace zeqsdk_400 {

namespace {

constexpr kLongLong kTicksPerSecond = KTime::kTicksPerSecond;

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDestroyer>;

struct CurveDestroyer {
    void operator()(KFCurve* curve) const { curve->Destroy(); }
};
using CurvePtr = std::unique_ptr<KFCurve, CurveDestroyer>;

// A plot cannot hold more samples per curve than this (a curve counts its
// keys in an int, and smart mode adds samples around each key).
constexpr kULongLong kMaxGridSamples = INT_MAX / 4;

KTime AddSaturated(KTime t, KTime d) {
    const kLongLong a = t.Get(), b = d.Get();
    if (b > 0 && a > KTime::kInfiniteTicks - b) return KTime::Infinite();
    if (b < 0 && a < KTime::kMinusInfiniteTicks - b) return KTime::MinusInfinite();
    return KTime(a + b);
}

KTime SubtractSaturated(KTime t, KTime d) {
    const kLongLong a = t.Get(), b = d.Get();
    if (b < 0 && a > KTime::kInfiniteTicks + b) return KTime::Infinite();
    if (b > 0 && a < KTime::kMinusInfiniteTicks + b) return KTime::MinusInfinite();
    return KTime(a - b);
}

// K shifted by offset; the largest time stays the largest time.
KTime AroundKey(KTime key, KTime offset, bool after) {
    if (key == KTime::Infinite()) return key;
    return after ? AddSaturated(key, offset) : SubtractSaturated(key, offset);
}

// The channel curves of a plot, one per channel: the node's own curve for a
// node without children, else each child's curve.
int ChannelCount(const KFCurveNode* node) { return node->GetCount() == 0 ? 1 : node->GetCount(); }

KFCurveNode* ChannelNode(KFCurveNode* node, int channel) {
    return node->GetCount() == 0 ? (channel == 0 ? node : nullptr) : node->Get(channel);
}

// The layer of that id, found by walking the chain in id order.
KFCurveNode* FindLayer(KFCurveNode* node, int id) {
    for (KFCurveNode* layer = node; layer; layer = layer->LayerGet()) {
        if (layer->GetLayerID() == id) return layer;
        if (layer->GetLayerID() > id) return nullptr;
    }
    return nullptr;
}

// Whether the destination layer exists or can be made in its place: the
// chain must reach an id at or above it, and a missing layer can only be
// created above the node on a multi-layer node.
bool DestinationReachable(KFCurveNode* node, int id) {
    KFCurveNode* layer = node;
    while (layer && layer->GetLayerID() < id) layer = layer->LayerGet();
    if (!layer) return false;
    if (layer->GetLayerID() == id) return true;
    return node->IsMultiLayer() && id > node->GetLayerID();
}

KFCurveNode* FindOrCreateDestination(KFCurveNode* node, int id) {
    KFCurveNode* layer = FindLayer(node, id);
    if (!layer) {
        node->CreateLayerAt(id);
        layer = FindLayer(node, id);
    }
    return layer;
}

// The merged layers the zeroing flag treats, in order.
std::vector<KFCurveNode*> LayersToZero(KFCurveNode* node, KArrayTemplate<int>* layers, int destination,
                                       bool spareDestination) {
    std::vector<KFCurveNode*> treated;
    auto keep = [&](KFCurveNode* layer) {
        if (layer && !(spareDestination && layer->GetLayerID() == destination)) treated.push_back(layer);
    };
    if (!layers) {
        for (KFCurveNode* layer = node; layer; layer = layer->LayerGet()) keep(layer);
    } else {
        for (int i = 0; i < layers->GetCount(); ++i) keep(FindLayer(node, (*layers)[i]));
    }
    return treated;
}

// Sets each channel of the layers to its neutral value over [start, stop].
void ZeroLayers(const std::vector<KFCurveNode*>& treated, KTime start, KTime stop) {
    CurvePtr neutral(KFCurveCreate());
    std::vector<double> zero;
    for (KFCurveNode* layer : treated) {
        const int count = KFCurve_GetLayerValueCount(layer);
        zero.assign(static_cast<std::size_t>(std::max(count, 1)), 0.0);
        layer->GetZeroValues(zero.data(), count);
        const int own = layer->FCurveGet() ? 1 : 0;
        for (int c = 0; c < ChannelCount(layer); ++c) {
            KFCurveNode* channel = ChannelNode(layer, c);
            KFCurve* curve = channel ? channel->FCurveGet() : nullptr;
            if (!curve) continue;
            const double value = layer->GetCount() == 0 ? zero[0] : zero[static_cast<std::size_t>(own + c)];
            neutral->SetValue(static_cast<float>(value));
            neutral->CandidateSet(KTime(0), value);
            curve->Replace(neutral.get(), start, stop, false, true);
        }
    }
}

// Removes the listed layers; the base layer only loses its keys.
void RemoveLayers(KFCurveNode* node, KArrayTemplate<int>& layers, int destination, bool spareDestination) {
    for (int i = 0; i < layers.GetCount(); ++i) {
        const int id = layers[i];
        KFCurveNode* layer = FindLayer(node, id);
        if (!layer || (spareDestination && id == destination)) continue;
        if (id == 0) {
            for (int c = 0; c < ChannelCount(layer); ++c) {
                KFCurveNode* channel = ChannelNode(layer, c);
                if (KFCurve* curve = channel ? channel->FCurveGet() : nullptr) curve->KeyClear();
            }
        } else if (layer != node) {
            node->RemoveLayer(id, true);
        }
    }
}

// The state of one plot: the node's layer chain, value buffers sized for
// every layer, and the sparse and full result trees.
class Plotter {
public:
    Plotter(KFCurveNode* node, KArrayTemplate<int>* layers, int destination, KFCurveNode* target,
            KFCurveNode* timeWarp, const KSmartPlotOptions* options)
        : mNode(node),
          mLayers(layers),
          mDestination(destination),
          mTarget(target),
          mTimeWarp(timeWarp),
          mOptions(options),
          mSmart(options && options->mSmartPlot),
          mOwn(node->FCurveGet() ? 1 : 0),
          mChildren(node->GetCount()) {
        for (KFCurveNode* layer = node; layer; layer = layer->LayerGet()) mChain.push_back(layer);
        mValueCount = KFCurve_GetLayerValueCount(node);
        int capacity = plot::ChainCapacity(node);
        if (target) capacity = std::max(capacity, target->GetChannelCount());
        mCapacity = capacity;
        mValues.assign(static_cast<std::size_t>(capacity), 0.0);
        mScratch.assign(static_cast<std::size_t>(capacity), 0.0);
        mTargetValues.assign(static_cast<std::size_t>(capacity), 0.0);
        mPrevious.assign(static_cast<std::size_t>(capacity), 0.0);
        if (capacity >= 4) mPrevious[3] = 1.0;
        mHintStride = capacity;
        mHints.assign(mChain.size() * static_cast<std::size_t>(capacity), 0);
        if (target) KFCurve_PrepareForSolving(node, layers, destination, mBelow, mAbove);

        mFull.reset(node->CloneTemplate(false, false, false, -1));
        mFull->CreateFCurve();
        if (mSmart) {
            mSparse.reset(node->CloneTemplate(false, false, false, -1));
            mSparse->CreateFCurve();
            mInfos.resize(mChain.size());
            for (std::size_t l = 0; l < mChain.size(); ++l) {
                KFCurveNode* layer = mChain[l];
                const int children = layer->GetCount();
                if (children == 0) {
                    mInfos[l][0].mCurve = layer->FCurveGet();
                } else if (children <= 4) {
                    for (int c = 0; c < children; ++c) mInfos[l][static_cast<std::size_t>(c)].mCurve = layer->Get(c)->FCurveGet();
                }
                mInfoRows.push_back(mInfos[l].data());
            }
        }
        if (mChildren == 0) {
            mChannels.Add(0);
        } else {
            for (int c = 0; c < mChildren; ++c) mChannels.Add(c);
        }
    }

    void Run(KTime start, KTime stop, KTime period) {
        const KTime offset = mOptions ? mOptions->mSampleOffset : KTime(0);
        KTime grid = start;
        KTime previous = SubtractSaturated(start, offset);
        KTime key = start;
        KTime beforeKey = AroundKey(key, offset, false);
        KTime afterKey = AroundKey(key, offset, true);
        for (;;) {
            KTime sample = grid;
            if (mSmart) {
                for (KTime candidate : {beforeKey, key, afterKey}) {
                    if (candidate > previous && candidate < grid) {
                        sample = candidate;
                        break;
                    }
                }
            }
            if (sample > stop) break;

            Sample(sample, mSmart && sample == key);

            if (mSmart) {
                if (sample >= key) {
                    key = GetNextSmartPlotTime(&sample, mInfoRows.data(), static_cast<int>(mInfoRows.size()), &mChannels);
                    beforeKey = AroundKey(key, offset, false);
                }
                if (sample >= afterKey) afterKey = AroundKey(key, offset, true);
            }
            if (sample >= grid) {
                // The grid ends where the time line does.
                if (grid.Get() > KTime::kInfiniteTicks - period.Get()) break;
                grid += period;
            }
            previous = sample;
        }

        if (mSmart) {
            if (mOptions->mBreakTangents)
                KFCURVE_BreakTangents(mSparse.get(), mFull.get(), mOptions->mSampleOffset, mOptions->mTangentTolerance);
            if (mOptions->mIncreaseFidelity)
                KFCURVE_IncreaseFidelity(mSparse.get(), mFull.get(), mOptions->mFidelityTolerance,
                                         mOptions->mFidelitySubdivisions, mOptions->mFidelityBreakTangents,
                                         mOptions->mSampleOffset, mOptions->mTangentTolerance);
        }
    }

    // The plotted curves, one per channel (null where a channel has none),
    // taken out of their tree.
    std::vector<CurvePtr> TakeCurves() {
        KFCurveNode* source = mSmart && !mOptions->mKeepAllSamples ? mSparse.get() : mFull.get();
        std::vector<CurvePtr> curves;
        for (int c = 0; c < ChannelCount(source); ++c) {
            KFCurveNode* channel = ChannelNode(source, c);
            KFCurve* curve = channel ? channel->FCurveGet() : nullptr;
            if (curve) channel->FCurveSet(nullptr, false);
            curves.emplace_back(curve);
        }
        return curves;
    }

private:
    void Sample(KTime sample, bool atKey) {
        const KTime time = KFCurveNodeWarpTime(mTimeWarp, sample);
        double* values = mValues.data();
        if (!mTarget) {
            mNode->GetZeroValues(values, mCapacity);
            plot::EvaluateInLayers(mNode, values, mScratch.data(), time, mLayers, 0, mHints.data(), mHintStride,
                                   nullptr);
        } else {
            std::fill(mTargetValues.begin(), mTargetValues.end(), 0.0);
            mTarget->Evaluate(mTargetValues.data(), time, &mTargetHint);
            KFCurve_CandidateSolveInLayers(mNode, values, mTargetValues.data(), time, mBelow, mAbove, mDestination,
                                           &mSolveHint, mPrevious.data());
            std::copy(mValues.begin(), mValues.end(), mPrevious.begin());
        }

        if (mChildren == 0) {
            if (KFCurve* curve = mFull->FCurveGet()) curve->KeyAppendFast(sample, static_cast<float>(values[0]));
            if (atKey)
                if (KFCurve* curve = mSparse->FCurveGet()) curve->KeyAppendFast(sample, static_cast<float>(values[0]));
            return;
        }
        if (!mTarget && mFull->GetLayerType() == KFCL_EULER_XYZ)
            mFull->GetContinuousRotation(values + mOwn, values + mOwn, sample);
        if (atKey) {
            for (int i = 0; i < mChannels.GetCount(); ++i) {
                const int c = mChannels[i];
                if (c < 0 || c >= mChildren || mOwn + c >= mValueCount) continue;
                KFCurveNode* channel = mSparse->Get(c);
                if (KFCurve* curve = channel ? channel->FCurveGet() : nullptr)
                    curve->KeyAppendFast(sample, static_cast<float>(values[mOwn + c]));
            }
        }
        mFull->KeyAppend(sample, values, false);
    }

    KFCurveNode* mNode;
    KArrayTemplate<int>* mLayers;
    int mDestination;
    KFCurveNode* mTarget;
    KFCurveNode* mTimeWarp;
    const KSmartPlotOptions* mOptions;
    bool mSmart;
    int mOwn;
    int mChildren;
    int mValueCount = 0;
    int mCapacity = 0;
    std::vector<KFCurveNode*> mChain;
    std::vector<double> mValues, mScratch, mTargetValues, mPrevious;
    std::vector<int> mHints;
    int mHintStride = 0;
    int mTargetHint = 0;
    int mSolveHint = 0;
    KArrayTemplate<KFCurveNode*> mBelow, mAbove;
    std::vector<std::array<KFCurveSmartMergeInfos, 4>> mInfos;
    std::vector<KFCurveSmartMergeInfos*> mInfoRows;
    KArrayTemplate<int> mChannels;
    NodePtr mFull, mSparse;
};

}  // namespace

KSmartPlotOptions::KSmartPlotOptions()
    : mSmartPlot(false),
      mBreakTangents(true),
      mTangentTolerance(1.0),
      mSampleOffset(kTicksPerSecond / 120),
      mIncreaseFidelity(true),
      mFidelityTolerance(0.25),
      mFidelityBreakTangents(true),
      mFidelitySubdivisions(2),
      mKeepAllSamples(false) {}

KMergeLayerOptions::KMergeLayerOptions() : mTimeSpan(KTimeSpan::Infinite()), mPlotPeriod(kTicksPerSecond / 30) {}

KTime GetNextSmartPlotTime(KTime* time, KFCurveSmartMergeInfos** infos, int layerCount,
                           KArrayTemplate<int>* channels) {
    KTime best = KTime::Infinite();
    if (!time || !infos) return best;
    const KTime now = *time;
    for (int l = 0; l < layerCount; ++l) {
        KFCurveSmartMergeInfos* row = infos[l];
        if (!row) continue;
        for (int c = 0; c < 4; ++c) {
            KFCurveSmartMergeInfos& info = row[c];
            if (!info.mCurve || info.mKeyIndex < 0 || info.mKeyIndex >= info.mCurve->KeyGetCount()) continue;
            KTime found = info.mCurve->KeyGetPtr(info.mKeyIndex)->GetTime();
            if (found <= now) {
                // One key per call: keys left behind are passed on later calls.
                if (++info.mKeyIndex >= info.mCurve->KeyGetCount()) continue;
                found = info.mCurve->KeyGetPtr(info.mKeyIndex)->GetTime();
            }
            if (found < best) {
                best = found;
                if (channels) {
                    channels->SetCount(0);
                    channels->Add(c);
                }
            } else if (found == best && channels && channels->Find(c) < 0) {
                channels->Add(c);
            }
        }
    }
    return best;
}

bool KFCurve_PlotInLayers(KFCurveNode* node, KArrayTemplate<int>* layers, int destinationLayerId,
                          unsigned int flags, KTime start, KTime stop, KTime period, KFCurveNode* result,
                          KFCurveNode* target, bool applyTimeWarp, KSmartPlotOptions* options, KError* error) {
    auto fail = [error](int id, const char* text) {
        if (error) error->SetLastError(id, text);
        return false;
    };
    if (!node || (node->GetCount() == 0 && !node->FCurveGet()))
        return fail(KFCURVE_PLOT_ERROR_BAD_ARGUMENT, "Nothing to plot: the node has no channel");
    if (period <= KTime(0) || stop < start)
        return fail(KFCURVE_PLOT_ERROR_BAD_ARGUMENT, "Nothing to plot: the span or the period is empty");
    const kULongLong span = static_cast<kULongLong>(stop.Get()) - static_cast<kULongLong>(start.Get());
    if (span / static_cast<kULongLong>(period.Get()) >= kMaxGridSamples)
        return fail(KFCURVE_PLOT_ERROR_BAD_ARGUMENT, "Nothing to plot: too many samples for the span and period");

    const bool splice = (flags & KFCURVE_PLOT_SPLICE_INTO_DESTINATION) != 0;
    const bool replace = !splice && (flags & KFCURVE_PLOT_REPLACE_DESTINATION) != 0;
    // Checked before anything changes, so that a missing destination never
    // leaves the merged layers removed and the result nowhere.
    if ((splice || replace) && !DestinationReachable(node, destinationLayerId))
        return fail(KFCURVE_PLOT_ERROR_NO_DESTINATION_LAYER,
                    "Destination layer not found: its id is beyond every layer of the node");

    KFCurveNode* timeWarp = applyTimeWarp ? node->TimeWarpGet() : nullptr;
    std::vector<CurvePtr> plotted;
    {
        Plotter plotter(node, layers, destinationLayerId, target, timeWarp, options);
        plotter.Run(start, stop, period);
        plotted = plotter.TakeCurves();
    }

    const bool spareDestination = splice || replace;
    if (flags & KFCURVE_PLOT_ZERO_MERGED_LAYERS) {
        ZeroLayers(LayersToZero(node, layers, destinationLayerId, spareDestination), start, stop);
    } else if ((flags & KFCURVE_PLOT_REMOVE_MERGED_LAYERS) && layers) {
        RemoveLayers(node, *layers, destinationLayerId, splice);
    }

    if (result) {
        // The destination takes the plotted curves themselves; the result
        // node then gets copies, so that no curve has two owners.
        for (int c = 0; c < ChannelCount(result) && c < static_cast<int>(plotted.size()); ++c) {
            KFCurveNode* channel = ChannelNode(result, c);
            if (!channel || !plotted[static_cast<std::size_t>(c)]) continue;
            KFCurve* curve = plotted[static_cast<std::size_t>(c)].get();
            if (spareDestination)
                channel->FCurveReplace(curve->Copy());
            else
                channel->FCurveReplace(plotted[static_cast<std::size_t>(c)].release());
        }
    }

    if (!spareDestination) return true;
    KFCurveNode* destination = FindOrCreateDestination(node, destinationLayerId);
    if (!destination)
        return fail(KFCURVE_PLOT_ERROR_NO_DESTINATION_LAYER, "Destination layer not found: it could not be created");

    if (replace) {
        for (int c = 0; c < ChannelCount(destination) && c < static_cast<int>(plotted.size()); ++c) {
            KFCurveNode* channel = ChannelNode(destination, c);
            CurvePtr& curve = plotted[static_cast<std::size_t>(c)];
            if (!channel || !curve) continue;
            if (KFCurve* old = channel->FCurveGet()) {
                curve->SetColor(old->GetColor());
                curve->SetWasData(old->GetWasData());
                curve->SetSelected(old->GetSelected());
            }
            channel->FCurveReplace(curve.release());
        }
        return true;
    }

    NodePtr clone(destination->CloneTemplate(false, false, false, -1));
    for (int c = 0; c < ChannelCount(clone.get()) && c < static_cast<int>(plotted.size()); ++c) {
        KFCurveNode* channel = ChannelNode(clone.get(), c);
        if (channel && plotted[static_cast<std::size_t>(c)])
            channel->FCurveSet(plotted[static_cast<std::size_t>(c)].release(), false);
    }
    destination->Replace(clone.get(), start, stop, false, true);
    return true;
}

}  // namespace zeqsdk_400
