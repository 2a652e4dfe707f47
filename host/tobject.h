// Handles to scene entities and the function-set type codes of the host API stand-in.
#pragma once

#include <cstdint>
#include <type_traits>

#include "tstatus.h"

// Type codes. Shared codes are the host's numbers; codes from 2000 up are the stand-in's own.
namespace TFn {
enum Type {
    kInvalid = 0,
    kDagNode = 106,
    kTransform = 109,
    kLookAt = 111,
    kJoint = 120,
    kCamera = 244,
    kClusterHandle = 245,
    kLocator = 275,
    kNurbsSurface = 288,
    kNurbsSurfaceOther = 289,
    kMesh = 290,
    kLight = 296,
    kAmbientLight = 297,
    kAreaLight = 299,
    kDirectionalLight = 302,
    kPointLight = 303,
    kSpotLight = 304,
    kBlendShape = 330,
    kCluster = 338,
    kClusterOther = 340,
    kSet = 454,
    kFileTexture = 483,
    kDoubleIndexedComponent = 525,  // NURBS control vertices
    kAnyDagItem = 518,
    kSingleIndexedComponent = 537,  // mesh vertices
    kNumericAttribute = 548,
    kSkinCluster = 665,
    kDagPose = 668,
    kSmoothFacet = 677,
    kWrap = 714,
    kAttribute3Float = 721,
    kAttribute3Double = 722,
    kLayeredTexture = 767,
    kVolumeLight = 859,
    kDependencyNode = 2000,
    kWorld = 2001,
    kShape = 2002,
    kGeometryFilter = 2003,
    kLambert = 2004,
    kReflect = 2005,
    kPhong = 2006,
    kPlace2dTexture = 2007,
    kAnimCurve = 2008,
    kGroupId = 2009,
    kAttribute = 2010,
    kCompoundAttribute = 2011,
    kMessageAttribute = 2012,
    kMatrixAttribute = 2013,
    kTypedAttribute = 2014,
    kEnumAttribute = 2015,
    kUnitAttribute = 2016,
    kGenericAttribute = 2017,
    kData = 2020,
    kMatrixData = 2021,
    kMeshData = 2022,
    kNurbsSurfaceData = 2023,
    kComponent = 2030,
    kMeshPolygonComponent = 2031,
};
}

class TString;

// {kind, id, generation}: a handle whose entity may die; function sets fail on a dead handle.
class TObject {
public:
    enum Kind { kNone = 0, kNode = 1, kAttributeKind = 2, kDataKind = 3, kComponentKind = 4, kPluginKind = 5 };

    constexpr TObject() = default;
    constexpr TObject(int kind, std::uint32_t id, std::uint32_t generation)
        : kind_(kind), id_(id), generation_(generation) {}

    static const TObject kNullObj;

    bool isNull() const { return kind_ == kNone; }
    // The type code of a live entity; kInvalid for null or dead handles.
    TFn::Type apiType() const;
    const char* apiTypeStr() const;
    // True for the entity's type and every ancestor type.
    bool hasFn(int type) const;
    bool operator==(const TObject& o) const {
        return kind_ == o.kind_ && id_ == o.id_ && generation_ == o.generation_;
    }
    bool operator!=(const TObject& o) const { return !(*this == o); }

    int kind() const { return kind_; }
    std::uint32_t id() const { return id_; }
    std::uint32_t generation() const { return generation_; }

private:
    int kind_ = kNone;
    std::uint32_t id_ = 0;
    std::uint32_t generation_ = 0;
};

static_assert(std::is_trivially_copyable<TObject>::value && sizeof(TObject) == 12, "TObject crosses extern \"C\"");

class TObjectArray : public TArray<TObject> {
public:
    using TArray::TArray;
};

// The type code table: true when `type` is `code` or one of its ancestors.
bool tuloTypeIsA(int code, int type);
