// BVH frame rows into curves, and the joints into skeleton nodes.
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/kgemath.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvekey.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "fcurve/kfcurvefiltergimbalkiller.h"
#include "fcurve/kfcurvefilterunroll.h"
#include "fcurve/kfcurvesettings.h"
#include "formats/motion/bvh/kzeqfilebiovision.h"
#include "formats/motion/kzeqmotionkeys.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The number at text, as the C library reads it (a sign, "inf", "nan", hex
// and out-of-range values included); the fast reader serves the common
// decimal forms. Null when nothing reads.
const char* ParseNumber(const char* text, const char* end, double& value) {
    const std::from_chars_result fast = std::from_chars(text, end, value);
    if (fast.ec == std::errc() && (fast.ptr == end || IsBlank(*fast.ptr))) return fast.ptr;
    char* stop = nullptr;
    value = std::strtod(text, &stop);
    return stop == text ? nullptr : stop;
}

// Curve keys are floats: values beyond their range become infinities instead
// of an undefined conversion.
float ToKeyValue(double value) {
    if (value > FLT_MAX) return HUGE_VALF;
    if (value < -FLT_MAX) return -HUGE_VALF;
    return static_cast<float>(value);
}

// m = E . m for the elementary row-vector rotation E about one axis: E is
// applied before what m held.
void PreRotate(double (*m)[4], int axis, double radians) {
    const int u = (axis + 1) % 3;
    const int v = (axis + 2) % 3;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    for (int j = 0; j < 3; ++j) {
        const double mu = m[u][j];
        const double mv = m[v][j];
        m[u][j] = c * mu + s * mv;
        m[v][j] = c * mv - s * mu;
    }
}

