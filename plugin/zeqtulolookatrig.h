// A camera's look-at rig, as the export writes it and the import reads it back: a group node (a
// null or a node without attribute) holding the camera, the camera's aim and, when it has one
// there, its up node, and nothing else. The host's camera command makes such a group (camera, aim,
// up, in this order); whatever the names, the structure alone says what a rig is, so that every
// group, under whatever parent, reads back as the rig it was written from.
#ifndef ZEQ_PLUGIN_ZEQTULOLOOKATRIG_H
#define ZEQ_PLUGIN_ZEQTULOLOOKATRIG_H

#include <algorithm>
#include <cstddef>
#include <vector>

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
// it is none. Where two cameras of a group could each be its camera (each aimed at the other),
// the first in child order is.
ZeqTuloLookAtRig FindLookAtRig(zeqsdk_400::KZeqNode* group);

// Whether the host aims the first node of a look-at group of that many nodes: at the node after it,
// its up node the one after that, whatever else the group holds (a node the user put in it).
inline bool HostAimsFirstNode(std::size_t nodes) { return nodes >= 2; }

// The rig of a host look-at group, whose children come in the host's order (camera, aim, up):
// when the first child is a camera, its targets are set from that order, as the host aims it; the
// answer is what FindLookAtRig finds in the group then (empty when the group holds more than a
// rig, or its first child is no camera).
ZeqTuloLookAtRig MakeLookAtRig(zeqsdk_400::KZeqNode* group);

// Whether a merge binds a host look-at group, its nodes in the host's order (held), to a rig of
// the file (rig: its camera, aim and up node, those that may be in the group, in this order): the
// rig's nodes the group holds come in the rig's order, the camera, when held, first of all. Any
// other node of the group is the user's: it neither binds nor stands in the way, and stays.
template <class Node>
bool HoldsRigInOrder(const std::vector<Node>& held, const std::vector<Node>& rig) {
    std::size_t next = 0;
    for (std::size_t i = 0; i < held.size(); ++i) {
        const auto found = std::find(rig.begin(), rig.end(), held[i]);
        if (found == rig.end()) continue;
        const std::size_t at = static_cast<std::size_t>(found - rig.begin());
        if (at < next || (at == 0 && i != 0)) return false;
        next = at + 1;
    }
    return true;
}

#endif  // ZEQ_PLUGIN_ZEQTULOLOOKATRIG_H
