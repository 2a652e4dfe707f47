// The Biovision BVH text file: hierarchy grammar, motion header and printing.
// Frame rows and scene nodes are in kzeqfilebiovision_motion.cpp.
//
// A file reads, line by line (blank lines skipped; keywords match at the start
// of a line, in any letter case, as prefixes):
//
//   HIERARCHY
//   ROOT <name>                      name: the first word, at most 127 characters
//   {
//     OFFSET <x> <y> <z>
//     CHANNELS <n> <channel>...      n from 0 to 6; channels Xposition, Yposition,
//                                    Zposition, Xrotation, Yrotation, Zrotation
//     JOINT <name>                   a child: the same block, nested
//     { ... }
//     End Site                       a leaf without channels
//     {
//       OFFSET <x> <y> <z>
//     }
//   }
//   MOTION
//   Frames: <count>
//   Frame Time: <seconds>
//   <row>                            one line per frame: every joint's channel
//   ...                              values in hierarchy pre-order
//
// Rotation channels compose with the last listed one applied first ("Zrotation
// Xrotation Yrotation" turns about Y, then X, then Z). Words are separated by
// blanks, tabs and line ends (LF, CR or CRLF, mixed as they come).
#include "formats/motion/bvh/kzeqfilebiovision.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "formats/motion/common/kzeqmotionfileio.h"
#include "io/kstreamoptionsmotion.h"

