#ifndef ZEQ_PLUGIN_ZEQTULOUTILITY_H
#define ZEQ_PLUGIN_ZEQTULOUTILITY_H

#include "base/kstring.h"
#include "tdagpath.h"
#include "tfntransform.h"
#include "titdependencygraph.h"

namespace zeqsdk_400 {
class KFCurve;
class KZeqMatrix;
class KZeqNode;
}  // namespace zeqsdk_400

class TFnDependencyNode;
class ZeqTuloNode;

// Stateless helpers on host nodes, paths, plugs and transforms shared by the export, the import
// and the commands. Every member is static.
class ZeqTuloUtility {
public:
    ZeqTuloUtility() = delete;

    // ---- Names and paths (zeqtuloutility_strings.cpp)
    // A copy of text with every occurrence of find replaced, in a buffer that the next call
    // overwrites. The search goes on after each replacement, so a replacement holding the searched
    // text is not searched again.
    static char* Replace(const char* text, const char* find, const char* with);
    static zeqsdk_400::KString& Replace(zeqsdk_400::KString& text, const char* find, const char* with);
    // Cuts text to the part from the first open (kept) up to the next close (dropped), or to the
    // end; false, text unchanged, when open does not occur.
    static bool GetStringBetweenToken(zeqsdk_400::KString& text, char open, char close);
    // The host's default cameras and their shapes, and the producer cameras (exact names).
    static bool IsCameraNameReserved(const char* name);
    // The path's full name with "|" shown as " / ", cut to 87 + " ... " + 88 characters past 180;
    // empty for a null path.
    static zeqsdk_400::KString MakeReadablePath(const TDagPath* path);
    static zeqsdk_400::KString MakeItReadable(const zeqsdk_400::KString& text);
    // One of 20 curve colours; the index wraps both ways.
    static void SetShapeCurveColor(zeqsdk_400::KFCurve& curve, int index);

    // ---- Units (zeqtuloutility_identity.cpp)
    // Centimetres per host UI distance unit (host code 7 is the kilometre, 8 the metre).
    static double DistanceUnitRatio();
    // Host UI time units per second (codes 7 and 8 both 30; codes outside the table 1).
    static double TimeUnitRatio();

    // ---- Transforms (zeqtuloutility_transform.cpp). Angles exchanged in degrees; the setters
    // first zero the three plugs found, then set them.
    static void GetRotateAxis(const TFnTransform& t, TPoint& p);
    static void GetJointOrient(const TFnTransform& t, TPoint& p);
    static void SetRotateAxis(const TFnTransform& t, const TPoint& p);
    static void SetJointOrient(const TFnTransform& t, const TPoint& p);
    // Host orders 1 to 6 as 0 to 5; other codes 0.
    static int GetRotationOrder(const TFnTransform& t);
    // The turn from the file's forward axis of a spot or directional light (-Y) to the host's
    // (-Z), and of a camera (+X) to the host's (-Z): rows are the images of the axes. The export
    // puts it into the post-rotation of such nodes; the import takes it out again.
    static const double (&LightAxes())[4][4];
    static const double (&CameraAxes())[4][4];
    // What the import appends to the name of a blend-shape deformer it makes; the export takes it
    // off again, so that the shapes' names stay what the file gave them.
    static constexpr const char* kBlendShaperSuffix = "_BlendShaper";
    // A translate, rotate or scale channel driven by a curve with keys.
    static bool IsAnimated(TFnTransform& t);
    // An attribute of class 2 and type 548 driven by a curve with keys.
    static bool IsUserPropertiesAnimated(TFnTransform& t);
    // The first node of the type on the host's walk from start (traversal 1, level 1) in the
    // direction, through the filter; found is written only on success.
    static bool GetDependencyOfThisType(TObject* start, unsigned int type, TObject* found,
                                        TItDependencyGraph::Direction direction, TFn::Type filter);
    // The same, true only when that first node also has the name; found is set either way.
    static bool GetDependencyOfThisTypeAndName(TObject* start, unsigned int type, const char* name, TObject* found,
                                               TItDependencyGraph::Direction direction, TFn::Type filter);
    // The local transform (space 1) to and from translation, rotation quaternion and scale.
    static void SetTFnTransformNode(TFnTransform& t, zeqsdk_400::KZeqMatrix& m);
    static void GetTFnTransformNode(TFnTransform& t, zeqsdk_400::KZeqMatrix& m);
    // No caller needs the camera and interest conversion: it changes nothing.
    static void MatrixConvertCameraInterest(zeqsdk_400::KZeqNode& camera, zeqsdk_400::KZeqNode& interest);

