#include "content/kzeqgeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "content/kzeqlink.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqshape.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodefinder.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

const char* const kErrorTable[KZeqGeometry::eErrorCount] = {
    "Parameter out of range.", "Parameter is NULL.",         "Material not found.",     "Material already added.",
    "Texture not found.",      "Texture already added.",     "Shape already added.",    "Shape name is invalid.",
    "Shape name is already used.", "No shape curve found."};

// Display colours of the shape channels, by shape index modulo 20.
constexpr float kShapeColors[20][3] = {
    {1.0f, 0.0f, 0.0f},    {0.0f, 1.0f, 0.0f},    {0.0f, 0.0f, 1.0f},     {1.0f, 1.0f, 0.0f},
    {0.0f, 1.0f, 1.0f},    {1.0f, 0.0f, 1.0f},    {0.47f, 0.0f, 0.0f},    {0.3f, 0.61f, 0.0f},
    {0.51f, 0.75f, 1.0f},  {1.0f, 0.49f, 0.0f},   {0.57f, 0.0f, 1.0f},    {1.0f, 0.78f, 1.0f},
    {0.0f, 0.35f, 0.0f},   {1.0f, 0.98f, 0.61f},  {0.65f, 0.49f, 0.31f},  {0.8f, 0.8f, 0.8f},
    {0.78f, 1.0f, 0.61f},  {1.0f, 0.86f, 0.73f},  {0.37f, 0.0f, 0.37f},   {0.65f, 0.65f, 0.0f}};

constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr const char kOlderSuffix[] = " (Shape)";

// The names of every node's own channels and properties: a shape's channel and
// property go by its name, so a shape so named would share the node's value.
#define KZEQ_NODE_NAME(Name, Type) #Name,
const char* const kNodeOwnNames[] = {"Transform", "Lcl Translation", "Lcl Rotation", "Lcl Scaling", "Visibility",
                                     "LookAtProperty", "UpVectorProperty",
                                     KZEQ_NODE_PLAIN_PROPERTIES(KZEQ_NODE_NAME)
                                         KZEQ_NODE_DISPLAY_PROPERTIES(KZEQ_NODE_NAME)};
#undef KZEQ_NODE_NAME

bool IsNodeOwnName(const KString& name) {
    return std::any_of(std::begin(kNodeOwnNames), std::end(kNodeOwnNames),
                       [&](const char* own) { return name.CompareNoCase(own) == 0; });
}

KString OlderShapeName(int index) {
    char text[32];
    std::snprintf(text, sizeof text, "Shape %02d", index + 1);
    return KString(text);
}

// Writes value at position index, growing the list to reach it.
void Record(std::vector<KString>& list, std::size_t index, const KString& value) {
    if (list.size() <= index) list.resize(index + 1);
    list[index] = value;
}

}  // namespace

KZeqGeometry::KZeqGeometry(KZeqSdkManager& manager)
    : KZeqLayerContainer(manager), mError(kErrorTable, eErrorCount) {}

KZeqGeometry::~KZeqGeometry() {
    for (KZeqLink* link : mLinks) GetSdkManager().DestroyKZeqLink(link);
    mLinks.clear();
    for (KZeqShape* shape : mShapes) GetSdkManager().DestroyKZeqShape(shape);
    mShapes.clear();
    mShapeNames.clear();
    mDetachedWeights.clear();
}

// ---- Node attachment ------------------------------------------------------------------------

void KZeqGeometry::SetNode(KZeqNode& node) {
    KZeqNodeAttribute::SetNode(node);
    for (std::size_t i = 0; i < mShapes.size(); ++i) {
        mShapes[i]->SetEntity(node.GetEntity());
        CreateShapeChannelProperties(mShapeNames[i]);
        // A weight set while on no node reaches the shape's property too.
        if (mDetachedWeights[i] != 0.0) SetDefaultShape(static_cast<int>(i), mDetachedWeights[i]);
    }
    SetEntity(node.GetEntity());
}

void KZeqGeometry::UnsetNode() {
    // Leaving the node, the geometry keeps the weights of its default take.
    if (GetNode())
        for (int i = 0; i < GetShapeCount(); ++i) mDetachedWeights[static_cast<std::size_t>(i)] = GetDefaultShape(i);
    UnsetEntity();
    for (KZeqShape* shape : mShapes) shape->UnsetEntity();
    KZeqNodeAttribute::UnsetNode();
}

