// The value algebra of curve-node layers (compose and invert by layer type),
// the split of a layer chain around a destination layer, solving one sample
// for the destination layer, and evaluating through the layers.
//
// A layer's values are laid out as the node's own curve's value (when it has
// one) followed by one value per child. The rotation types combine the
// channels after the own value; the own value itself, which no rotation
// stands for, is combined additively so that composing and inverting agree.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurveplot.h"
#include "fcurve/kfcurveplotvalues.h"

namespace zeqsdk_400 {

namespace {

int OwnCount(const KFCurveNode* node) { return node->FCurveGet() ? 1 : 0; }

// The Euler rotation of a layer node: its own rotation order, so that a plot
// composes layers as the node's evaluation does.
KVXRotationOrder RotationOrderOf(const KFCurveNode* layer) { return KVXRotationOrder(layer->GetRotationOrder()); }

void EulerToMatrix(KgeRMatrix& m, const KVXRotationOrder& order, const double* angles) {
    order.V2M(m, KgeRVector(angles[0], angles[1], angles[2]));
}

void MatrixToEuler(double* angles, const KVXRotationOrder& order, const KgeRMatrix& m) {
    KgeRVector v;
    order.M2V(v, m);
    std::memcpy(angles, v.mData, sizeof(v.mData));
}

// The axis row of an Euler order for continuity; null for spheric XYZ.
const int* ContinuityAxisOf(int order) {
    if (order == KVXRotationOrder::eSphericXYZ) return nullptr;
    if (order < 0 || order >= KM_EULER_ORDER_COUNT) order = 0;
    return &KmEulerAxis[order * 3];
}

// A multiplicative quotient that a key can hold; anything else has no
// meaningful value and leaves the channel neutral.
bool IsStorable(double value) { return std::isfinite(value) && std::isfinite(static_cast<float>(value)); }

}  // namespace

// ---- Channels ------------------------------------------------------------------------

int KFCurve_GetLayerValueCount(const KFCurveNode* node) {
    if (!node) return 0;
    const int children = node->GetCount();
    return OwnCount(node) + (node->GetLayerType() == KFCL_QUAT ? std::max(children, 4) : children);
}

namespace plot {

void EvaluateLayer(const KFCurveNode* layout, KFCurveNode* layer, double* out, KTime time, int* hints,
                   int* sharedHint) {
    const int count = KFCurve_GetLayerValueCount(layout);
    layout->GetZeroValues(out, count);
    const int own = OwnCount(layout);
    const int children = layout->GetCount();
    // The layer's channels of the layout's names, found once for all samples.
    KFCurveNode* const* channels = layer != layout ? layout->LayerChannelsOf(layer) : nullptr;
    for (int i = 0; i < count; ++i) {
        KFCurve* curve = nullptr;
        if (i < own) {
            curve = layer->FCurveGet();
        } else {
            // A quaternion's fourth value past the children it has is taken where it stands.
            const KFCurveNode* held = channels && i - own < children ? channels[i - own] : layer->Get(i - own);
            curve = held ? held->FCurveGet() : nullptr;
        }
        // Channels without a curve keep the layer type's neutral value.
        if (curve) out[i] = curve->Evaluate(time, hints ? hints + i : sharedHint);
    }
}

int ChainCapacity(KFCurveNode* node) {
    int capacity = 4;
    for (KFCurveNode* layer = node; layer; layer = layer->LayerGet())
        capacity = std::max({capacity, KFCurve_GetLayerValueCount(layer), layer->GetChannelCount()});
    return capacity;
}

void EvaluateInLayers(KFCurveNode* layer, double* values, double* scratch, KTime time, KArrayTemplate<int>* layers,
                      int index, int* hints, int hintStride, int* sharedHint) {
    int position = 0;  // the layer's place in the chain, for its hints
    // Every layer's values are laid out as the first node's, channel by channel of one name.
    KFCurveNode* const layout = layer;
    auto compose = [&](KFCurveNode* l) {
        EvaluateLayer(layout, l, scratch, time, hints ? hints + position * hintStride : nullptr, sharedHint);
        AddValuesAlongLayerType(layout, values, values, scratch);
    };
    if (!layers) {
        for (; layer; layer = layer->LayerGet(), ++position) compose(layer);
        return;
    }
    const int count = layers->GetCount();
    while (layer && index >= 0 && index < count) {
        const int id = (*layers)[index];
        if (layer->GetLayerID() == id) {
            compose(layer);
            ++index;
            layer = layer->LayerGet();
            ++position;
        } else if (layer->GetLayerID() > id) {
            ++index;  // a listed id the chain does not have
        } else {
            layer = layer->LayerGet();
            ++position;
        }
    }
}

}  // namespace plot

// ---- Composition -----------------------------------------------------------------------

void AddValuesAlongLayerType_KFCL_ADD(KFCurveNode* layer, double* result, double* a, double* b) {
    const int count = OwnCount(layer) + layer->GetCount();
    for (int i = 0; i < count; ++i) result[i] = b[i] + a[i];
}

void AddValuesAlongLayerType_KFCL_MULT(KFCurveNode* layer, double* result, double* a, double* b) {
    const int count = OwnCount(layer) + layer->GetCount();
    for (int i = 0; i < count; ++i) result[i] = b[i] * a[i];
}

void AddValuesAlongLayerType_KFCL_EULER_XYZ(KFCurveNode* layer, double* result, double* a, double* b) {
    const int own = OwnCount(layer);
    if (own) result[0] = a[0] + b[0];
    if (layer->GetCount() < 3) {
        // Fewer than three angles make no rotation: the first operand stands.
        for (int i = own; i < own + layer->GetCount(); ++i) result[i] = a[i];
        return;
    }
    const KVXRotationOrder order = RotationOrderOf(layer);
    KgeRMatrix ma, mb, product;
    EulerToMatrix(ma, order, a + own);
    EulerToMatrix(mb, order, b + own);
    KmRR(product, ma, mb);
    MatrixToEuler(result + own, order, product);
}

void AddValuesAlongLayerType_KFCL_QUAT(KFCurveNode* layer, double* result, double* a, double* b) {
    const int own = OwnCount(layer);
    if (own) result[0] = a[0] + b[0];
    KmQQ(result + own, a + own, b + own);
}

void AddValuesAlongLayerType(KFCurveNode* layer, double* result, double* a, double* b) {
    if (!layer || !result || !a || !b) return;
    switch (layer->GetLayerType()) {
        case KFCL_NOLAYER:
        case KFCL_ADD:
            AddValuesAlongLayerType_KFCL_ADD(layer, result, a, b);
            break;
        case KFCL_EULER_XYZ:
            AddValuesAlongLayerType_KFCL_EULER_XYZ(layer, result, a, b);
            break;
        case KFCL_MULT:
            AddValuesAlongLayerType_KFCL_MULT(layer, result, a, b);
            break;
        case KFCL_QUAT:
            AddValuesAlongLayerType_KFCL_QUAT(layer, result, a, b);
            break;
        default:
            break;
    }
}

void InverseValuesAlongLayerType(KFCurveNode* layer, double* result, double* values) {
    if (!layer || !result || !values) return;
    const int own = OwnCount(layer);
    const int count = own + layer->GetCount();
    switch (layer->GetLayerType()) {
        case KFCL_NOLAYER:
        case KFCL_ADD:
            for (int i = 0; i < count; ++i) result[i] = -values[i];
            break;
        case KFCL_MULT:
            for (int i = 0; i < count; ++i) {
                // Zero has no reciprocal; the neutral value keeps keys finite.
                const double inverse = values[i] != 0.0 ? 1.0 / values[i] : 1.0;
                result[i] = IsStorable(inverse) ? inverse : 1.0;
            }
            break;
        case KFCL_EULER_XYZ: {
            if (own) result[0] = -values[0];
            if (layer->GetCount() < 3) {
                for (int i = own; i < count; ++i) result[i] = values[i];
                break;
            }
            const KVXRotationOrder order = RotationOrderOf(layer);
            KgeRMatrix m, inverse;
            EulerToMatrix(m, order, values + own);
            KmRi(inverse, m);
            MatrixToEuler(result + own, order, inverse);
            break;
        }
        case KFCL_QUAT:
            if (own) result[0] = -values[0];
            result[own] = -values[own];
            result[own + 1] = -values[own + 1];
            result[own + 2] = -values[own + 2];
            result[own + 3] = values[own + 3];
            break;
        default:
            break;
    }
}

// ---- Solving for one layer ---------------------------------------------------------------

void KFCurve_PrepareForSolving(KFCurveNode* node, KArrayTemplate<int>* layers, int destinationLayerId,
                               KArrayTemplate<KFCurveNode*>& below, KArrayTemplate<KFCurveNode*>& above) {
    if (!node) return;
    // Phases: layers below the destination, then those at or before it are
    // passed over, then those above it until the chain ends or starts over.
    int phase = 0;
    auto take = [&](KFCurveNode* layer) {
        const int id = layer->GetLayerID();
        if (phase == 0) {
            if (id < destinationLayerId) {
                below.Add(layer);
                return true;
            }
            phase = 1;
        }
        if (phase == 1) {
            if (id <= destinationLayerId) return true;
            phase = 2;
        }
        if (id == 0) return false;
        above.Add(layer);
        return true;
    };
    if (!layers) {
        for (KFCurveNode* layer = node; layer; layer = layer->LayerGet())
            if (!take(layer)) break;
        return;
    }
    for (int i = 0; i < layers->GetCount(); ++i) {
        KFCurveNode* layer = node->LayerGet((*layers)[i]);
        if (layer && !take(layer)) break;
    }
}

void KFCurve_CandidateSolveInLayers(KFCurveNode* node, double* result, double* target, KTime time,
                                    KArrayTemplate<KFCurveNode*>& below, KArrayTemplate<KFCurveNode*>& above,
                                    int /*destinationLayerId*/, int* hint, double* previous) {
    if (!node || !result || !target) return;
    const int count = KFCurve_GetLayerValueCount(node);
    int capacity = count;
    for (int i = 0; i < below.GetCount(); ++i) capacity = std::max(capacity, KFCurve_GetLayerValueCount(below[i]));
    for (int i = 0; i < above.GetCount(); ++i) capacity = std::max(capacity, KFCurve_GetLayerValueCount(above[i]));

    constexpr int kLocal = 16;
    double local[4][kLocal];
    std::vector<double> heap;
    double* base = local[0];
    double* top = local[1];
    double* buffer = local[2];
    double* inverse = local[3];
    if (capacity > kLocal) {
        heap.assign(static_cast<std::size_t>(capacity) * 4, 0.0);
        base = heap.data();
        top = base + capacity;
        buffer = top + capacity;
        inverse = buffer + capacity;
    }

    auto accumulate = [&](double* values, KArrayTemplate<KFCurveNode*>& chain) {
        node->GetZeroValues(values, capacity);
        for (int i = 0; i < chain.GetCount(); ++i) {
            KFCurveNode* layer = chain[i];
            plot::EvaluateLayer(node, layer, buffer, time, nullptr, hint);
            AddValuesAlongLayerType(node, values, values, buffer);
        }
    };
    accumulate(base, below);
    accumulate(top, above);

    std::memcpy(result, target, sizeof(double) * static_cast<std::size_t>(count));
    if (below.GetCount() > 0) {
        InverseValuesAlongLayerType(node, inverse, base);
        AddValuesAlongLayerType(node, result, inverse, result);
    }
    if (above.GetCount() > 0) {
        InverseValuesAlongLayerType(node, inverse, top);
        AddValuesAlongLayerType(node, result, result, inverse);
    }

    const int own = OwnCount(node);
    if (node->GetLayerType() == KFCL_MULT) {
        // Other layers at zero leave this layer free: it keeps its neutral
        // value, as a candidate for the layer would.
        for (int i = 0; i < count; ++i) {
            const bool blocked = (below.GetCount() > 0 && base[i] == 0.0) || (above.GetCount() > 0 && top[i] == 0.0);
            if (blocked || !IsStorable(result[i])) result[i] = 1.0;
        }
    } else if (node->GetLayerType() == KFCL_EULER_XYZ && node->GetCount() >= 3 && previous) {
        if (const int* axis = ContinuityAxisOf(node->GetRotationOrder()))
            KVNGetContinuousRotation(result + own, result + own, previous + own, axis);
    }
}

void KFCurve_CandidateEvaluateInLayersRecursive(KFCurveNode* layer, double* values, KTime time,
                                                KArrayTemplate<int>* layers, int index, int* hint) {
    if (!layer || !values) return;
    std::vector<double> scratch(static_cast<std::size_t>(plot::ChainCapacity(layer)), 0.0);
    plot::EvaluateInLayers(layer, values, scratch.data(), time, layers, index, nullptr, 0, hint);
}

}  // namespace zeqsdk_400
