#ifndef ZEQ_IO_KZEQSCENERECORDS_H
#define ZEQ_IO_KZEQSCENERECORDS_H

#include <vector>

#include "base/kstring.h"
#include "fcurve/kfcurvebake.h"

namespace zeqsdk_400 {

class KFCurveNode;
class KZeq;
class KZeqSceneInfo;
class KZeqSdkManager;
class KZeqNode;
class KZeqTakeInfo;
class KZeqThumbnail;
class KTimeSpan;

// The small document records of Zeq files, read and written field for field
// the same way by the reader and both writers:
//
//   "Thumbnail" {                       (nothing at all for an unsized one)
//     "Version" 100, "Format" 0|1, "Size" 0|64|128, "ImageEncoding" 0,
//     "ImageData" one int per byte of the image
//   }
//   "SceneInfo" "SceneInfo::GlobalInfo" {
//     "Type" "UserData", "Version" 100, ["Thumbnail"],
//     "MetaData" { "Version" 100, "Title", "Subject", "Author", "Keywords", "Revision", "Comment" }
//   }
//   "Summary" {                         (alone in an extension section)
//     "Version" 101, "Template" 0|1, "PasswordProtection" 0|1,
//     "ContentCount" { "Version" "100", "Model", "Device", "Character", "Actor", "Constraint", "Media" },
//     ["SceneInfo"],
//     "Takes" { "Version" 101, "Current" name,
//               "Take" name { ["Comments"], "LocalTime", "ReferenceTime", ["Thumbnail"] } ... }
//   }

// A new thumbnail made through the manager from the next "Thumbnail" field of
// the current block; null (nothing left behind) when there is none or it
// cannot be used.
KZeqThumbnail* ZeqReadThumbnail(KZeq& file, KZeqSdkManager& manager);
bool ZeqWriteThumbnail(KZeq& file, const KZeqThumbnail* thumbnail);
// A new scene information (and thumbnail) made through the manager; null when
// there is no "SceneInfo" field or it is not of the "UserData" type.
KZeqSceneInfo* ZeqReadSceneInfo(KZeq& file, KZeqSdkManager& manager);
// Nothing for null.
void ZeqWriteSceneInfo(KZeq& file, const KZeqSceneInfo* info);

// What a "Summary" tells; the pointers are not owned.
struct ZeqSummary {
    enum { eCountCount = 6 };
    bool mTemplate = false;
    bool mPasswordProtection = false;
    int mCounts[eCountCount] = {0, 0, 0, 0, 0, 0};
    const KZeqSceneInfo* mSceneInfo = nullptr;
    KString mCurrentTake;
    std::vector<const KZeqTakeInfo*> mTakes;
};
// Writes the record into the open section; false when the field file refused.
bool ZeqWriteSummary(KZeq& file, const ZeqSummary& summary);

// The name a file gives an object of the scene's own (its root, its switcher) that a model of the
// file may also bear: base, unless taken(name) says an object of the file holds it; then the first
// of base~1, base~2, ... that none holds, so that both read back as written. The writer and the
// reader walk the same names.
template <class Taken>
KString ZeqNameApart(const char* base, Taken taken) {
    KString name(base);
    for (int k = 1; taken(name.Buffer()); ++k) {
        name = base;
        name += "~";
        name += k;
    }
    return name;
}

// The name a version-6 file's "Connections" give the scene root ("Model::Scene~1" beside a model
// named "Scene"); taken(name) tells whether an object of the file holds one.
template <class Taken>
KString ZeqSceneRootName(Taken taken) {
    return ZeqNameApart("Model::Scene", taken);
}

// The name of the camera switcher's take records ("Model::Camera Switcher~1" beside a model named
// "Camera Switcher"); taken(name) tells whether a model below the root holds one.
template <class Taken>
KString ZeqSwitcherTakeName(Taken taken) {
    return ZeqNameApart("Model::Camera Switcher", taken);
}

// The top-level records of a scene file's main section, by the layouts that hold them. Its
// extension sections hold a "Summary" (and what other programs add): one of these there, of the
// file's layout, that the main section lacks means a section line split the scene.
struct ZeqMainSectionRecord {
    const char* mName;
    bool mVersion6;
    bool mBeforeVersion6;
};
extern const ZeqMainSectionRecord kZeqMainSectionRecords[];
extern const int kZeqMainSectionRecordCount;

// How many nodes lie below top, on a stack of its own: trees read from files may be deep.
int ZeqCountNodesBelow(const KZeqNode& top);

// A take's curve-node tree baked as the reader's "merge layers and time warps" option bakes it:
// layers and time warps into plain curves, a model's rotation curves in its rotation order (model
// null: in the order the tree holds), over the take's span (its local time; none or an empty one:
// the keys' alone). The writers bake what no file holds with it. True when a node's animation
// plays more within the take's span than a bake takes (KFCurveBakeSpan::mCut; mostSamples, its
// mMostSamples): that node is baked over its keys alone.
bool ZeqMergeTakeTree(KFCurveNode* tree, const KZeqNode* model, const KTimeSpan* take = nullptr,
                      kULongLong mostSamples = kKFCurveBakeMostSamples);
// How the messages of a cut bake name its bound: "ten million", else its digits ("250,000").
KString ZeqBakeBoundText(kULongLong most);

// A user property's name without its " (Real)" (or other type) suffix: the
// name a 5.8 file stores it and its channels under.
void RemoveTypeIdentifierFromName(KString& name);

}  // namespace zeqsdk_400

#endif