void KZeqGeometry::AddChannels(KZeqTakeNode* take) {
    KZeqNodeAttribute::AddChannels(take);
    for (int i = 0; i < GetShapeCount(); ++i) AddShapeChannel(take, i);
}

void KZeqGeometry::RemoveChannels(KZeqTakeNode* take) {
    for (int i = 0; i < GetShapeCount(); ++i) RemoveShapeChannel(take, i);
    KZeqNodeAttribute::RemoveChannels(take);
}

// ---- Materials and textures -------------------------------------------------------------------

int KZeqGeometry::AddTexture(KZeqTexture* texture, unsigned int layer) {
    const int index = KZeqLayerContainer::AddTexture(texture, layer);
    if (index == -1) mError.SetLastErrorID(eTextureAlreadyAdded);
    return index;
}

KZeqTexture* KZeqGeometry::GetTexture(int index, unsigned int layer) {
    KZeqTexture* texture = KZeqLayerContainer::GetTexture(index, layer);
    if (!texture) mError.SetLastErrorID(eParameterOutOfRange);
    return texture;
}

int KZeqGeometry::GetTextureIndex(const char* name, unsigned int layer) {
    const int index = KZeqLayerContainer::GetTextureIndex(name, layer);
    if (index == -1) mError.SetLastErrorID(eTextureNotFound);
    return index;
}

int KZeqGeometry::AddMaterial(KZeqMaterial* material, unsigned int layer) {
    const int index = KZeqLayerContainer::AddMaterial(material, layer);
    if (index == -1) mError.SetLastErrorID(eMaterialAlreadyAdded);
    return index;
}

KZeqMaterial* KZeqGeometry::GetMaterial(int index, unsigned int layer) {
    KZeqMaterial* material = KZeqLayerContainer::GetMaterial(index, layer);
    if (!material) mError.SetLastErrorID(eParameterOutOfRange);
    return material;
}

int KZeqGeometry::GetMaterialIndex(const char* name, unsigned int layer) {
    const int index = KZeqLayerContainer::GetMaterialIndex(name, layer);
    if (index == -1) mError.SetLastErrorID(eMaterialNotFound);
    return index;
}

// ---- Links ------------------------------------------------------------------------------------

KZeqLink* KZeqGeometry::GetLink(int index) {
    if (index < 0 || index >= GetLinkCount()) {
        mError.SetLastErrorID(eParameterOutOfRange);
        return nullptr;
    }
    return mLinks[static_cast<std::size_t>(index)];
}

int KZeqGeometry::AddLink(KZeqLink* link) {
    mLinks.push_back(link);
    return GetLinkCount() - 1;
}

KZeqLink* KZeqGeometry::RemoveLink(int index) {
    KZeqLink* link = GetLink(index);
    if (link) mLinks.erase(mLinks.begin() + index);
    return link;
}

void KZeqGeometry::ClearLink() { mLinks.clear(); }

// ---- Shapes ----------------------------------------------------------------------------------

bool KZeqGeometry::ShapeInRange(int index) {
    if (index >= 0 && index < GetShapeCount()) return true;
    mError.SetLastErrorID(eParameterOutOfRange);
    return false;
}

int KZeqGeometry::AddShape(KZeqShape* shape, const char* name) {
    if (!shape) {
        mError.SetLastErrorID(eParameterIsNull);
        return -1;
    }
    if (std::find(mShapes.begin(), mShapes.end(), shape) != mShapes.end()) {
        mError.SetLastErrorID(eShapeAlreadyAdded);
        return -1;
    }
    const KString trimmed = KString(name).UnPad(KString::eBoth);
    if (trimmed.IsEmpty()) {
        mError.SetLastErrorID(eShapeNameIsInvalid);
        return -1;
    }
    // Channels are found by name ignoring case, so two shapes whose names differ
    // only in case would share one weight: the second name is refused, and so
    // is a name the node's own channels or properties hold (the weight would
    // move or hide the node).
    if (IsNodeOwnName(trimmed) ||
        std::any_of(mShapeNames.begin(), mShapeNames.end(),
                    [&](const KString& used) { return used.CompareNoCase(trimmed) == 0; })) {
        mError.SetLastErrorID(eShapeNameIsAlreadyUsed);
        return -1;
    }
    mShapes.push_back(shape);
    mShapeNames.push_back(trimmed);
    mDetachedWeights.push_back(0.0);
    const int index = GetShapeCount() - 1;
    if (KZeqNode* node = GetNode()) {
        CreateShapeChannelProperties(trimmed);
        for (int i = 0; i < node->GetTakeNodeCount(); ++i) AddShapeChannel(node->GetTakeNode(i), index);
    }
    shape->SetEntity(GetEntity());
    return index;
}

