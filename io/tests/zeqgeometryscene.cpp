#include "io/tests/zeqgeometryscene.h"

#include <algorithm>
#include <string>

#include "character/kzeqcharacter.h"
#include "content/kzeqcamera.h"
#include "content/kzeqlayer.h"
#include "content/kzeqlight.h"
#include "content/kzeqlink.h"
#include "content/kzeqnurb.h"
#include "content/kzeqshape.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurve.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;

namespace zeqiotest {

namespace {

typedef KZeqLayerElement E;

void Key(KFCurve* curve, double seconds, float value, unsigned interpolation = KFCURVE_INTERPOLATION_CUBIC) {
    KTime time;
    time.SetSecondDouble(seconds);
    KFCurveKey key;
    const unsigned tangent =
        interpolation == KFCURVE_INTERPOLATION_CUBIC ? static_cast<unsigned>(KFCURVE_TANGEANT_USER) : 0u;
    key.Set(time, value, interpolation, tangent, 0.25f, -0.25f, KFCURVE_WEIGHTED_NONE, 0.3333333f, 0.3333333f, 0.0f,
            0.0f);
    if (curve) curve->KeyAdd(time, key);
}

KZeqNode* Node(KZeqSdkManager& manager, KZeqNode* parent, const char* name, KZeqNodeAttribute* attribute) {
    KZeqNode* node = manager.CreateKZeqNode(name);
    if (attribute) node->SetNodeAttribute(attribute);
    parent->AddChild(node);
    return node;
}

// Polygon p of the mesh takes entry p % count of each by-polygon element.
void ByPolygon(E& element, int polygons, int count) {
    element.SetMappingMode(E::eBY_POLYGON);
    element.SetReferenceMode(E::eINDEX_TO_DIRECT);
    element.GetIndexArray().Clear();
    for (int p = 0; p < polygons; ++p) element.GetIndexArray().Add(p % count);
}

}  // namespace

void FillGridMesh(KZeqMesh& mesh, int side) {
    const int row = side + 1;
    mesh.InitControlPoints(row * row);
    KZeqVector4* points = mesh.GetControlPoints();
    for (int i = 0; i < row * row; ++i) points[i] = KZeqVector4(i % row, i / row, 0.25 * (i % 3), 0.0);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            mesh.BeginPolygon(-1, -1, (x + y) % 3);
            for (int corner : {y * row + x, y * row + x + 1, (y + 1) * row + x + 1, (y + 1) * row + x})
                mesh.AddPolygon(corner);
            mesh.EndPolygon();
        }
    const int polygons = mesh.GetPolygonCount(), vertices = 4 * polygons;
    if (mesh.GetLayerCount() == 0) mesh.CreateLayer();
    KZeqLayer& layer = *mesh.GetLayer(0);
    auto* normals = new KZeqLayerElementNormal;
    normals->SetMappingMode(E::eBY_POLYGON_VERTEX);
    for (int v = 0; v < vertices; ++v)
        normals->GetDirectArray().Add(KZeqVector4(0.0, v % 2 ? 0.6 : 0.0, v % 2 ? 0.8 : 1.0, 0.0));
    layer.SetNormals(normals);
    auto* uvs = new KZeqLayerElementUV;
    uvs->SetMappingMode(E::eBY_POLYGON_VERTEX);
    uvs->SetReferenceMode(E::eINDEX_TO_DIRECT);
    for (int i = 0; i < row * row; ++i)
        uvs->GetDirectArray().Add(KZeqVector2((i % row) / double(side), (i / row) / double(side)));
    for (int p = 0; p < polygons; ++p)
        for (int v = 0; v < 4; ++v) uvs->GetIndexArray().Add(mesh.GetPolygonVertex(p, v));
    layer.SetUVs(uvs);
    auto* groups = new KZeqLayerElementPolygonGroup;
    groups->SetMappingMode(E::eBY_POLYGON);
    groups->SetReferenceMode(E::eINDEX);
    for (int p = 0; p < polygons; ++p) groups->GetIndexArray().Add(mesh.GetPolygonGroup(p));
    layer.SetPolygonGroups(groups);
}