double Length3(const KZeqVector4& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// Which curves of a joint are keyed: rotation always, translation with six channels.
int FirstKeyedCurve(const KBVHJoint& joint) { return joint.mChannelCount == 6 ? 0 : 3; }

// Every key read is cubic with automatic tangents, weights of a third and no
// velocity: one record copied, its time and value set.
KFCurveKey MakeKeyTemplate() {
    KFCurveKey key{};
    key.Set(KTime(), 0.0f, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0.0f, 0.0f, KFCURVE_WEIGHTED_NONE,
            KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
    return key;
}
const KFCurveKey kKeyTemplate = MakeKeyTemplate();

void WriteKey(KFCurve* curve, int index, KTime time, double value) {
    if (!curve) return;
    KFCurveKey* key = curve->KeyGetPtr(index);
    *key = kKeyTemplate;
    key->SetTime(time);
    key->SetValue(ToKeyValue(value));
}

}  // namespace

// ---- One joint's frame -------------------------------------------------------------------------

void KBVHJoint::SetFrame(const double* values) {
    mTranslation = mOffset;
    double m[4][4] = {{1.0, 0.0, 0.0, 0.0}, {0.0, 1.0, 0.0, 0.0}, {0.0, 0.0, 1.0, 0.0}, {0.0, 0.0, 0.0, 1.0}};
    for (int i = 0; i < mChannelCount; ++i) {
        const int code = mChannelCodes[i];
        if (code < eXrotation)
            mTranslation[code] = values[i];
        else
            PreRotate(m, code - eXrotation, values[i] * KM_DEG_TO_RAD);
    }
    // The general extraction: the X-first one takes a turn within a tenth of a degree of a
    // quarter turn about Y for the quarter turn itself.
    KmRtoVord(mRotation, m, 0);
}

void KBVHJoint::AddFrame(int keyIndex, KTime time, bool fromZero) {
    if (mChannelCount == 6)
        for (int i = 0; i < 3; ++i) WriteKey(mCurves[i], keyIndex, time, mTranslation[i]);
    if (keyIndex == 0 && !fromZero) {
        mContinuity.Set(mRotation);
    } else {
        if (keyIndex == 0) mContinuity.Reset();
        mContinuity.Apply(mRotation);
    }
    for (int i = 0; i < 3; ++i) WriteKey(mCurves[3 + i], keyIndex, time, mRotation[i]);
}

// ---- Frame rows --------------------------------------------------------------------------------

bool KZeqFileBiovision::ReadOneFrame(double* values, int count) {
    if (count <= 0) return true;
    const char* p = GetCursor();
    const char* end = p + std::strlen(p);
    for (int i = 0; i < count; ++i) {
        while (p < end && IsBlank(*p)) ++p;
        if (p == end) return false;
        p = ParseNumber(p, end, values[i]);
        if (!p) return false;
    }
    return true;
}

bool KZeqFileBiovision::ReadFrames(KStreamOptionsMotion* options) {
    if (!options) return false;
    if (options->GetFrameCount() > mFrameCount) options->SetFrameCount(mFrameCount);
    const int count = options->GetFrameCount();
    const KTime start = options->GetStart();
    const KTime period = options->GetFramePeriod();
    if (count > 1) {
        // Frames closer than a tick, or a take past the end of the time line,
        // would break the keys' order.
        const long double last = static_cast<long double>(start.Get()) +
                                 static_cast<long double>(period.Get()) * static_cast<long double>(count - 1);
        if (period.Get() <= 0 || last >= static_cast<long double>(KTime::Infinite().Get())) return false;
    }

    std::vector<KFCurve*> curves;
    std::vector<KBVHJoint*> joints;
    for (const auto& joint : mJointList) {
        if (joint->mIsEndSite) continue;
        joints.push_back(joint.get());
        for (int c = FirstKeyedCurve(*joint); c < 6; ++c)
            if (joint->mCurves[c]) curves.push_back(joint->mCurves[c]);
    }
    // Room for no more rows than the file can hold (a value and a separator
    // each at least); the curves grow beyond that as rows arrive.
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(std::max(2 * mTotalChannels - 1, 1));
    int reserved = static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(count), mFileSize / rowBytes + 1));
    bool ok = true;
    for (KFCurve* curve : curves) {
        curve->KeyModifyBegin();
        ok = ok && curve->InitBuffers(reserved);
    }

    // The rows are keyed as continuous XYZ Euler, key by key as the unroll
    // filter does it; from the first key on, the filter (without its test for
    // path) then finds nothing to change, so it is not run a second time.
    int rotationFilter = KFCURVE_GetRotationFilterToApply();
    // (The filter leaves a single key as it is.)
    const bool unrolled = motionkeys::UnrollWhileKeying() && count > 1;
    if (unrolled) rotationFilter = 0;

    std::vector<double> row(static_cast<std::size_t>(mTotalChannels));
    KTime time = start;
    int rows = 0;
    for (; rows < count && ok; ++rows) {
        options->ProgressCallback(nullptr, nullptr, static_cast<float>(static_cast<long long>(rows) * 100 / count));
        if (!NextLine() || !ReadOneFrame(row.data(), mTotalChannels)) {
            ok = false;
            break;
        }
        if (rows == reserved) {
            reserved = static_cast<int>(std::min<long long>(count, std::max<long long>(2LL * reserved, 1024)));
            for (KFCurve* curve : curves) ok = ok && curve->InitBuffers(reserved);
            if (!ok) break;
        }
        int offset = 0;
        for (KBVHJoint* joint : joints) {
            joint->SetFrame(row.data() + offset);
            joint->AddFrame(rows, time, unrolled);
            offset += joint->mChannelCount;
        }
        time += period;
    }
    for (KFCurve* curve : curves) curve->KeyModifyEnd(rows);
    if (!ok) return false;

    const bool reduce = KFCURVE_GetUseConstantKeyReducer();
    for (KBVHJoint* joint : joints) {
        KFCurve** translation = joint->mCurves;
        KFCurve** rotation = joint->mCurves + 3;
        const bool haveTranslation = translation[0] && translation[1] && translation[2];
        const bool haveRotation = rotation[0] && rotation[1] && rotation[2];
        if (reduce && joint->mChannelCount == 6 && haveTranslation) KFCurveFilterConstantKeyReducer().Apply(translation, 3);
        if (!haveRotation) continue;
        if (rotationFilter == KFCURVE_ROTATION_FILTER_UNROLL)
            KFCurveFilterUnroll().Apply(rotation, 3);
        else if (rotationFilter == KFCURVE_ROTATION_FILTER_GIMBLE_KILLER)
            KFCurveFilterGimbleKiller().Apply(rotation, 3);
        if (reduce) KFCurveFilterConstantKeyReducer().Apply(rotation, 3);
    }
    return true;
}

