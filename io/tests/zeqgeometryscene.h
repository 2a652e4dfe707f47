#ifndef ZEQ_IO_TESTS_ZEQGEOMETRYSCENE_H
#define ZEQ_IO_TESTS_ZEQGEOMETRYSCENE_H

// A whole scene for the round trips: nodes, meshes of quads and triangles
// with normals, UVs on two layers, colours, groups, per-polygon materials
// and textures (two layers sharing materials), and two takes animating
// nodes, a material and a texture.

namespace zeqsdk_400 {
class KZeqMesh;
class KZeqScene;
class KZeqSdkManager;
}  // namespace zeqsdk_400

namespace zeqiotest {

// Fills the scene; the big mesh is a grid of side x side quads, whose node's
// translation, rotation and scaling curves hold keys keys each in "Walk"
// (cubic, linear and constant in turn).
void BuildGeometryScene(zeqsdk_400::KZeqSdkManager& manager, zeqsdk_400::KZeqScene& scene, int side = 3,
                        int keys = 2);

// Adds to a scene built above the other kinds a whole scene holds: a
// camera and a spot light, a NURBS surface skinned to a bone with a shape, a
// bind pose, a character on the bone, the global light settings.
void AddCamerasLightsSurfacesPosesAndCharacters(zeqsdk_400::KZeqSdkManager& manager, zeqsdk_400::KZeqScene& scene);

// A grid of side x side quads: control points, polygons, normals by polygon
// vertex, UVs by polygon vertex through indices, groups by polygon.
void FillGridMesh(zeqsdk_400::KZeqMesh& mesh, int side);

}  // namespace zeqiotest

#endif
