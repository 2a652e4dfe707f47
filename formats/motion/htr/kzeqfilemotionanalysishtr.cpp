// Motion Analysis HTR text (hierarchical translations and rotations), as this
// reader takes it; sections in this order, "#" lines are comments:
//
//   [Header]                    "Key value" lines: FileType htr, DataType HTRS,
//                               FileVersion, NumSegments, NumFrames, DataFrameRate,
//                               EulerRotationOrder ZYX|YXZ|XZY|ZXY|YZX|XYZ,
//                               CalibrationUnits mm|cm|in, RotationUnits Degrees|Radians,
//                               GlobalAxisofGravity X|Y|Z, BoneLengthAxis X|Y|Z, ScaleFactor
//   [SegmentNames&Hierarchy]    "name parent" per segment; a parent that is no
//                               segment (GLOBAL) marks the root
//   [BasePosition]              "name Tx Ty Tz Rx Ry Rz length", hierarchy order
//   [<segment>]                 one section per segment, any order: NumFrames lines
//                               "frame Tx Ty Tz Rx Ry Rz SF"
//   [EndOfFile]
//
// Lengths are in calibration units divided by ScaleFactor; frame values are
// relative to the base position (translations added, rotations applied before it).

#include "formats/motion/htr/kzeqfilemotionanalysishtr.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "fileio/kconfigfile.h"
#include "io/kstreamoptionsmotion.h"