void BuildGeometryScene(KZeqSdkManager& manager, KZeqScene& scene, int side, int keys) {
    KZeqMaterial* red = manager.CreateKZeqMaterial("Red");
    KZeqMaterial* blue = manager.CreateKZeqMaterial("Blue");
    KZeqMaterial* green = manager.CreateKZeqMaterial("Green");
    // Shininess in quarters: older files keep it scaled, and quarters scale exactly.
    red->SetDiffuse(KZeqColor(0.9, 0.1, 0.1, 1.0)), red->SetShininess(0.5), red->SetOpacity(0.75);
    blue->SetShininess(0.25), green->SetShininess(0.75);
    blue->SetDiffuse(KZeqColor(0.1, 0.1, 0.9, 1.0)), blue->SetAmbient(KZeqColor(0.0, 0.0, 0.25, 1.0));
    blue->SetShadingModel("lambert"), blue->SetReflectivity(0.25);
    green->SetDiffuse(KZeqColor(0.1, 0.8, 0.1, 1.0)), green->SetEmissive(KZeqColor(0.0, 0.5, 0.0, 1.0));
    KZeqTexture* wood = manager.CreateKZeqTexture("Wood");
    KZeqTexture* stone = manager.CreateKZeqTexture("Stone");
    wood->SetFileName("/textures/wood.tif"), wood->SetRelativeFileName("textures/wood.tif");
    wood->SetMediaName("Video::wood"), wood->SetCropping(1, 2, 3, 4);
    wood->SetUVScaling(KZeqVector2(2.0, 0.5)), wood->SetTranslation(0.25, 0.5), wood->SetDefaultAlpha(0.5);
    stone->SetFileName("/textures/stone.tif"), stone->SetAlphaSource(KZeqTexture::eBLACK);
    stone->SetUVTranslation(KZeqVector2(0.1, 0.2)), stone->SetScale(3.0, 4.0);

    KZeqNode* root = scene.GetRootNode();
    KZeqMesh* body = manager.CreateKZeqMesh();
    FillGridMesh(*body, side);
    const int polygons = body->GetPolygonCount();
    // Layer 0: materials and textures by polygon, colours by control point.
    body->AddMaterial(red, 0), body->AddMaterial(blue, 0);
    ByPolygon(*body->GetLayer(0)->GetMaterials(), polygons, 2);
    body->AddTexture(wood, 0), body->AddTexture(stone, 0);
    ByPolygon(*body->GetLayer(0)->GetTextures(), polygons, 2);
    body->GetLayer(0)->GetTextures()->SetBlendMode(KZeqLayerElementTexture::eMODULATE);
    auto* colors = new KZeqLayerElementVertexColor;
    colors->SetMappingMode(E::eBY_CONTROL_POINT);
    for (int i = 0; i < body->GetControlPointsCount(); ++i)
        colors->GetDirectArray().Add(KZeqColor(i % 2, 0.5, 0.25, 1.0));
    body->GetLayer(0)->SetVertexColors(colors);
    // Layer 1 shares the blue material (in the other order) and takes the
    // stone for the whole mesh, with UVs by control point through indices.
    body->CreateLayer();
    body->AddMaterial(green, 1), body->AddMaterial(blue, 1);
    ByPolygon(*body->GetLayer(1)->GetMaterials(), polygons, 2);
    body->AddTexture(stone, 1);
    body->GetLayer(1)->GetTextures()->SetMappingMode(E::eALL_SAME);
    body->GetLayer(1)->GetTextures()->GetIndexArray().Clear();
    body->GetLayer(1)->GetTextures()->GetIndexArray().Add(0);
    auto* uvs = new KZeqLayerElementUV;
    uvs->SetMappingMode(E::eBY_CONTROL_POINT);
    uvs->SetReferenceMode(E::eINDEX_TO_DIRECT);
    for (int i = 0; i < 3; ++i) uvs->GetDirectArray().Add(KZeqVector2(0.5 * i, 1.0 - i));
    for (int i = 0; i < body->GetControlPointsCount(); ++i) uvs->GetIndexArray().Add(i % 3);
    body->GetLayer(1)->SetUVs(uvs);
    body->SetCount(side, side), body->SetStep(1, 2), body->SetClosed(true, false), body->SetCapped(false, true);
    KZeqNode* bodyNode = Node(manager, root, "Body", body);

    // Triangles: one material for all, the wood by polygon.
    KZeqMesh* prop = manager.CreateKZeqMesh();
    prop->InitControlPoints(4);
    for (int i = 0; i < 4; ++i) prop->GetControlPoints()[i] = KZeqVector4(i, i * i, -i, 0.0);
    for (int corners : {0, 1}) {
        prop->BeginPolygon(-1, -1, 0);
        for (int corner : {corners * 2, corners * 2 + 1, (corners * 2 + 2) % 4}) prop->AddPolygon(corner);
        prop->EndPolygon();
    }
    prop->AddMaterial(blue, 0);
    prop->GetLayer(0)->GetMaterials()->SetMappingMode(E::eALL_SAME);
    prop->GetLayer(0)->GetMaterials()->SetReferenceMode(E::eINDEX_TO_DIRECT);
    prop->GetLayer(0)->GetMaterials()->GetIndexArray().Clear();
    prop->GetLayer(0)->GetMaterials()->GetIndexArray().Add(0);
    prop->AddTexture(wood, 0);
    ByPolygon(*prop->GetLayer(0)->GetTextures(), 2, 1);
    KZeqNode* group = Node(manager, root, "Group", manager.CreateKZeqNull());
    KZeqNode* propNode = Node(manager, group, "Prop", prop);
    propNode->SetDefaultT(KZeqVector4(1, 2, 3, 1));

    for (const char* take : {"Walk", "Run"}) scene.CreateTake(take);
    bodyNode->SetCurrentTakeNode("Walk");
    KZeqTakeNode* walk = bodyNode->GetCurrentTakeNode();
    KFCurve* curves[] = {walk->GetTranslationX(),   walk->GetTranslationY(),   walk->GetTranslationZ(),
                         walk->GetEulerRotationX(), walk->GetEulerRotationY(), walk->GetEulerRotationZ(),
                         walk->GetScaleX(),         walk->GetScaleY(),         walk->GetScaleZ()};
    const unsigned kinds[] = {KFCURVE_INTERPOLATION_CUBIC, KFCURVE_INTERPOLATION_LINEAR,
                              KFCURVE_INTERPOLATION_CONSTANT};
    for (int c = 0; c < 9; ++c) {
        curves[c]->KeyModifyBegin();
        for (int k = 0; k < keys; ++k)
            Key(curves[c], k / 30.0, static_cast<float>(c + (k % 7) * 0.5 - (k % 3)), kinds[(k + c) % 3]);
        curves[c]->KeyModifyEnd();
    }
    bodyNode->SetCurrentTakeNode(0);
    propNode->SetCurrentTakeNode("Run");
    Key(propNode->GetCurrentTakeNode()->GetEulerRotationZ(), 0.5, 45.0f);
    propNode->SetCurrentTakeNode(0);
    red->SetCurrentTakeNode("Walk");
    Key(red->GetCurrentTakeNode()->GetMaterialDiffuseColorG(), 0.0, 0.1f),
        Key(red->GetCurrentTakeNode()->GetMaterialDiffuseColorG(), 2.0, 0.9f);
    red->SetCurrentTakeNode(0);
    wood->SetCurrentTakeNode("Run");
    Key(wood->GetCurrentTakeNode()->GetTextureAlpha(), 0.0, 0.25f),
        Key(wood->GetCurrentTakeNode()->GetTextureTranslationX(), 1.0, 2.0f);
    wood->SetCurrentTakeNode(0);
    scene.SetCurrentTake("Walk");
}

