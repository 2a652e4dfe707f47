#ifndef ZEQ_PLUGIN_ZEQTULONODE_H
#define ZEQ_PLUGIN_ZEQTULONODE_H

#include <map>
#include <string>

#include "base/kset.h"
#include "base/kstring.h"
#include "scene/kzeqnode.h"
#include "tdagpath.h"

namespace zeqsdk_400 {
struct KgeRVector;
struct KgeSVector;
struct KgeTVector;
}  // namespace zeqsdk_400

// The scene node of the plug-in's export and import: a Zeq node that also holds the host side of
// the node. Every node the plug-in's SDK manager creates is one.
class ZeqTuloNode : public zeqsdk_400::KZeqNode {
public:
    ZeqTuloNode(zeqsdk_400::KZeqSdkManager& manager, const char* name);
    ~ZeqTuloNode() override;

    // The host DAG path the node stands for; null until one is set (null given: none).
    TDagPath* GetDagPath() { return mHasDagPath ? &mDagPath : nullptr; }
    const TDagPath* GetDagPath() const { return mHasDagPath ? &mDagPath : nullptr; }
    void SetDagPath(const TDagPath* path);
    // The host shape object the node stands for; null until one is set (null given: none).
    TObject* GetShapeObject() { return mHasShapeObject ? &mShapeObject : nullptr; }
    void SetShapeObject(const TObject* shape);

    void SetPivotState(EPivotSet set, EPivotState state) { KZeqNode::SetPivotState(set, state); }
    void GetPivotState(EPivotSet set, EPivotState& state) const { KZeqNode::GetPivotState(set, state); }

    // Negative while the transform has no exported shape.
    void SetShapeIndex(int index) { mShapeIndex = index; }
    int GetShapeIndex() const { return mShapeIndex; }

    double* GetRelativePivot() { return mRelativePivot; }
    const double* GetRelativePivot() const { return mRelativePivot; }
    void SetRelativePivot(double x, double y, double z);

    // The global transform of the host node: translation, Euler XYZ rotation in degrees, scaling.
    // The setters copy the first three components.
    void SetGlobalTranslation(const zeqsdk_400::KgeTVector& t);
    void SetGlobalRotation(const zeqsdk_400::KgeRVector& r);
    void SetGlobalScaling(const zeqsdk_400::KgeSVector& s);
    const double* GetGlobalTranslation() const { return mGlobalTranslation; }
    const double* GetGlobalRotation() const { return mGlobalRotation; }
    const double* GetGlobalScaling() const { return mGlobalScaling; }

    // The host attribute carrying a user property, by the property's label (its name when the
    // label is empty); null when it has none yet. The node owns the names.
    const zeqsdk_400::KString* GetUserPropertyName(const char* label) const;
    void SetUserPropertyName(const char* label, const char* attributeName);

    // Export: the mesh writer found the host geometry unlike the exported one.
    bool mGeometryMismatch = false;
    // The mesh before and after its construction history differ in vertex or polygon count.
    bool mMeshMismatch = false;
    // Import: the host namespace of the node's host node (empty: the root namespace), and whether
    // the import is to add it when the host lacks it. Set by the name-clash resolution.
    zeqsdk_400::KString mNamespace;
    bool mAddNamespace = false;
    // Import: the host name the file gives the node before the import numbered it to keep names
    // unique (an instance's copy, "prop_ncl1_1", reads "prop" and is made "prop1"). Set by the
    // name-clash resolution; the merge matcher's second choice.
    zeqsdk_400::KString mFileHostName;
    // Import: bound by the merge to a host node that existed before the import.
    bool mIsPresent = false;
    // Import: a closed or periodic direction made open on the host (uneven knots).
    bool mNurbsOpenU = false;
    bool mNurbsOpenV = false;
    // Import: the reader left the node's NURBS surface out and its message says why (shown once).
    bool mSurfaceLeftOutByReader = false;
    // Import: label (or name) of a user property, ignoring the case of ASCII letters -> name of its
    // host attribute.
    struct LessNoCase {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    std::map<std::string, zeqsdk_400::KString, LessNoCase> mUserPropertyNames;

private:
    TDagPath mDagPath;
    bool mHasDagPath = false;
    TObject mShapeObject;
    bool mHasShapeObject = false;
    int mShapeIndex = -1;
    double mRelativePivot[3] = {0, 0, 0};
    double mGlobalTranslation[3] = {0, 0, 0};
    double mGlobalRotation[3] = {0, 0, 0};
    double mGlobalScaling[3] = {1, 1, 1};
};

#endif