namespace zeqsdk_400 {

namespace {

const char kDelimiters[] = " \t\r\n";

const int kRotationOrderCodes[6] = {0, 8, 4, 6, 2, 10};  // ZYX YXZ XZY ZXY YZX XYZ
const double kCalibrationFactors[3] = {0.1, 1.0, 2.54};  // mm cm in

template <std::size_t N>
void Fill(KToken (&table)[N], std::initializer_list<const char*> words) {
    std::size_t i = 0;
    for (const char* word : words) table[i++] = {word, 0};
    for (; i < N; ++i) table[i] = {nullptr, 0};
}

}  // namespace

struct KZeqFileMotionAnalysisHtr::Tokens {
    KToken mMain[5], mHeader[13], mFileType[2], mDataType[2], mEulerOrder[7], mCalibration[4], mRotationUnits[3],
        mAxis[4];
    Tokens() {
        Fill(mMain, {"[Header]", "[SegmentNames&Hierarchy]", "[BasePosition]", "[EndOfFile]"});
        Fill(mHeader, {"FileType", "DataType", "FileVersion", "NumSegments", "NumFrames", "DataFrameRate",
                       "EulerRotationOrder", "CalibrationUnits", "RotationUnits", "GlobalAxisofGravity",
                       "BoneLengthAxis", "ScaleFactor"});
        Fill(mFileType, {"htr"});
        Fill(mDataType, {"HTRS"});
        Fill(mEulerOrder, {"ZYX", "YXZ", "XZY", "ZXY", "YZX", "XYZ"});
        Fill(mCalibration, {"mm", "cm", "in"});
        Fill(mRotationUnits, {"Degrees", "Radians"});
        Fill(mAxis, {"X", "Y", "Z"});
    }
};

void KZeqHtrSegment::Init(const char* name, const char* parent, int tag) {
    std::snprintf(mName, sizeof(mName), "%s", name ? name : "");
    std::snprintf(mParentName, sizeof(mParentName), "%s", parent ? parent : "");
    mTag = tag;
}

void KZeqHtrSegment::SetBasePosition(const KgeTVector& t, const KgeRVector& r, int order, double length) {
    for (int i = 0; i < 3; ++i) mBaseTranslation.mData[i] = t.mData[i];
    KmIJKtoR(mBaseRotation, r.mData[0], r.mData[1], r.mData[2], order);
    mLength = length;
}

KZeqFileMotionAnalysisHtr::KZeqFileMotionAnalysisHtr(bool messages)
    : KTextFile("HTR", kDelimiters, "#", true, messages), mTokens(std::make_unique<Tokens>()) {
    KConfigFile configuration("@Application.txt", false);
    const char* value = configuration.Get("MotionImportHTR", "MinimizeRotationOffset", "Yes");
    mMinimizeOffset = value && KString(value).CompareNoCase("Yes") == 0;
}

KZeqFileMotionAnalysisHtr::~KZeqFileMotionAnalysisHtr() = default;

bool KZeqFileMotionAnalysisHtr::ReadNumber(double& value) {
    double read = 0.0;
    if (!GetDouble(read, 1.0) || !std::isfinite(read)) return false;
    value = read;
    return true;
}

bool KZeqFileMotionAnalysisHtr::ReadVector(double* values) {
    double read[3];
    if (!GetVector(read, 1.0)) return false;
    for (double v : read)
        if (!std::isfinite(v)) return false;
    std::memcpy(values, read, sizeof(read));
    return true;
}

// ---- Header --------------------------------------------------------------------------------

bool KZeqFileMotionAnalysisHtr::ReadHeader(KStreamOptionsMotion* options) {
    Tokens& t = *mTokens;
    InitTokens(t.mHeader);
    auto table = [this](KToken* tokens) {
        InitTokens(tokens);
        return Handle(tokens);
    };
    auto fail = [this](const char* message) { return !Error("%s\n", message); };
    switch (Handle(t.mHeader)) {
        case 0:
            if ((mFileType = table(t.mFileType)) < 0) return fail("Unknown file type");
            break;
        case 1:
            if ((mDataType = table(t.mDataType)) < 0) return fail("Unknown data type");
            break;
        case 2:
            if (!GetInteger(mFileVersion)) Warning("Can't read version\n");
            break;
        case 3:
            if (!GetInteger(mSegmentCount) || mSegmentCount < 0) return fail("Can't read segment count");
            break;
        case 4:
            if (!GetInteger(mFrameCount) || mFrameCount < 0) return fail("Can't read frame count");
            if (options) options->SetFrameCount(mFrameCount);
            break;
        case 5:
            if (!GetInteger(mDataFrameRate)) return fail("Can't read data frame rate");
            if (options) options->SetTimeMode(KTime::eModeDefault, mDataFrameRate);
            break;
        case 6: {
            const int index = table(t.mEulerOrder);
            if (index < 0) return fail("Unknown euler rotation order");
            mEulerOrder = index;
            mRotationOrder = kRotationOrderCodes[index];
            break;
        }
        case 7: {
            const int index = table(t.mCalibration);
            if (index < 0) {
                Warning("Unknown calibration units\n");
            } else {
                mCalibrationUnits = index;
                mCalibrationFactor = kCalibrationFactors[index];
            }
            break;
        }
        case 8: {
            const int index = table(t.mRotationUnits);
            if (index < 0) return fail("Unknown rotation units");
            mRotationUnits = index;
            mRotationFactor = index == 0 ? 1.0 : KM_RAD_TO_DEG;
            break;
        }
        case 9: {
            const int index = table(t.mAxis);
            if (index < 0)
                Warning("Unknown axis of gravity\n");
            else
                mGravityAxis = index;
            break;
        }
        case 10: {
            const int index = table(t.mAxis);
            if (index < 0) return fail("Unknown bone length axis");
            mBoneLengthAxis = index;
            KgeTVector axis(0.0, 0.0, 0.0, 0.0);
            axis.mData[index] = 1.0;
            KgeQuaternion q;
            KgeSetQuaternion(q, axis);
            KmQtoR(mBoneAxis, q);
            break;
        }
        case 11: {
            // A scale factor of 0 would divide every length by zero.
            double factor = 0.0;
            if (!ReadNumber(factor) || factor == 0.0) return fail("Can't read scale factor");
            mScaleFactor = factor;
            break;
        }
        default: break;
    }
    return true;
}

bool KZeqFileMotionAnalysisHtr::ReadOptions(KStreamOptionsMotion* options) {
    if (options)
        options->SetOption(KStreamOptionsMotion::eImportCreateReferenceNode, KStreamOptionsMotion::eOn);
    Tokens& t = *mTokens;
    mState = EState::kNone;
    bool header = false;
    bool loaded = FirstLine();
    while (loaded) {
        InitTokens(t.mMain);
        const int section = Handle(t.mMain);
        if (section == 0) {
            header = true;
            mState = EState::kHeader;
        } else if (section > 0) {
            return header;
        } else if (mState == EState::kHeader && *GetCursor() != '#' && !ReadHeader(options)) {
            return false;
        }
        loaded = NextLine();
    }
    return header && IsEndOfFile();
}

// ---- Hierarchy and base positions -------------------------------------------------------------

bool KZeqFileMotionAnalysisHtr::ReadSegments() {
    char name[KZeqHtrSegment::kMaxNameLength + 1];
    char parent[KZeqHtrSegment::kMaxNameLength + 1];
    if (!GetString(name, KZeqHtrSegment::kMaxNameLength)) return !Error("Can't read segment name\n");
    if (!GetString(parent, KZeqHtrSegment::kMaxNameLength)) return !Error("Can't read parent name\n");
    auto segment = std::make_unique<KZeqHtrSegment>();
    segment->Init(name, parent, mDataType);
    mSegments.push_back(std::move(segment));
    if (++mCounter == mSegmentCount) mState = EState::kNone;
    return true;
}

bool KZeqFileMotionAnalysisHtr::ReadBasePosition() {
    char name[KZeqHtrSegment::kMaxNameLength + 1];
    double t[3], r[3], length = 0.0;
    if (!GetString(name, KZeqHtrSegment::kMaxNameLength)) return !Error("Can't read segment name\n");
    if (!ReadVector(t)) return !Error("Can't read segment base translation\n");
    if (!ReadVector(r)) return !Error("Can't read segment base rotation\n");
    if (!ReadNumber(length)) return !Error("Can't read segment length\n");
    // Base lines come in hierarchy order.
    if (mCounter >= GetSegmentCount() || std::strcmp(name, mSegments[static_cast<std::size_t>(mCounter)]->mName) != 0)
        return false;
    const double scale = mCalibrationFactor / mScaleFactor;
    const KgeTVector translation(t[0] * scale, t[1] * scale, t[2] * scale);
    const KgeRVector rotation(r[0] * mRotationFactor, r[1] * mRotationFactor, r[2] * mRotationFactor);
    mSegments[static_cast<std::size_t>(mCounter)]->SetBasePosition(translation, rotation, mRotationOrder,
                                                                    length * scale);
    if (++mCounter == mSegmentCount) {
        mState = EState::kFrames;
        mCounter = 0;
    }
    return true;
}

bool KZeqFileMotionAnalysisHtr::ReadMain(KStreamOptionsMotion*) {
    Tokens& t = *mTokens;
    mState = EState::kNone;
    mSegments.clear();
    mCounter = 0;
    bool header = false;
    bool hierarchy = false;
    bool loaded = FirstLine();
    if (loaded && *GetCursor() == '#') loaded = NextLine();
    while (loaded) {
        InitTokens(t.mMain);
        switch (Handle(t.mMain)) {
            case 0:
                header = true;
                mState = EState::kHeader;
                break;
            case 1:
                if (!header) return !Error("Header not found\n");
                mSegments.clear();
                mCounter = 0;
                mState = EState::kHierarchy;
                hierarchy = true;
                break;
            case 2:
                if (!hierarchy) return !Error("Hierarchy not found\n");
                if (GetSegmentCount() != mSegmentCount) return !Error("Bad segment count\n");
                mCounter = 0;
                mState = EState::kBasePosition;
                break;
            case 3: return !Error("Animation data not found\n");
            default:
                switch (mState) {
                    case EState::kHeader:
                        if (!ReadHeader(nullptr)) return false;
                        break;
                    case EState::kHierarchy:
                        if (!ReadSegments()) return false;
                        break;
                    case EState::kBasePosition:
                        if (!ReadBasePosition()) return false;
                        break;
                    case EState::kFrames: return true;
                    case EState::kNone: break;
                }
                break;
        }
        loaded = NextLine();
    }
    if (IsEndOfFile()) Error("Unexpected end of file\n");
    return false;
}

// ---- Printing --------------------------------------------------------------------------------

bool KZeqFileMotionAnalysisHtr::PrintHeader(int segments, int frames, int rate) {
    bool ok = Print(0, "[Header]\n");
    ok = Print(0, "FileType HTR\n") && ok;
    ok = Print(0, "DataType HTRS\n") && ok;
    ok = Print(0, "FileVersion 1\n") && ok;
    ok = Print(0, "NumSegments %d\n", segments) && ok;
    ok = Print(0, "NumFrames %d\n", frames) && ok;
    ok = Print(0, "DataFrameRate %d\n", rate) && ok;
    ok = Print(0, "EulerRotationOrder ZYX\n") && ok;
    ok = Print(0, "CalibrationUnits mm\n") && ok;
    ok = Print(0, "RotationUnits Degrees\n") && ok;
    ok = Print(0, "GlobalAxisofGravity Y\n") && ok;
    ok = Print(0, "BoneLengthAxis Y\n") && ok;
    return Print(0, "ScaleFactor 1.0\n") && ok;
}

bool KZeqFileMotionAnalysisHtr::PrintHierarchyHeader() { return Print(0, "[SegmentNames&Hierarchy]\n"); }

bool KZeqFileMotionAnalysisHtr::PrintHierarchy(const char* name, const char* parent) {
    return Print(0, "%s\t%s\n", name, parent ? parent : "GLOBAL");
}

bool KZeqFileMotionAnalysisHtr::PrintBasePositionHeader() { return Print(0, "[BasePosition]\n"); }

bool KZeqFileMotionAnalysisHtr::PrintBasePosition(const char* name, const KgeTVector& t, const KgeRVector& r,
                                                  double length) {
    // Adding 0 turns negative zeros into plain ones.
    return Print(0, "%s\t%g\t%g\t%g\t%g\t%g\t%g\t%g\n", name, t.mData[0] + 0.0, t.mData[1] + 0.0, t.mData[2] + 0.0,
                 r.mData[0] + 0.0, r.mData[1] + 0.0, r.mData[2] + 0.0, length + 0.0);
}

bool KZeqFileMotionAnalysisHtr::PrintAnimationHeader(const char* name) { return Print(0, "[%s]\n", name); }

bool KZeqFileMotionAnalysisHtr::PrintAnimation(int frame, const KgeTVector& t, const KgeRVector& r) {
    return Print(0, "%d\t%g\t%g\t%g\t%g\t%g\t%g\t1.0\n", frame, t.mData[0] + 0.0, t.mData[1] + 0.0, t.mData[2] + 0.0,
                 r.mData[0] + 0.0, r.mData[1] + 0.0, r.mData[2] + 0.0);
}

bool KZeqFileMotionAnalysisHtr::PrintFooter() { return Print(0, "[EndOfFile]\n"); }

}  // namespace zeqsdk_400
