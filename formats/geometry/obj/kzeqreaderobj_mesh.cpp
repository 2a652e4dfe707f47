// Turning what the OBJ reader recorded into scene content: meshes with
// shared control points, normals per smoothing group, texture coordinates
// and per-polygon materials, and NURBS surfaces.

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "content/kzeqlayer.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqtexture.h"
#include "formats/geometry/obj/kzeqreaderobj.h"
#include "formats/geometry/obj/kzeqreaderobj_internal.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

// Slots of distinct corners, numbered in the order they are first met:
// open addressing over a table kept at most half full.
class TripleSlots {
public:
    explicit TripleSlots(std::size_t expected) {
        std::size_t capacity = 64;
        while (capacity < expected) capacity *= 2;
        mTable.assign(capacity, Entry());
    }

    // The triple's slot; added tells whether it was new.
    int Find(const KIndexGroup& group, bool& added) {
        if ((mCount + 1) * 2 > mTable.size()) Grow();
        Entry* entry = Probe(group);
        added = entry->mSlot < 0;
        if (added) *entry = Entry{group, static_cast<int>(mCount++)};
        return entry->mSlot;
    }

private:
    struct Entry {
        KIndexGroup mGroup;
        int mSlot = -1;
    };

    static std::size_t Hash(const KIndexGroup& g) {
        std::uint64_t h = static_cast<std::uint32_t>(g.mPosition) * 0x9E3779B97F4A7C15ull;
        h ^= static_cast<std::uint32_t>(g.mTexture) * 0xC2B2AE3D27D4EB4Full + (h >> 29);
        h ^= static_cast<std::uint32_t>(g.mNormal) * 0x165667B19E3779F9ull + (h >> 31);
        return static_cast<std::size_t>(h ^ (h >> 32));
    }

    Entry* Probe(const KIndexGroup& group) {
        const std::size_t mask = mTable.size() - 1;
        for (std::size_t at = Hash(group) & mask;; at = (at + 1) & mask) {
            Entry& entry = mTable[at];
            if (entry.mSlot < 0 || entry.mGroup == group) return &entry;
        }
    }

    void Grow() {
        std::vector<Entry> old(mTable.size() * 2);
        old.swap(mTable);
        for (const Entry& entry : old)
            if (entry.mSlot >= 0) *Probe(entry.mGroup) = entry;
    }

    std::vector<Entry> mTable;
    std::size_t mCount = 0;
};

// The default normal of a face: that of its first three corners.
template <class State>
KZeqVector4 FaceNormal(const KObjMesh& mesh, const KObjFace& face, const State& state) {
    if (face.mCount < 3) return KZeqVector4();
    const std::size_t first = static_cast<std::size_t>(face.mFirst);
    return ComputeDefaultNormal(state.Position(mesh.mCorners[first].mPosition),
                                state.Position(mesh.mCorners[first + 1].mPosition),
                                state.Position(mesh.mCorners[first + 2].mPosition));
}

// Knot values a surface can be evaluated on.
bool ValidKnots(const std::vector<double>& knots) {
    for (std::size_t i = 0; i < knots.size(); ++i)
        if (!std::isfinite(knots[i]) || (i > 0 && knots[i] < knots[i - 1])) return false;
    return true;
}

}  // namespace

KZeqVector4 ComputeDefaultNormal(const KZeqVector4& p0, const KZeqVector4& p1, const KZeqVector4& p2) {
    KZeqVector4 normal = (p1 - p0).CrossProduct(p2 - p0);
    normal.Normalize();
    normal[3] = 0.0;
    return normal;
}

int SwapArrayIndex(int index, int rows, int columns) { return index / columns + (index % columns) * rows; }