// ---- Scene nodes -------------------------------------------------------------------------------

bool KZeqFileBiovision::CreateNodes(KZeqSdkManager& manager, KZeqNode* parent, const char* takeName,
                                    KStreamOptionsMotion* /*options*/) {
    for (const auto& owned : mJointList) {
        KBVHJoint* joint = owned.get();
        KString name = joint->mIsEndSite && joint->mParent ? KString(joint->mParent->mName) + "_End" : KString(joint->mName);
        KZeqNode* node = manager.CreateKZeqNode(name.Buffer());
        if (!node) return false;
        KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton();
        if (!skeleton) {
            manager.DestroyKZeqNode(node);
            return false;
        }
        skeleton->SetSkeletonType(KZeqSkeleton::eLIMB_NODE);
        node->SetNodeAttribute(skeleton);
        joint->mNode = node;

        KZeqNode* above = joint->mParent ? joint->mParent->mNode : parent;
        joint->mTranslation = joint->mParent ? joint->mOffset : KZeqVector4(0.0, 0.0, 0.0, 1.0);
        if (!above || !above->AddChild(node)) {
            manager.DestroyKZeqNode(node, true);
            joint->mNode = nullptr;
            return false;
        }
        node->SetDefaultT(joint->mTranslation);
        node->SetDefaultR(KZeqVector4(joint->mRotation[0], joint->mRotation[1], joint->mRotation[2], 0.0));
        node->CreateTakeNode(takeName);
        node->SetCurrentTakeNode(takeName);
        if (KZeqTakeNode* take = node->GetCurrentTakeNode()) {
            joint->mCurves[0] = take->GetTranslationX();
            joint->mCurves[1] = take->GetTranslationY();
            joint->mCurves[2] = take->GetTranslationZ();
            joint->mCurves[3] = take->GetEulerRotationX();
            joint->mCurves[4] = take->GetEulerRotationY();
            joint->mCurves[5] = take->GetEulerRotationZ();
        }

        if (!joint->mParent) continue;
        KZeqNodeLimits& limits = node->GetLimits();
        limits.SetAuto(KZeqNodeLimits::eT, false);
        limits.SetDefault(KZeqNodeLimits::eT, joint->mOffset);
        if (joint->mChildren.size() == 1) {
            // The bone points at its only child: its pre-rotation turns the X
            // axis that way.
            const KZeqVector4& childOffset = joint->mChildren[0]->mOffset;
            const double length = Length3(childOffset);
            if (length > 0.0) {
                KgeQuaternion q;
                KgeSetQuaternion(q, KgeTVector(childOffset[0] / length, childOffset[1] / length,
                                               childOffset[2] / length));
                if (std::fabs(q.mData[3]) < 1e-9) q = KgeQuaternion(0.0, 0.0, 1.0, 0.0);
                double m[4][4] = {};
                double r[3];
                KmQtoR(m, q);
                KmRtoVord(r, m, 0);
                const KZeqVector4 axis(r[0], r[1], r[2], 0.0);
                limits.SetAuto(KZeqNodeLimits::eR, false);
                limits.SetDefault(KZeqNodeLimits::eR, axis);
                limits.SetRotationAxis(axis);
                limits.SetAxisLength(length);
                limits.SetRotationType(KZeqNodeLimits::eROTATION_SPHERIC_XYZ);
                limits.SetRotationClampType(KZeqNodeLimits::eROTATION_CLAMP_ELLIPSOID);
                limits.SetMin(KZeqNodeLimits::eR, KZeqVector4(-180.0, -150.0, -150.0, 0.0));
                limits.SetMax(KZeqNodeLimits::eR, KZeqVector4(180.0, 150.0, 150.0, 0.0));
            }
        }
        if (joint->mIsEndSite) {
            limits.SetAuto(KZeqNodeLimits::eR, false);
            limits.SetAxisLength(0.0);
        }
    }
    return true;
}

}  // namespace zeqsdk_400