void AddCamerasLightsSurfacesPosesAndCharacters(KZeqSdkManager& manager, KZeqScene& scene) {
    KZeqNode* root = scene.GetRootNode();
    KZeqCamera* camera = manager.CreateKZeqCamera();
    camera->SetPosition(KZeqVector4(0, 50, 200, 1)), camera->SetFocalLength(50), camera->SetNearPlane(2);
    camera->SetBackgroundColor(KZeqColor(0.1, 0.2, 0.3, 1));
    Node(manager, root, "Camera", camera);
    KZeqLight* light = manager.CreateKZeqLight();
    light->SetLightType(KZeqLight::eSPOT), light->SetDefaultIntensity(80), light->SetDefaultConeAngle(35);
    light->SetDefaultColor(KZeqColor(1, 0.9, 0.8, 1));
    Node(manager, root, "Spot", light)->SetDefaultT(KZeqVector4(10, 100, 10, 1));

    KZeqNode* bone = Node(manager, root, "Bone", manager.CreateKZeqNull());
    bone->SetDefaultT(KZeqVector4(1, 2, 3, 1));
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    nurb->SetOrder(4, 4), nurb->InitControlPoints(4, KZeqNurb::eOPEN, 4, KZeqNurb::eOPEN);
    for (int i = 0; i < 16; ++i) nurb->GetControlPoints()[i] = KZeqVector4(i % 4, i / 4, 0.5 * (i % 3), 1.0);
    for (int i = 0; i < nurb->GetUKnotCount(); ++i) nurb->GetUKnotVector()[i] = i < 4 ? 0.0 : 1.0;
    for (int i = 0; i < nurb->GetVKnotCount(); ++i) nurb->GetVKnotVector()[i] = i < 4 ? 0.0 : 1.0;
    Node(manager, root, "Surface", nurb);
    KZeqLink* link = manager.CreateKZeqLink();
    link->SetLink(bone);
    for (int i = 0; i < 16; i += 3) link->AddControlPointIndex(i, 0.25 * (i % 4 + 1));
    link->SetTransformMatrix(KZeqXMatrix()), link->SetTransformLinkMatrix(KZeqXMatrix(KZeqVector4(1, 2, 3, 1),
                                                                                      KZeqVector4(), KZeqVector4(1, 1, 1, 1)));
    nurb->AddLink(link);
    KZeqShape* shape = manager.CreateKZeqShape();
    shape->InitControlPoints(16), std::copy_n(nurb->GetControlPoints(), 16, shape->GetControlPoints());
    shape->GetControlPoints()[5][2] += 1.5;
    nurb->AddShape(shape, "Shape 01");  // the name every file form keeps for a surface's shape

    KZeqPose* pose = manager.CreateKZeqPose("Bind", true);
    KZeqMatrix matrix;
    static_cast<double*>(matrix)[12] = 1, static_cast<double*>(matrix)[13] = 2, static_cast<double*>(matrix)[14] = 3;
    pose->Add("Model::Bone", matrix, false), scene.AddPose(pose);

    KZeqCharacter* character = scene.GetCharacter(scene.CreateCharacter("Walker"));
    KZeqCharacterLink hips;
    hips.mNode = bone;
    if (character) character->SetCharacterLink(eCharacterHips, hips);

    if (KZeqGlobalLightSettings* lights = scene.GetGlobalLightSettings())
        lights->SetAmbientColor(KZeqColor(0.2, 0.2, 0.25, 0)), lights->SetFogEnable(true), lights->SetFogDensity(0.5);
}

}  // namespace zeqiotest