bool KZeqReaderObj::FillNormals(KObjMesh& mesh, ReadState& state) {
    if (mesh.GetCount() == 0) return false;
    std::vector<int>& slots = state.mPositionSlots;
    if (slots.size() < state.mPositions.size()) slots.resize(state.mPositions.size(), -1);
    // Per position of one smoothing group: the normal sum and whether a corner lacks one.
    struct Sum {
        KZeqVector4 mSum;
        bool mNeeded = false;
        int mNormal = -1;
    };
    std::vector<Sum> sums;
    std::vector<int> touched;
    for (auto& list : mesh.mGroups) {
        if (list.first == 0) {
            // Flat: one new normal for every face lacking any, on all its corners.
            for (std::size_t f = 0; f < list.second.size(); ++f) {
                const KObjFace& face = list.second[f];
                if (face.mAllNormals) continue;
                const int index = static_cast<int>(state.mNormals.size());
                state.AddNormal(FaceNormal(mesh, face, state));
                for (int c = 0; c < face.mCount; ++c) mesh.mCorners[static_cast<std::size_t>(face.mFirst + c)].mNormal = index;
            }
            continue;
        }
        // Smooth: per position, the given normals and the face normals of the corners without one.
        sums.clear();
        touched.clear();
        for (std::size_t f = 0; f < list.second.size(); ++f) {
            const KObjFace& face = list.second[f];
            KZeqVector4 faceNormal;
            bool faceNormalKnown = false;
            for (int c = 0; c < face.mCount; ++c) {
                const KIndexGroup& corner = mesh.mCorners[static_cast<std::size_t>(face.mFirst + c)];
                int& slot = slots[static_cast<std::size_t>(corner.mPosition)];
                if (slot < 0) {
                    slot = static_cast<int>(sums.size());
                    sums.emplace_back();
                    touched.push_back(corner.mPosition);
                }
                Sum& sum = sums[static_cast<std::size_t>(slot)];
                if (corner.mNormal >= 0) {
                    sum.mSum += state.Normal(corner.mNormal);
                    continue;
                }
                if (!faceNormalKnown) faceNormal = FaceNormal(mesh, face, state), faceNormalKnown = true;
                sum.mSum += faceNormal;
                sum.mNeeded = true;
            }
        }
        for (Sum& sum : sums) {
            if (!sum.mNeeded) continue;
            sum.mSum.Normalize();
            sum.mSum[3] = 0.0;
            sum.mNormal = static_cast<int>(state.mNormals.size());
            state.AddNormal(sum.mSum);
        }
        for (std::size_t f = 0; f < list.second.size(); ++f) {
            const KObjFace& face = list.second[f];
            for (int c = 0; c < face.mCount; ++c) {
                KIndexGroup& corner = mesh.mCorners[static_cast<std::size_t>(face.mFirst + c)];
                if (corner.mNormal < 0)
                    corner.mNormal = sums[static_cast<std::size_t>(slots[static_cast<std::size_t>(corner.mPosition)])].mNormal;
            }
        }
        for (int position : touched) slots[static_cast<std::size_t>(position)] = -1;
    }
    return true;
}

KZeqMesh* KZeqReaderObj::CreateZeqMeshFromObjMesh(KObjMesh& source, ReadState& state) {
    if (!source.mAllNormals && !FillNormals(source, state)) return nullptr;
    KZeqMesh* mesh = mManager.CreateKZeqMesh();
    if (!mesh) return nullptr;

    // First pass: a control point per distinct corner; each corner is
    // rewritten with its control point and its texture-coordinate slot.
    // Distinct corners are usually far fewer than corners; the table grows when not.
    TripleSlots slots(source.mCorners.size() / 2);
    std::vector<KIndexGroup> distinct;
    std::vector<int> textureSlots;  // by control point, -1 without a texture coordinate
    int textureCount = 0;
    for (auto& list : source.mGroups)
        for (std::size_t f = 0; f < list.second.size(); ++f) {
            const KObjFace& face = list.second[f];
            for (int c = 0; c < face.mCount; ++c) {
                KIndexGroup& corner = source.mCorners[static_cast<std::size_t>(face.mFirst + c)];
                bool added = false;
                const int slot = slots.Find(corner, added);
                if (added) {
                    distinct.push_back(corner);
                    textureSlots.push_back(corner.mTexture >= 0 ? textureCount++ : -1);
                }
                corner = KIndexGroup{slot, textureSlots[static_cast<std::size_t>(slot)], -1};
            }
        }

    const int count = static_cast<int>(distinct.size());
    mesh->InitControlPoints(count);
    mesh->InitNormals(0);
    KZeqVector4* points = mesh->GetControlPoints();
    KZeqVector4* normals = mesh->GetNormals();
    for (int i = 0; i < count; ++i) {
        const KIndexGroup& corner = distinct[static_cast<std::size_t>(i)];
        points[i] = state.Position(corner.mPosition);
        if (normals && corner.mNormal >= 0) normals[i] = state.Normal(corner.mNormal);
    }
    mesh->InitMaterialIndices(state.mLibrarySeen ? KZeqMesh::eBY_POLYGON : KZeqMesh::eALL_SAME);
    if (textureCount > 0) {
        mesh->InitTextureUVIndices(KZeqMesh::eBY_POLYGON_VERTEX);
        KArrayTemplate<KZeqVector2>& uvs = mesh->GetLayer(0)->GetUVs()->GetDirectArray();
        uvs.SetCount(textureCount);
        for (int i = 0; i < count; ++i)
            if (textureSlots[static_cast<std::size_t>(i)] >= 0)
                uvs[textureSlots[static_cast<std::size_t>(i)]] =
                    state.mTextures[static_cast<std::size_t>(distinct[static_cast<std::size_t>(i)].mTexture)];
    }
    if (source.mSomeTextured) {
        mesh->InitTextureIndices(KZeqMesh::eBY_POLYGON);
        if (!source.mAllTextured) {
            // Faces without a texture point at this one, index 0.
            KZeqTexture* empty = mManager.CreateKZeqTexture("_empty_");
            if (!empty) {
                mManager.DestroyKZeqNodeAttribute(mesh);
                return nullptr;
            }
            empty->SetDefaultAlpha(0.0);
            mesh->AddTexture(empty);
        }
    }

    // Second pass, in the same order: the polygons. Faces read before any
    // material was selected have none (-1).
    std::unordered_map<const void*, int> indexOf;
    const auto IndexOf = [&](const void* object, bool material) {
        auto found = indexOf.find(object);
        if (found != indexOf.end()) return found->second;
        const int index = material ? mesh->AddMaterial(static_cast<KZeqMaterial*>(const_cast<void*>(object)))
                                   : mesh->AddTexture(static_cast<KZeqTexture*>(const_cast<void*>(object)));
        indexOf.emplace(object, index);
        return index;
    };
    // Corners without a texture coordinate keep -1.
    int* textureIndices = nullptr;
    if (textureCount > 0) {
        KArrayTemplate<int>& indices = mesh->GetLayer(0)->GetUVs()->GetIndexArray();
        indices.SetCount(static_cast<int>(source.mCorners.size()));
        textureIndices = indices.GetArray();
    }
    for (auto& list : source.mGroups)
        for (std::size_t f = 0; f < list.second.size(); ++f) {
            const KObjFace& face = list.second[f];
            int material = 0, texture = 0;
            if (state.mLibrarySeen) {
                material = -1;
                if (face.mMaterial >= 0) {
                    const MaterialUse& use = state.mMaterials[static_cast<std::size_t>(face.mMaterial)];
                    material = IndexOf(use.mMaterial, true);
                    if (use.mTexture) texture = IndexOf(use.mTexture, false);
                }
            }
            mesh->BeginPolygon(material, texture, -1);
            for (int c = 0; c < face.mCount; ++c) {
                const KIndexGroup& corner = source.mCorners[static_cast<std::size_t>(face.mFirst + c)];
                mesh->AddPolygon(corner.mPosition);
                if (textureIndices) *textureIndices++ = corner.mTexture;
            }
            mesh->EndPolygon();
        }
    return mesh;
}