void KZeqGeometry::ClearShape() {
    // The channels go as on detaching, while the node stays.
    if (KZeqNode* node = GetNode())
        for (int i = 0; i < node->GetTakeNodeCount(); ++i) RemoveChannels(node->GetTakeNode(i));
    for (KZeqShape* shape : mShapes) shape->UnsetEntity();
    mShapes.clear();
    mShapeNames.clear();
    mDetachedWeights.clear();
}

KZeqShape* KZeqGeometry::GetShape(int index) {
    return ShapeInRange(index) ? mShapes[static_cast<std::size_t>(index)] : nullptr;
}

const char* KZeqGeometry::GetShapeName(int index) {
    return ShapeInRange(index) ? mShapeNames[static_cast<std::size_t>(index)].Buffer() : nullptr;
}

KFCurveNode* KZeqGeometry::RootOf(KZeqTakeNode* take) const { return take ? take->GetKFCurveNode() : nullptr; }

KFCurveNode* KZeqGeometry::GetShapeCurveNode(KZeqTakeNode* take, int index) {
    if (!ShapeInRange(index)) return nullptr;
    if (!take) {
        mError.SetLastErrorID(eParameterIsNull);
        return nullptr;
    }
    const KString& name = mShapeNames[static_cast<std::size_t>(index)];
    KFCurveNode* root = RootOf(take);
    // Only the root's own children: deeper down lie the transform's "X", "T", "S"...
    return name.IsEmpty() || !root ? nullptr : root->Get(root->Find(name.Buffer()));
}

KFCurve* KZeqGeometry::GetShapeChannel(KZeqTakeNode* take, int index) {
    // Range and null errors stand; error 9 is for a lookup that found nothing.
    if (!ShapeInRange(index)) return nullptr;
    if (!take) {
        mError.SetLastErrorID(eParameterIsNull);
        return nullptr;
    }
    KFCurveNode* node = GetShapeCurveNode(take, index);
    KFCurve* curve = node ? node->FCurveGet() : nullptr;
    if (!curve) mError.SetLastErrorID(eNoShapeCurveFound);
    return curve;
}

void KZeqGeometry::SetDefaultShape(int index, double weight) {
    if (!ShapeInRange(index)) return;
    if (!GetNode()) {
        // On no node the geometry keeps it, as the channel it starts would.
        mDetachedWeights[static_cast<std::size_t>(index)] = static_cast<float>(weight);
        return;
    }
    KFCurve* curve = GetShapeChannel(GetNode()->GetDefaultTakeNode(), index);
    if (!curve) return;
    curve->SetValue(static_cast<float>(weight));
    // The node's property of the shape holds the weight too: the files keep
    // both, and a read gives the property's value to the channel.
    KZeqNodeProperties* handler = GetNode()->GetPropertyHandler();
    if (KProperty* property = handler ? handler->FindPropertyByName(GetShapeName(index)) : nullptr)
        property->SetDouble(static_cast<double>(curve->GetValue()));
}

double KZeqGeometry::GetDefaultShape(int index) {
    if (!ShapeInRange(index)) return 0.0;
    if (!GetNode()) return mDetachedWeights[static_cast<std::size_t>(index)];
    KFCurve* curve = GetShapeChannel(GetNode()->GetDefaultTakeNode(), index);
    return curve ? curve->GetValue() : 0.0;
}

// ---- Shape channels ---------------------------------------------------------------------------

bool KZeqGeometry::AddShapeChannel(KZeqTakeNode* take, int index) {
    KFCurveNode* root = RootOf(take);
    if (!root || !ShapeInRange(index)) return false;
    const KString& name = mShapeNames[static_cast<std::size_t>(index)];
    if (name.IsEmpty()) return false;
    const bool made = root->Find(name.Buffer()) < 0;
    KFCurveNode* channel = root->FindOrCreate(name.Buffer(), true);
    if (!channel) return false;
    if (KFCurve* curve = channel->FCurveGet()) {
        curve->SetColor(kShapeColors[index % 20]);
        // A new channel starts from the weight kept while on no node.
        if (made) curve->SetValue(static_cast<float>(mDetachedWeights[static_cast<std::size_t>(index)]));
    }
    return true;
}