namespace zeqsdk_400 {

namespace {

enum EJointKeyword { eOpenBrace = 0, eOffset, eChannels, eJointKeyword, eEndSite, eCloseBrace };
enum EMainKeyword { eHierarchy = 0, eMotion };
enum EMotionKeyword { eFrames = 0, eFrameTime };

const char* const kRotationNames[2] = {"Zrotation Yrotation Xrotation", "Zrotation Xrotation Yrotation"};

// An offset component this close to 0 is written as 0.
double Printable(double value) { return std::fabs(value) <= 1e-5 ? 0.0 : value; }

}  // namespace

KZeqFileBiovision::KZeqFileBiovision(bool messages) : KTextFile("BioVision", " \t\r\n", "", true, messages) {}

KZeqFileBiovision::~KZeqFileBiovision() {
    mJointList.clear();
    Close();
}

bool KZeqFileBiovision::Open(const char* path, const char* mode) {
    std::uintmax_t size = 0;
    const bool failed = ZeqOpenTextFile(*this, path, mode, size);
    mFileSize = size;
    return failed;
}

// ---- Hierarchy ---------------------------------------------------------------------------------

KBVHJoint* KZeqFileBiovision::NewJoint(KBVHJoint* parent, bool endSite) {
    mJointList.push_back(std::make_unique<KBVHJoint>());
    KBVHJoint* joint = mJointList.back().get();
    joint->mParent = parent;
    joint->mIsEndSite = endSite;
    if (parent) parent->mChildren.push_back(joint);
    return joint;
}

void KZeqFileBiovision::SkipKeywordTail() {
    char c = 0;
    while (PeakChar(c) && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) GetChar(c);
}

bool KZeqFileBiovision::ReadName(KBVHJoint* joint) { return GetString(joint->mName, KBVHJoint::kMaxNameLength); }

bool KZeqFileBiovision::ReadOffset(KBVHJoint* joint) {
    double values[3];
    if (Handle(mJoint) != eOffset) return false;
    SkipKeywordTail();
    if (!GetVector(values, 1.0)) return false;
    joint->mOffset = KZeqVector4(values[0], values[1], values[2], 1.0);
    return true;
}

bool KZeqFileBiovision::ReadChannels(KBVHJoint* joint) {
    int count = 0;
    if (Handle(mJoint) != eChannels) return false;
    SkipKeywordTail();
    if (!GetInteger(count)) return false;
    // The joint holds six channel slots: any other count is a damaged file.
    if (count < 0 || count > KBVHJoint::kMaxChannels) return false;
    joint->mChannelCount = count;
    mTotalChannels += count;
    for (int i = 0; i < count; ++i) {
        const int code = Handle(mChannels);
        if (code < 0) return false;
        joint->mChannelCodes[i] = code;
    }
    return true;
}

bool KZeqFileBiovision::ReadEndSite(KBVHJoint* parent) {
    KBVHJoint* site = NewJoint(parent, true);
    std::snprintf(site->mName, sizeof(site->mName), "%s", "End");
    return NextLine() && Handle(mJoint) == eOpenBrace && NextLine() && ReadOffset(site) && NextLine() &&
           Handle(mJoint) == eCloseBrace;
}

bool KZeqFileBiovision::ReadJointBlock(KBVHJoint* joint) {
    auto openBlock = [this](KBVHJoint* opened) {
        return NextLine() && Handle(mJoint) == eOpenBrace && NextLine() && ReadOffset(opened) && NextLine() &&
               ReadChannels(opened);
    };
    if (!openBlock(joint)) return false;
    // The joints whose blocks are open, innermost last.
    std::vector<KBVHJoint*> open{joint};
    while (!open.empty()) {
        if (!NextLine()) return false;
        switch (Handle(mJoint)) {
            case eJointKeyword: {
                KBVHJoint* child = NewJoint(open.back(), false);
                if (!ReadName(child) || !openBlock(child)) return false;
                open.push_back(child);
                break;
            }
            case eEndSite:
                if (!ReadEndSite(open.back())) return false;
                break;
            case eCloseBrace:
                open.pop_back();
                break;
            default:
                return false;
        }
    }
    return true;
}

bool KZeqFileBiovision::ReadRoot() {
    mJointList.clear();
    mTotalChannels = 0;
    KBVHJoint* root = NewJoint(nullptr, false);
    return ReadName(root) && ReadJointBlock(root);
}

bool KZeqFileBiovision::ReadHierarchy() {
    InitTokens(mJoint);
    InitTokens(mChannels);
    return Handle(mHierarchy) == 0 && ReadRoot();
}

bool KZeqFileBiovision::ReadMain(KStreamOptionsMotion* options) {
    InitTokens(mMain);
    if (!FirstLine()) return false;
    bool hierarchy = false;
    for (;;) {
        switch (Handle(mMain)) {
            case eHierarchy:
                if (!NextLine() || !ReadHierarchy()) return false;
                hierarchy = true;
                break;
            case eMotion:
                // Frames of no joints are not a motion file.
                return hierarchy && NextLine() && ReadMotionHeader(options);
            default:
                return false;
        }
        if (!NextLine()) return false;
    }
}

bool KZeqFileBiovision::ReadOptions(KStreamOptionsMotion* options) {
    InitTokens(mMain);
    if (!FirstLine()) return false;
    while (Handle(mMain) != eMotion)
        if (!NextLine()) return false;
    if (!NextLine() || !ReadMotionHeader(options)) return false;
    if (options) options->SetOption(KStreamOptionsMotion::eImportCreateReferenceNode, KStreamOptionsMotion::eOn);
    return true;
}

bool KZeqFileBiovision::ReadMotionHeader(KStreamOptionsMotion* options) {
    InitTokens(mMotion);
    int frames = 0;
    double frameTime = 0.0;
    if (Handle(mMotion) != eFrames || !GetInteger(frames)) return false;
    if (!NextLine() || Handle(mMotion) != eFrameTime || !GetDouble(frameTime, 1.0)) return false;
    mFrameCount = frames < 0 ? 0 : frames;
    mFrameTime = frameTime;
    if (frameTime > 0.0 && frameTime < std::numeric_limits<double>::max()) {
        // The nearest whole rate, a half going down (29.97 frames a second become 30).
        const double exact = 1.0 / frameTime;
        double rate = std::floor(exact);
        if (exact - rate > 0.5) rate += 1.0;
        if (options) options->SetTimeMode(KTime::eModeDefault, rate);
    } else if (options) {
        mFrameTime = 1.0 / options->GetFrameRate();
    }
    if (options) options->SetFrameCount(mFrameCount);
    return true;
}

// ---- Printing ----------------------------------------------------------------------------------

bool KZeqFileBiovision::PrintOffset(const KZeqVector4& offset, int indent) {
    return Print(indent, "%s %g %g %g\n", "OFFSET", Printable(offset[0]), Printable(offset[1]), Printable(offset[2]));
}

bool KZeqFileBiovision::PrintJointBegin(const char* name, bool isRoot, const KZeqVector4& offset, int indent,
                                        bool rotationOnly, bool zxyOrder) {
    bool ok = true;
    if (isRoot) {
        ok = Print(indent, "HIERARCHY\n") && Print(indent, "%s %s\n", "ROOT", name);
    } else {
        ok = Print(indent, "%s %s\n", "JOINT", name);
    }
    ok = ok && Print(indent, "{\n") && PrintOffset(offset, indent + 1);
    const char* rotations = kRotationNames[zxyOrder ? 1 : 0];
    if (!isRoot && rotationOnly) return ok && Print(indent + 1, "CHANNELS 3 %s\n", rotations);
    return ok && Print(indent + 1, "CHANNELS 6 Xposition Yposition Zposition %s\n", rotations);
}

bool KZeqFileBiovision::PrintJointEnd(int indent) { return Print(indent, "}\n"); }

bool KZeqFileBiovision::PrintJointEndSite(const KZeqVector4& offset, int indent) {
    return Print(indent, "End Site\n") && Print(indent, "{\n") && PrintOffset(offset, indent + 1) &&
           Print(indent, "}\n");
}

bool KZeqFileBiovision::PrintMotionHeader(int frameCount, double frameTime) {
    return Print(0, "MOTION\n") && Print(0, "%s\t%d\n", "Frames:", frameCount) &&
           Print(0, "%s\t%g\n", "Frame Time:", frameTime);
}

bool KZeqFileBiovision::PrintMotionFrameEnd() { return Print(0, "\n"); }

bool KZeqFileBiovision::PrintMotion(bool isRoot, const KZeqVector4& translation, const KZeqVector4& rotation,
                                    bool rotationOnly, bool /*zxyOrder*/) {
    if (!isRoot && rotationOnly) return Print(0, "%g %g %g ", rotation[2], rotation[1], rotation[0]);
    return Print(0, "%g %g %g %g %g %g ", translation[0], translation[1], translation[2], rotation[2], rotation[1],
                 rotation[0]);
}

}  // namespace zeqsdk_400
