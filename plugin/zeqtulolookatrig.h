// A camera's look-at rig, in the file and in the host.
//
// In the file, as the export writes it and the import reads it back: a group node holding the
// camera, the camera's aim and, when it has one there, its up node, and maybe nodes of the user's
// beside them. Whatever the names, the structure says what a rig is, so that every group, under
// whatever parent, reads back as the rig it was written from.
//
// In the host: a look-at group, which the host's camera command makes holding the camera, its aim
// and, when asked, its up node (in this order), the aim and the up node transforms carrying
// locators the command names "<camera>_aimShape" and "<camera>_upShape". Those locators tell the
// host which node is the aim and which the up node wherever they stand in the group, whatever
// nodes the user puts beside them.
#ifndef ZEQ_PLUGIN_ZEQTULOLOOKATRIG_H
#define ZEQ_PLUGIN_ZEQTULOLOOKATRIG_H

#include <cstddef>
#include <vector>

#include "tobject.h"

namespace zeqsdk_400 {
class KZeqNode;
}

struct ZeqTuloLookAtRig {
    zeqsdk_400::KZeqNode* mGroup = nullptr;
    zeqsdk_400::KZeqNode* mCamera = nullptr;
    zeqsdk_400::KZeqNode* mAim = nullptr;
    zeqsdk_400::KZeqNode* mUp = nullptr;  // null when the rig has none
    explicit operator bool() const { return mCamera != nullptr; }
};

// The rig the node is the group of, its camera's targets saying which child is which; empty when
// it is none. The group is a null or a node without attribute; the camera is the first of its
// cameras aimed at another of its children (the aim), wherever it stands, its up node the camera's
// up node when the group holds it.
// Every other child is the user's, as the export writes a host look-at group holding the user's
// nodes; a group holding more than a rig and another camera is the parent of its cameras.
ZeqTuloLookAtRig FindLookAtRig(zeqsdk_400::KZeqNode* group);

// What a node of a host look-at group tells the host of its part in the rig.
enum class ZeqTuloRigMark { eNone, eCamera, eAim, eUp };

// The mark of a locator so named: the camera command's name of an aim's or up node's locator
// ("<camera>_aimShape", "<camera>_upShape"; the host's number after a taken name, or after the
// node's name, allowed), else none.
ZeqTuloRigMark LocatorMark(const char* name);

// Where the camera, the aim and the up node of a look-at group stand among its nodes; -1 for none.
struct ZeqTuloRigPlaces {
    int mCamera = -1;
    int mAim = -1;
    int mUp = -1;
    bool Aims() const { return mCamera >= 0 && mAim >= 0; }
};

// What the host makes of a look-at group, its nodes' marks in the group's order; every node that
// is neither camera, aim nor up node is the user's. The camera is the group's first camera. The
// aim is the first node carrying an aim's locator; where none does, the node right after the
// camera (a target of the file's that came in as itself), unless it carries an up node's. The up
// node is the first other node carrying an up node's locator; where the group carries neither
// mark (none of its nodes was made as the command makes them), the node right after the aim.
ZeqTuloRigPlaces HostRigPlaces(const std::vector<ZeqTuloRigMark>& marks);

// The mark of a host node of a look-at group: a camera when it carries one, else the mark of its
// first locator.
ZeqTuloRigMark HostRigMark(const TObject& node);

// A host look-at group: its nodes (its children that are no shapes, in order) and what the host
// makes of them (HostRigPlaces). Empty for a node that is no look-at group.
struct ZeqTuloHostRig {
    std::vector<TObject> mNodes;
    ZeqTuloRigPlaces mPlaces;
    TObject At(int place) const { return place >= 0 ? mNodes[static_cast<std::size_t>(place)] : TObject(); }
    TObject Camera() const { return At(mPlaces.mCamera); }
    TObject Aim() const { return At(mPlaces.mAim); }
    TObject Up() const { return At(mPlaces.mUp); }
};
ZeqTuloHostRig ReadHostRig(const TObject& group);

#endif  // ZEQ_PLUGIN_ZEQTULOLOOKATRIG_H