bool KZeqGeometry::RemoveShapeChannel(KZeqTakeNode* take, int index) {
    KFCurveNode* root = RootOf(take);
    if (!root || !ShapeInRange(index)) return false;
    const int found = root->Find(mShapeNames[static_cast<std::size_t>(index)].Buffer());
    if (found < 0) return false;
    root->Delete(found);
    return true;
}

void KZeqGeometry::CreateShapeChannelProperties(const KString& name) {
    KZeqNode* node = GetNode();
    KZeqNodeProperties* handler = node ? node->GetPropertyHandler() : nullptr;
    if (!handler || handler->FindPropertyByName(name.Buffer())) return;
    KDataType* dataType = KDataTypeGet("Shape");
    KProperty* property = handler->CreatePropertyFromType(name.Buffer(), DataTypeToPropertyType(dataType), dataType,
                                                          false, false, nullptr);
    if (!property) return;
    property->GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagAnimatable, true);
    property->ModifyPropertyFlag(kPropertyFlagAnimated, true);
    property->SetDouble(0.0);
}

// ---- Older naming -----------------------------------------------------------------------------

KString KZeqGeometry::CreateShapeChannelName(int index) {
    return index < 0 ? KString() : OlderShapeName(index) + kOlderSuffix;
}

KString KZeqGeometry::CreateShapeChannelName(const KString& name) {
    const KString trimmed = name.UnPad(KString::eRight);
    const unsigned int suffix = sizeof kOlderSuffix - 1;
    if (trimmed.GetLen() >= suffix && trimmed.Right(suffix) == kOlderSuffix) return trimmed;
    return trimmed + kOlderSuffix;
}

void KZeqGeometry::RenameChannel(KFCurveNode* root, const KString& from, const KString& to) {
    const int found = root->Find(from.Buffer());
    if (found < 0) return;
    KFCurveNode* renamed = KFCurveNodeCreate(to.Buffer(), static_cast<KDataType*>(nullptr));
    renamed->CopyFrom(root->Get(found), false);
    root->Delete(found);
    root->Add(renamed);
}

void KZeqGeometry::ConvertShapeNamesToV5Format(KZeqTakeNode* take) {
    if (!GetNode()) return;
    for (int i = 0; i < GetShapeCount(); ++i) ConvertShapeName(take, i);
}

void KZeqGeometry::ConvertShapeName(KZeqTakeNode* take, int index) {
    KFCurveNode* root = RootOf(take);
    if (!root) return;
    const auto i = static_cast<std::size_t>(index);
    KString current = mShapeNames[i];
    // Converted already for another take: the name before still names this take's channel.
    if (i < mOlderNames.size() && i < mNamesBefore.size() && mOlderNames[i] == current) current = mNamesBefore[i];
    const bool mesh = GetAttributeType() == eMESH;
    const KString older = mesh ? current : OlderShapeName(index);
    const KString olderChannel = mesh ? CreateShapeChannelName(current) : CreateShapeChannelName(index);
    Record(mNamesBefore, i, current);
    Record(mOlderNames, i, older);
    Record(mOlderChannelNames, i, olderChannel);
    mShapeNames[i] = older;
    RenameChannel(root, current, olderChannel);
}

void KZeqGeometry::RevertShapeNamesToV6Format(KZeqTakeNode* take) {
    if (!GetNode()) return;
    for (int i = 0; i < GetShapeCount(); ++i) RevertShapeName(take, i);
}

void KZeqGeometry::RevertShapeName(KZeqTakeNode* take, int index) {
    const auto i = static_cast<std::size_t>(index);
    KFCurveNode* root = RootOf(take);
    if (!root || i >= mShapeNames.size() || i >= mNamesBefore.size() || i >= mOlderNames.size() ||
        i >= mOlderChannelNames.size())
        return;
    mShapeNames[i] = mNamesBefore[i];
    RenameChannel(root, mOlderChannelNames[i], mNamesBefore[i]);
}

void KZeqGeometry::ClearTemporaryShapeNames() {
    mNamesBefore.clear();
    mOlderNames.clear();
    mOlderChannelNames.clear();
}

void KZeqGeometry::CleanShapeChannels(KZeqTakeNode* take) {
    if (!GetNode()) return;
    for (int i = 0; i < GetShapeCount(); ++i) CleanShapeChannel(take, i);
}

