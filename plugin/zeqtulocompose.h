#ifndef ZEQ_PLUGIN_ZEQTULOCOMPOSE_H
#define ZEQ_PLUGIN_ZEQTULOCOMPOSE_H

#include <cstddef>
#include <string>
#include <vector>

#include "base/ktime.h"
#include "base/kzeqmatrix.h"

namespace zeqsdk_400 {
class KZeqNode;
}  // namespace zeqsdk_400

// Moving a transform from a node into its children's local values, which the export and the import
// both do where the host and the file put a transform in different places.

// Every key time of the node's translation, rotation and scaling curves in the current take (none
// when that is the default take).
std::vector<zeqsdk_400::KTime> TransformKeyTimes(zeqsdk_400::KZeqNode& node);
// Composes above after the node's local transform (the node's own applied first): into its
// default translation, rotation and scaling, into the values the current take holds where it has
// no key and, key by key, into its transform keys of the current take. The number of key times;
// exact, when given, tells whether the default values hold the composed matrix (a scaling that is
// not uniform under a rotation shears, which they cannot). Pivots and rotation orders take no part.
std::size_t ComposeIntoLocal(zeqsdk_400::KZeqNode& node, const zeqsdk_400::KZeqXMatrix& above, bool* exact = nullptr);
// Whether the node's transform takes pivots or a rotation order other than XYZ, which a matrix
// composed into its translation, rotation and scaling leaves out.
bool TakesPivots(const zeqsdk_400::KZeqNode& node);
// Composes turn (a rotation) into the local values of each child of parent, so that the children
// keep their place in the world when the parent's transform gains the turn's inverse. The log
// lines for what the children's values cannot hold; about names the parent in them.
std::vector<std::string> ComposeIntoChildren(zeqsdk_400::KZeqNode& parent, const zeqsdk_400::KZeqXMatrix& turn,
                                             const std::string& about);

#endif
