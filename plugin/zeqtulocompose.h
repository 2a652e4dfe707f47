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
// Translation, rotation (X first) and scaling of the node's current take at time (its default
// values in the default take) as one matrix: its pivots and rotation order take no part.
zeqsdk_400::KZeqXMatrix TakeValuesMatrix(zeqsdk_400::KZeqNode& node, zeqsdk_400::KTime time);
// Composes above after the node's local transform (the node's own applied first): into its
// default translation, rotation and scaling, into the values the current take holds where it has
// no key and, key by key, into its transform keys of the current take. The number of key times;
// exact, when given, tells whether the default values hold the composed matrix (a scaling that is
// not uniform under a rotation shears, which they cannot). Pivots and rotation orders take no part.
std::size_t ComposeIntoLocal(zeqsdk_400::KZeqNode& node, const zeqsdk_400::KZeqXMatrix& above, bool* exact = nullptr);
// Whether the node's transform takes pivots or a rotation order other than XYZ, which a matrix
// composed into its translation, rotation and scaling leaves out.
bool TakesPivots(const zeqsdk_400::KZeqNode& node);
// Whether composing above into the node's translation, rotation and scaling gives its whole
// transform, pivots and rotation order included, the composed matrix (a shear aside): the parts of
// them that above would have to pass through are neutral, or above keeps them as they are.
bool PivotsHold(const zeqsdk_400::KZeqNode& node, const zeqsdk_400::KZeqXMatrix& above);

// The part of the node's transform that comes before its rotation, as the host builds pivot set
// 0 of the file (in effect or not), with the given scaling: the scaling about the scaling pivot,
// the scaling offset, the rotation pivot taken out and the post-rotation undone. What follows it
// (rotation, pre-rotation, the pivot put back, offsets, translation) stays as it is where only
// these change, so what the children must take then is ChildrenCorrection of the two.
zeqsdk_400::KZeqXMatrix BeforeRotation(const zeqsdk_400::KZeqNode& node, const zeqsdk_400::KZeqVector4& scaling);
// BeforeRotation at each of the scalings.
std::vector<zeqsdk_400::KZeqXMatrix> BeforeRotations(const zeqsdk_400::KZeqNode& node,
                                                     const std::vector<zeqsdk_400::KZeqVector4>& scalings);
// Composed after a child's own transform, keeps the child's place in the world when its parent's
// part before the rotation goes from `from` to `to`.
zeqsdk_400::KZeqXMatrix ChildrenCorrection(const zeqsdk_400::KZeqXMatrix& from, const zeqsdk_400::KZeqXMatrix& to);
// ChildrenCorrection where the node's part before the rotation goes from from[k] to BeforeRotation
// of its scaling to[k], at each time k (its values without keys first, then its scaling keys'):
// the correction at the first; varies when it is another at some other time, which children
// composed once cannot follow.
zeqsdk_400::KZeqXMatrix ChildrenCorrectionOverTime(const zeqsdk_400::KZeqNode& node,
                                                   const std::vector<zeqsdk_400::KZeqXMatrix>& from,
                                                   const std::vector<zeqsdk_400::KZeqVector4>& to, bool& varies);
bool SameMatrix(const zeqsdk_400::KZeqXMatrix& a, const zeqsdk_400::KZeqXMatrix& b);
// Where the node's post-rotation has gone from `before` to what it holds now (a turn taking its
// place before the rotation, inside the rotation pivot) and its scaling goes from from[k] to to[k],
// sets the scaling pivot and offset of its pivot set 0 that keep its origin where it was at the
// first of them, its scaling pivot the same point in its turned axes. False when its origin then
// differs at another of them: a keyed scaling about a scaling pivot that the change cannot follow.
bool KeepOriginThroughTurn(zeqsdk_400::KZeqNode& node, const zeqsdk_400::KZeqVector4& before,
                           const std::vector<zeqsdk_400::KZeqVector4>& from,
                           const std::vector<zeqsdk_400::KZeqVector4>& to);
// The log line for a node whose origin KeepOriginThroughTurn keeps at one time only, naming it;
// about as ComposeNoted's.
std::string OriginAtOneTimeNote(const zeqsdk_400::KZeqNode& node, const std::string& about);
// The node's scaling at each key time of its scaling curves in the current take (none when that
// is the default take).
std::vector<zeqsdk_400::KZeqVector4> KeyedScalings(zeqsdk_400::KZeqNode& node);

// Composes above into the node's local values (ComposeIntoLocal); the log lines for what its values
// cannot hold, each naming the node: about says what is composed ("the forward-axis turn of the
// camera Cam"); varies: above holds at one time only (the parent's keys change it).
std::vector<std::string> ComposeNoted(zeqsdk_400::KZeqNode& node, const zeqsdk_400::KZeqXMatrix& above,
                                      const std::string& about, bool varies = false);
// Composes above into the local values of each child of parent, so that the children keep their
// place in the world when the parent's transform changes by above's inverse; ComposeNoted's lines.
std::vector<std::string> ComposeIntoChildren(zeqsdk_400::KZeqNode& parent, const zeqsdk_400::KZeqXMatrix& above,
                                             const std::string& about, bool varies = false);

#endif