void KZeqGeometry::CleanShapeChannel(KZeqTakeNode* take, int index) {
    KFCurveNode* root = RootOf(take);
    if (!root || GetAttributeType() == eMESH) return;
    const KString& name = mShapeNames[static_cast<std::size_t>(index)];
    int older = root->Find(CreateShapeChannelName(name).Buffer());
    if (older < 0) older = root->Find(CreateShapeChannelName(index).Buffer());
    if (older < 0) return;
    const int plain = root->Find(name.Buffer());
    if (plain < 0 || plain == older) return;
    root->Get(plain)->CopyFrom(root->Get(older), true);
    root->Delete(older);
}

// ---- Pivot ----------------------------------------------------------------------------------

void KZeqGeometry::ApplyPivot() {
    const double (*p)[4] = mPivot.mData;
    KZeqVector4* points = GetControlPoints();
    for (int k = 0, count = GetControlPointsCount(); k < count; ++k) {
        const double x = points[k][0], y = points[k][1], z = points[k][2];
        for (int j = 0; j < 3; ++j) points[k][j] = x * p[0][j] + y * p[1][j] + z * p[2][j] + p[3][j];
    }

    // The rotation alone: rows to unit length (a zero row stays zero), mirrored
    // back when the block mirrors, then rebuilt from its Euler angles.
    double r[4][4] = {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 1}};
    const double det = p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) -
                       p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0]) +
                       p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0]);
    for (int i = 0; i < 3; ++i) {
        double length = std::sqrt(p[i][0] * p[i][0] + p[i][1] * p[i][1] + p[i][2] * p[i][2]);
        if (det < 0.0) length = -length;
        for (int j = 0; j < 3; ++j) r[i][j] = length != 0.0 ? p[i][j] / length : 0.0;
    }
    double angles[3];
    KmRtoVord(angles, r, 0);
    const double cx = std::cos(angles[0] * kDegreesToRadians), sx = std::sin(angles[0] * kDegreesToRadians);
    const double cy = std::cos(angles[1] * kDegreesToRadians), sy = std::sin(angles[1] * kDegreesToRadians);
    const double cz = std::cos(angles[2] * kDegreesToRadians), sz = std::sin(angles[2] * kDegreesToRadians);
    const double rows[3][3] = {{cy * cz, cy * sz, -sy},
                               {sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy},
                               {cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy}};

    KZeqLayer* first = GetLayer(0);
    KZeqLayerElementNormal* element = first ? first->GetNormals() : nullptr;
    if (!element) return;
    KZeqVector4* normals = element->GetDirectArray().GetArray();
    for (int k = 0, count = element->GetDirectArray().GetCount(); k < count; ++k) {
        const double x = normals[k][0], y = normals[k][1], z = normals[k][2];
        for (int j = 0; j < 3; ++j) normals[k][j] = x * rows[0][j] + y * rows[1][j] + z * rows[2][j];
    }
}

// ---- Copy -----------------------------------------------------------------------------------

KZeqGeometry& KZeqGeometry::operator=(KZeqGeometry& source) {
    if (this == &source) return *this;
    Copy(source, GetSdkManager());
    CopyLinks(&source);
    CopyShapes(&source);
    CopyPivot(&source);
    return *this;
}

void KZeqGeometry::CopyLinks(const KZeqGeometry* source) {
    if (source == this) return;
    for (KZeqLink* link : mLinks) GetSdkManager().DestroyKZeqLink(link);
    mLinks.clear();
    if (!source) return;
    for (const KZeqLink* from : source->mLinks) {
        KZeqLink* link = GetSdkManager().CreateKZeqLink();
        if (!link) continue;
        if (from) *link = *from;
        mLinks.push_back(link);
    }
}

void KZeqGeometry::CopyShapes(const KZeqGeometry* source) {
    if (source == this) return;
    // Out of the takes and the entity while they still live, then ended.
    const std::vector<KZeqShape*> former = mShapes;
    ClearShape();
    for (KZeqShape* shape : former) GetSdkManager().DestroyKZeqShape(shape);
    if (!source) return;
    for (std::size_t i = 0; i < source->mShapes.size(); ++i) {
        KZeqShape* shape = GetSdkManager().CreateKZeqShape();
        if (!shape) continue;
        *shape = *source->mShapes[i];
        if (AddShape(shape, source->mShapeNames[i].Buffer()) < 0) GetSdkManager().DestroyKZeqShape(shape);
    }
}