KZeqGeometry* KZeqReaderObj::CreateZeqGeometryFromObjSurf(const KObjSurf& surface, ReadState& state) {
    if (surface.mType != KObjSurf::eBSPLINE || !surface.mRational) return nullptr;
    // The OBJ v direction is the NURBS U direction.
    const long long uCount = static_cast<long long>(surface.mV.size()) - surface.mDegreeV - 1;
    const long long vCount = static_cast<long long>(surface.mU.size()) - surface.mDegreeU - 1;
    if (surface.mDegreeU < 1 || surface.mDegreeV < 1 || uCount < 1 || vCount < 1 ||
        uCount * vCount != static_cast<long long>(surface.mControlPoints.size()) || !ValidKnots(surface.mU) ||
        !ValidKnots(surface.mV))
        return nullptr;
    KZeqNurb* nurb = mManager.CreateKZeqNurb();
    if (!nurb) return nullptr;
    const int rows = static_cast<int>(uCount), columns = static_cast<int>(vCount);
    nurb->SetOrder(static_cast<unsigned int>(surface.mDegreeV + 1), static_cast<unsigned int>(surface.mDegreeU + 1));
    if (!nurb->InitControlPoints(rows, KZeqNurb::eOPEN, columns, KZeqNurb::eOPEN)) {
        mManager.DestroyKZeqNodeAttribute(nurb);
        return nullptr;
    }
    nurb->SetStep(3, 3);
    std::copy(surface.mV.begin(), surface.mV.end(), nurb->GetUKnotVector());
    std::copy(surface.mU.begin(), surface.mU.end(), nurb->GetVKnotVector());
    KZeqVector4* points = nurb->GetControlPoints();
    for (int i = 0; i < rows * columns; ++i)
        points[SwapArrayIndex(i, rows, columns)] =
            state.Position(surface.mControlPoints[static_cast<std::size_t>(i)]);
    if (surface.mMaterial >= 0) {
        const MaterialUse& use = state.mMaterials[static_cast<std::size_t>(surface.mMaterial)];
        nurb->AddMaterial(use.mMaterial);
        if (use.mTexture) {
            use.mTexture->SetSwapUV(true);
            nurb->AddTexture(use.mTexture);
        }
    }
    return nurb;
}

}  // namespace zeqsdk_400
