// Acclaim AMC motion text, as this reader takes it:
//
//   :FULLY-SPECIFIED               header keywords (":FORMAT", ":SAMPLES-PER-SECOND 120",
//   :DEGREES                       ":FRAME-RANGE 1-247", others ignored)
//   1                              a frame: its number alone on a line,
//   root 9.37 17.8 -17.4 -3.1 ...  then one line per bone: its name and one
//   lfemur -22.9 3.6 -14.4         value per entry of the bone's dof list
//
// Translations are in file length units, rotations in degrees or (with
// "angle rad" in the skeleton) radians. Frame n lies at start + (n - 1) periods.

#include "formats/motion/asf/kzeqfileacclaimamc.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fcurve/kfcurvenode.h"
#include "formats/motion/asf/kzeqasfscene.h"
#include "formats/motion/common/kzeqjointshear.h"
#include "formats/motion/common/kzeqmotionjoint.h"
#include "io/kstreamoptionsmotion.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

namespace {

const char kDelimiters[] = " \t, ()\r\n";

bool IsNumberStart(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.'; }

// Row lengths of a 3x3 block, all negated when the block mirrors.
void CarriedScaling(const KgeAMatrix& m, double* s) {
    for (int r = 0; r < 3; ++r) s[r] = std::sqrt(m[r][0] * m[r][0] + m[r][1] * m[r][1] + m[r][2] * m[r][2]);
    const double det = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * m[2][0] +
                       (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * m[2][1] +
                       (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * m[2][2];
    if (det < 0.0)
        for (int r = 0; r < 3; ++r) s[r] = -s[r];
}

}  // namespace

struct KZeqFileAcclaimAmc::Tokens {
    KToken mMain[11] = {{":FORMAT", 0},     {":FULLY-SPECIFIED", 0},     {":DEGREES", 0}, {":ASF-FILE", 0},
                        {":ASF-PATH", 0},   {":SAMPLES-PER-SECOND", 0},  {":FRAME-RANGE", 0}, {":KEYFRAME-LIST", 0},
                        {":SMPTE", 0},      {":", 0},                    {nullptr, 0}};
};

// What a read needs per bone line: the bones by name, and which frame last sampled each.
struct KZeqFileAcclaimAmc::Reading {
    KZeqAsfNode* mRoot = nullptr;
    std::vector<KZeqAsfNode*> mBones;
    std::unordered_map<std::string_view, int> mIndex;
    std::vector<int> mSampledInFrame;
    int mFrame = 0;
    double mLengthFactor = 1.0;
    double mAngleFactor = 1.0;

    explicit Reading(KZeqAsfNode* root) : mRoot(root) {
        // Depth first, so that a name given twice finds the first bone, as a search from the root would.
        std::vector<KZeqAsfNode*> pending{root};
        while (!pending.empty()) {
            KZeqAsfNode* bone = pending.back();
            pending.pop_back();
            mIndex.emplace(std::string_view(bone->GetName()), static_cast<int>(mBones.size()));
            mBones.push_back(bone);
            for (int i = bone->GetChildCount() - 1; i >= 0; --i) pending.push_back(bone->GetChild(i));
        }
        mSampledInFrame.assign(mBones.size(), -1);
    }
};

KZeqFileAcclaimAmc::KZeqFileAcclaimAmc(bool messages)
    : KTextFile("AMC", kDelimiters, "#", true, messages), mTokens(std::make_unique<Tokens>()) {}

KZeqFileAcclaimAmc::~KZeqFileAcclaimAmc() = default;

bool KZeqFileAcclaimAmc::LoadFirstLine() {
    if (!FirstLine()) return false;
    // FirstLine keeps a comment line ("#!OML:ASF ..."), which is neither header nor frame.
    return *GetCursor() != '#' || NextLine();
}

bool KZeqFileAcclaimAmc::EndOrError() {
    if (IsEndOfFile()) return true;
    Error("Line cannot be read\n");
    return false;
}

bool KZeqFileAcclaimAmc::IsFrameLine(double* number) const {
    const char* cursor = GetCursor();
    if (!IsNumberStart(*cursor)) return false;
    char* end = nullptr;
    const double value = std::strtod(cursor, &end);
    if (end == cursor || (*end != '\0' && !std::strchr(kDelimiters, *end))) return false;
    if (number) *number = value;
    return true;
}

int KZeqFileAcclaimAmc::SkipFrame() {
    int skipped = 0;
    while (NextLine() && !IsFrameLine(nullptr)) ++skipped;
    return skipped;
}

bool KZeqFileAcclaimAmc::ReadOptions(KStreamOptionsMotion* options) {
    if (!options) return false;
    Tokens& t = *mTokens;
    double rate = 0.0;
    bool range = false;
    int first = 0;
    int last = 0;
    long long counted = 0;
    bool loaded = LoadFirstLine();
    while (loaded) {
        if (Check(t.mMain) >= 0) {
            const int keyword = Handle(t.mMain);
            if (keyword == 0) {
                KString word;
                if (GetString(word) && word.CompareNoCase("FIRSTFRAME-INDEXED") == 0) {
                    Error("Unsupported DOF line format\n");
                    return false;
                }
            } else if (keyword == 5) {
                double value = 0.0;
                if (GetDouble(value, 1.0) && std::isfinite(value) && value > 0.0) rate = value;
            } else if (keyword == 6) {
                int a = 0;
                int b = 0;
                char dash = 0;
                if (GetInteger(a) && GetChar(dash) && dash == '-' && GetInteger(b) && b >= a) {
                    range = true;
                    first = a;
                    last = b;
                }
            }
            loaded = NextLine();
            continue;
        }
        if (!IsFrameLine(nullptr)) {
            Error("Unknown keyword\n");
            return false;
        }
        ++counted;
        SkipFrame();
        loaded = !IsEndOfFile() && IsFrameLine(nullptr);
    }
    if (!EndOrError()) return false;
    if (rate > 0.0) options->SetTimeMode(KTime::eModeDefault, rate);
    long long count = counted;
    if (range) count = std::min(static_cast<long long>(last) - first + 1, counted);
    else first = 0;
    options->SetStart(options->GetFramePeriod() * first);
    options->SetFrameCount(static_cast<int>(std::min(count, static_cast<long long>(INT_MAX))));
    return true;
}

bool KZeqFileAcclaimAmc::Read(KZeqAsfScene* scene, KStreamOptionsMotion* options) {
    if (!scene || !scene->GetRoot() || !options) return false;
    Tokens& t = *mTokens;
    KZeqAsfNode* root = scene->GetRoot();
    Reading reading(root);
    reading.mLengthFactor = scene->LengthToScene();
    reading.mAngleFactor = scene->mAngleFactor;

    const int frameCount = options->GetFrameCount();
    const KTime start = options->GetStart();
    const KTime period = options->GetFramePeriod();

    root->CreateDataFromDOF();
    root->StartSamplingData();
    bool ok = true;
    bool loaded = LoadFirstLine();
    int block = 0;
    bool haveLast = false;
    int lastNumber = 0;
    KTime lastTime;
    while (ok && loaded) {
        if (Check(t.mMain) >= 0) {
            const int keyword = Handle(t.mMain);
            if (keyword == 0) {
                KString word;
                if (GetString(word) && word.CompareNoCase("FIRSTFRAME-INDEXED") == 0) {
                    ok = Error("Unsupported DOF line format\n") && false;
                    break;
                }
                loaded = NextLine();
                if (!loaded && IsEndOfFile()) ok = Error("Unexpected end of file\n") && false;
                continue;
            }
            if (keyword == 9) Warning("Ignoring unknown keyword (:%s)\n", GetCursor());
            loaded = NextLine();
            continue;
        }
        double number = 0.0;
        if (!IsFrameLine(&number)) {
            ok = Error("Unknown keyword\n") && false;
            break;
        }
        if (frameCount > 0 && block >= frameCount) break;
        options->ProgressCallback(nullptr, "Reading AMC animation frames",
                                  frameCount > 0 ? static_cast<float>(block) * 100.0f / frameCount : 0.0f);
        if (!(number > INT_MIN && number < INT_MAX)) {
            ok = Error("Bad frame number (%g)\n", number) && false;
            break;
        }
        const int frame = static_cast<int>(number);
        const KTime time = start + period * (frame - 1);
        // Keys must come in time order: a frame that does not follow the last is left out.
        if (haveLast && (frame <= lastNumber || time <= lastTime)) {
            Warning("Frame %d does not follow frame %d: skipped\n", frame, lastNumber);
            SkipFrame();
        } else {
            haveLast = true;
            lastNumber = frame;
            lastTime = time;
            ++reading.mFrame;
            ok = ReadFrame(reading, time);
        }
        ++block;
        if (!ok) break;
        loaded = !IsEndOfFile();
        // Anything but a frame line here is a line that could not be read.
        if (loaded && !IsFrameLine(nullptr)) loaded = false;
    }
    const bool stopped = frameCount > 0 && block >= frameCount;
    if (ok && !stopped) ok = EndOrError();
    root->StopSamplingData();
    if (!ok) root->DeleteCurvesRecursive();
    return ok;
}

bool KZeqFileAcclaimAmc::ReadFrame(Reading& reading, KTime time) {
    double values[KZeqAsfNode::kMaxDof];
    char name[KZeqAsfNode::kMaxNameLength + 1];
    bool rootSeen = false;
    while (NextLine()) {
        if (IsFrameLine(nullptr)) return true;
        GetString(name, KZeqAsfNode::kMaxNameLength);
        KZeqAsfNode* bone = nullptr;
        int index = -1;
        if (!rootSeen && std::strcmp(name, "root") == 0) {
            rootSeen = true;
            bone = reading.mRoot;
            index = 0;
        } else {
            const auto found = reading.mIndex.find(std::string_view(name));
            // The root answers to its name once a frame.
            if (found != reading.mIndex.end() && found->second != 0) {
                index = found->second;
                bone = reading.mBones[static_cast<std::size_t>(index)];
            }
        }
        if (!bone) {
            Error("Unknown bone name (%s)\n", name);
            return false;
        }
        int count = 0;
        for (double& v : values) v = 0.0;
        while (*GetCursor() != '\0') {
            double value = 0.0;
            if (!GetDouble(value, 1.0) || !std::isfinite(value)) {
                Error("Bad value for bone %s\n", name);
                return false;
            }
            if (count < KZeqAsfNode::kMaxDof) values[count] = value;
            ++count;
        }
        if (reading.mSampledInFrame[static_cast<std::size_t>(index)] == reading.mFrame) {
            Warning("Bone %s given twice in a frame: the second line is ignored\n", name);
            continue;
        }
        reading.mSampledInFrame[static_cast<std::size_t>(index)] = reading.mFrame;
        bone->AddSampleFromDOF(values, time, reading.mLengthFactor, reading.mAngleFactor);
    }
    return EndOrError();
}

// ---- Writing ---------------------------------------------------------------------------------

bool KZeqFileAcclaimAmc::WriteHeader(KZeqAsfScene*, bool writeRate, double rate, bool writeRange, int first,
                                     int last) {
    bool ok = true;
    if (writeRate) ok = Print(0, "%s %g\n", ":SAMPLES-PER-SECOND", rate) && ok;
    if (writeRange) ok = Print(0, "%s %d-%d\n", ":FRAME-RANGE", first, last) && ok;
    ok = Print(0, ":FULLY-SPECIFIED\n") && ok;
    return Print(0, ":DEGREES\n") && ok;
}

bool KZeqFileAcclaimAmc::WriteFrame(KZeqAsfScene* scene, KTime time, int frame, const KgeAMatrix* matrix,
                                    KZeqJointNotes* notes, bool exact, KZeqMotionJointLocals* locals) {
    if (!scene || !scene->GetRoot()) return false;
    const bool ok = Print(0, "%d\n", frame);
    return WriteBone(scene, scene->GetRoot(), time, matrix, notes, exact, locals) && ok;
}

bool KZeqFileAcclaimAmc::WriteBone(KZeqAsfScene* scene, KZeqAsfNode* bone, KTime time, const KgeAMatrix* matrix,
                                   KZeqJointNotes* notes, bool exact, KZeqMotionJointLocals* locals) {
    double s[3] = {1.0, 1.0, 1.0};
    if (matrix) CarriedScaling(*matrix, s);
    return WriteBone(scene, bone, time, matrix, true, KZeqCarriedScaling(exact, KZeqVector4(s[0], s[1], s[2], 1.0)),
                     notes, locals);
}

bool KZeqFileAcclaimAmc::WriteBone(KZeqAsfScene* scene, KZeqAsfNode* bone, KTime time, const KgeAMatrix* matrix,
                                   bool turning, const KZeqCarriedScaling& above, KZeqJointNotes* notes,
                                   KZeqMotionJointLocals* locals) {
    // The scaling of the scene nodes, which the format lacks, is carried into
    // the translations of the bones below.
    double s[3] = {1.0, 1.0, 1.0};
    if (matrix) CarriedScaling(*matrix, s);
    KgeAMatrix carried = {{s[0], 0.0, 0.0, 0.0}, {0.0, s[1], 0.0, 0.0}, {0.0, 0.0, s[2], 0.0}, {0.0, 0.0, 0.0, 1.0}};
    // The same followed as a matrix where a bone is turned under an uneven scaling.
    KZeqCarriedScaling below = above;
    bool ok = true;
    if (bone->mDofCount > 0) {
        double t[16] = {0.0}, r[16] = {0.0}, v[16] = {1.0, 1.0, 1.0};
        KZeqNode* node = bone->mNode;
        const bool scaled = bone->MotionAt(time, locals, t, r, v);
        if (scaled)
            for (int i = 0; i < 3; ++i) carried[i][i] *= v[i];
        if (above.IsExact()) {
            KZeqMatrix rotation, block;
            KmXYZtoR(rotation.mData, r[0], r[1], r[2]);
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) block.mData[i][j] = v[i] * rotation.mData[i][j];
            below = above.Below(block, rotation, KZeqVector4(v[0], v[1], v[2], 1.0));
        }
        if (matrix && !above.IsAligned()) {
            const KZeqVector4 moved = above.Carry(KZeqVector4(t[0], t[1], t[2], 0.0));
            for (int j = 0; j < 3; ++j) t[j] = moved[j];
        } else if (matrix) {
            const KgeAMatrix& m = *matrix;
            double moved[3];
            for (int j = 0; j < 3; ++j) moved[j] = t[0] * m[0][j] + t[1] * m[1][j] + t[2] * m[2][j] + m[3][j];
            std::memcpy(t, moved, sizeof(moved));
        }
        if (matrix && turning) {
            // The root turns with its parent's global matrix: the rotation left when its signed
            // scaling is divided out (a mirror is carried in the scaling, not turned).
            KgeRMatrix rotation, normalised, both;
            KmXYZtoR(rotation, r[0], r[1], r[2]);
            KgeSetRM(normalised, *matrix);
            if (s[0] < 0.0)
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 3; ++j) normalised[i][j] = -normalised[i][j];
            KmRR(both, normalised, rotation);
            // The general extraction: the X-first one takes a turn within a tenth of a degree of
            // a quarter turn about Y for the quarter turn itself.
            KmRtoVord(r, both, 0);
        }
        // Rotation values: the inverse of the sampling, in the order of the dof list.
        const int order = EulerOrderFromOrderBuf(bone->mDof, bone->mDofCount);
        KgeRMatrix q;
        KmXYZtoR(q, r[0], r[1], r[2]);
        KmRR(q, bone->mParentAxisMatrix, q);
        KmRR(q, bone->mInvAxisMatrix, q);
        double angles[3];
        KmRtoVord(angles, q, order);
        OrderVector(angles, order);
        // Translation values: (T . parent axis - offset) . inverse axis, in file units.
        double u[3], values[3];
        for (int j = 0; j < 3; ++j)
            u[j] = t[0] * bone->mParentAxisMatrix[0][j] + t[1] * bone->mParentAxisMatrix[1][j] +
                   t[2] * bone->mParentAxisMatrix[2][j] - bone->mOffset[j];
        if (node && notes && bone->TranslationDofCount() == 0) notes->CheckHeldTranslation(*node, time, locals);
        const double toFile = 1.0 / scene->LengthToScene();
        for (int j = 0; j < 3; ++j)
            values[j] = (u[0] * bone->mInvAxisMatrix[0][j] + u[1] * bone->mInvAxisMatrix[1][j] +
                         u[2] * bone->mInvAxisMatrix[2][j]) *
                        toFile;
        ok = Print(0, "%s ", bone->GetName());
        for (int i = 0; i < bone->mDofCount; ++i) {
            const int code = bone->mDof[i];
            // Adding 0 turns a negative zero into a plain one ("0", not "-0").
            if (code <= eDofTZ)
                ok = Print(0, " %g", values[code] + 0.0) && ok;
            else if (code <= eDofRX)
                ok = Print(0, " %g", angles[5 - code] + 0.0) && ok;
        }
        ok = Print(0, "\n") && ok;
    }
    for (int i = 0; i < bone->GetChildCount(); ++i)
        ok = WriteBone(scene, bone->GetChild(i), time, &carried, false, below, notes, locals) && ok;
    return ok;
}

}  // namespace zeqsdk_400