    // ---- Plugs (zeqtuloutility_plugs.cpp)
    // The named plug of the host node at the node's (or the given) DAG path; failure (code 1)
    // without a path, out plug untouched until the host's findPlug runs.
    static TStatus FindPlug(ZeqTuloNode& node, TPlug& plug, const char* name);
    static TStatus FindPlug(const TDagPath* path, TPlug& plug, const char* name);
    // Full DAG path + "." + long partial name; a plug off the DAG: its info(). Always success.
    static TStatus GetPlugUniqueName(const TPlug& plug, TString& name);
    // "setAttr <name> -type "matrix" v0 ... v15"; with useInfo the plug's info() names it.
    static void SetPlugMatrix(const TPlug& plug, const double* values, bool useInfo);
    // Prints "Plug not found : <name>" and answers false when the node lacks it.
    static bool GetPlug(TFnDependencyNode& node, const char* name, TPlug& plug);

    // ---- Bind poses (zeqtuloutility_bindpose.cpp)
    // The node's bind-pose world matrix: its own "bindPose", else its "worldMatrix" element in the
    // first dag pose downstream with "bindPose" on. True with 16 values only; else the matrix is
    // left as it was.
    static bool GetBindPoseMatrix(ZeqTuloNode* node, zeqsdk_400::KZeqMatrix& matrix);
    // Writes a world bind matrix: to the node's own "bindPose", else to its "xformMatrix" element,
    // relative to the parent's bind matrix when that one can be read (W x P^-1).
    static bool SetBindPoseMatrix(ZeqTuloNode* node, zeqsdk_400::KZeqMatrix& matrix);

    // ---- Pre- and post-rotation (zeqtuloutility_rotation.cpp)
    // The matrix with Post^-1 . R . Pre^-1 as its rotation (XYZ, pivot set 0), its translation
    // and signed scaling kept.
    static void RemovePreAndPostFromRotation(zeqsdk_400::KZeqNode* node, zeqsdk_400::KZeqMatrix& matrix);
};

// ---- Names and paths (zeqtuloutility_strings.cpp)
// Appends the blank-separated parts of in to out (out is not cleared).
void SpaceRemover(const TString& in, TString& out);
// The first DAG path (breadth first) whose partial or full name equals name.
bool ExtractPartialPath(TString name, TDagPath& found);
bool ExtractFullPath(TString name, TDagPath& found);
// Full names (beginning with "|") by full path, others by partial path.
bool ExtractPath(TString name, TDagPath& found);

// ---- Node identity (zeqtuloutility_identity.cpp)
// The plug-in's tag on host nodes: a hidden, storable, not connectable short attribute
// "quorbelTypeID" ("zeqID") of class 2, added on first use.
void FMSetQuorbelID(TObject& node, int id);
// The tag's value; 0 when the node has none or it cannot be read.
int FMGetQuorbelID(TObject& node);
// True for the tag's attribute: the plug-in's own, not a user's.
bool FMIsQuorbelTag(const TObject& attribute);
// The node of root's subtree (root first, then children last to first, depth first) standing for
// the path; null when none.
ZeqTuloNode* GetZeqNodeFromDagPath(ZeqTuloNode* root, const TDagPath* path);
// qsort/bsearch order of 32-bit values compared as unsigned.
int ArrayTemplateCompareFctU32(const void* a, const void* b);

// ---- Transforms without unit conversion (zeqtuloutility_transform.cpp); names: three plug names.
void GetAttributeVector(const TFnTransform& t, const TString* names, TPoint& p);
void SetAttributeVector(const TFnTransform& t, const TString* names, const TPoint& p);
void GetTuloRotateAxis(const TFnTransform& t, TPoint& p);
void SetTuloRotateAxis(const TFnTransform& t, const TPoint& p);
void GetTuloJointOrient(const TFnTransform& t, TPoint& p);
void SetTuloJointOrient(const TFnTransform& t, const TPoint& p);
bool IsTransformAnimated(TFnTransform& t);
bool ConvertMatrixTuloToZEQ(const TTransformationMatrix& from, double (*to)[4]);
bool ConvertMatrixZEQToTulo(double (*from)[4], TTransformationMatrix& to);

// ---- Bind poses (zeqtuloutility_bindpose.cpp)
// The lowest "members" element fed by the node in the first dag pose downstream (with "bindPose"
// on when asked), -1 when none; pose receives that dag pose whenever one is found.
int GetIndexOfPlugInDagPose(TObject node, TObject& pose, bool bindPose);

#endif