// ---- Joins: the take node's shape channel, the entity, the duplicate-name finder -------------

KFCurve* KZeqTakeNode::GetShapeChannel(KZeqGeometry* geometry, int index) {
    KFCurve* curve = geometry ? geometry->GetShapeChannel(this, index) : nullptr;
    if (!curve) mError.SetLastErrorID(eCurveNotFound);
    return curve;
}

void KZeqEntity::ForgetContainers(KZeqNode& node) {
    KZeqGeometry* geometry = node.GetGeometry();
    if (!geometry) return;
    if (geometry->mEntity == this) geometry->mEntity = nullptr;
    for (int i = 0; i < geometry->GetShapeCount(); ++i) {
        KZeqShape* shape = geometry->GetShape(i);
        if (shape->mEntity == this) shape->mEntity = nullptr;
    }
}

namespace {

// What the duplicate-name check needs of materials and of textures.
struct MaterialNames {
    typedef KZeqMaterial Object;
    static bool Skips(const KZeqLayer& layer) {
        // Index-mode materials are the node's connections, not this geometry's.
        const KZeqLayerElement* element = layer.GetMaterials();
        return !element || element->GetReferenceMode() == KZeqLayerElement::eINDEX;
    }
    static int Count(KZeqGeometry& g, unsigned int layer) { return g.GetMaterialCount(layer); }
    static Object* At(KZeqGeometry& g, int i, unsigned int layer) { return g.KZeqLayerContainer::GetMaterial(i, layer); }
    static int EntityCount(KZeqEntity& e) { return e.GetMaterialCount(); }
    static Object* EntityAt(KZeqEntity& e, int i) { return e.GetMaterial(i); }
};

struct TextureNames {
    typedef KZeqTexture Object;
    static bool Skips(const KZeqLayer&) { return false; }
    static int Count(KZeqGeometry& g, unsigned int layer) { return g.GetTextureCount(layer); }
    static Object* At(KZeqGeometry& g, int i, unsigned int layer) { return g.KZeqLayerContainer::GetTexture(i, layer); }
    static int EntityCount(KZeqEntity& e) { return e.GetTextureCount(); }
    static Object* EntityAt(KZeqEntity& e, int i) { return e.GetTexture(i); }
};

bool SameName(const KZeqObject* a, const KZeqObject* b) { return a && b && std::strcmp(a->GetName(), b->GetName()) == 0; }

// One result flag for the whole geometry: once a duplicate is found, the
// later objects are compared with the entity's only.
template <class Kind>
bool CheckNames(KZeqGeometry* geometry, bool on, KZeqEntity* entity, KArrayTemplate<typename Kind::Object*>& seen,
                KArrayTemplate<typename Kind::Object*>& duplicates) {
    if (!geometry) return false;
    bool found = false;
    for (int l = 0; l < geometry->GetLayerCount(); ++l) {
        if (Kind::Skips(*geometry->GetLayer(l))) continue;
        const auto layer = static_cast<unsigned int>(l);
        for (int i = 0; i < Kind::Count(*geometry, layer); ++i) {
            typename Kind::Object* object = Kind::At(*geometry, i, layer);
            if (!object) continue;
            if (!on) {
                seen.Add(object);
                continue;
            }
            for (int j = 0; entity && j < Kind::EntityCount(*entity); ++j) {
                if (SameName(object, Kind::EntityAt(*entity, j))) {
                    duplicates.Add(object);
                    found = true;
                    break;
                }
            }
            for (int j = 0; !found && j < seen.GetCount(); ++j) {
                if (SameName(object, seen[j])) {
                    duplicates.Add(object);
                    found = true;
                }
            }
            if (seen.Find(object) < 0) seen.Add(object);
        }
    }
    return found;
}

}  // namespace

bool KZeqNodeFinderDuplicateName::CheckMaterialName(KZeqGeometry* geometry) {
    return CheckNames<MaterialNames>(geometry, mStates[eMATERIAL], mEntity, mMaterials, mDuplicateMaterials);
}

bool KZeqNodeFinderDuplicateName::CheckTextureName(KZeqGeometry* geometry) {
    return CheckNames<TextureNames>(geometry, mStates[eTEXTURE], mEntity, mTextures, mDuplicateTextures);
}

}  // namespace zeqsdk_400
