#ifndef ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_TESTS_LIB3DS_LIB3DSHARNESS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_TOOLKIT_TESTS_LIB3DS_LIB3DSHARNESS_H

// Test harness over the peer library lib3ds (Debian lib3ds-dev): loads any 3DS
// file into a neutral dump of plain values (meshes, materials, cameras, lights,
// keyframe nodes with their tracks, scene settings), evaluates the keyframer per
// frame, and writes a 3DS file from such a dump. The dump knows nothing of the
// toolkit or of the SDK, so tests of either can compare their reading with
// lib3ds's and have lib3ds read what they wrote. Test-only.
//
// Units and conventions are the file's: angles of cameras and lights in degrees,
// rotation keys as the file stores them (angle in radians, then the axis), colours
// as floats 0..1, node ids and parents as lib3ds reads them.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lib3dsharness {

using Vec3 = std::array<float, 3>;

// One key of a track: frame, spline flags and values, and its value (3 floats for
// position, scale and colour; angle, x, y, z for rotation; 1 float for field of
// view, roll, hotspot, falloff; none for hide; `name` for morph).
struct Key {
    std::int32_t frame = 0;
    std::uint16_t flags = 0;
    float tension = 0, continuity = 0, bias = 0, easeto = 0, easefrom = 0;
    std::vector<float> value;
    std::string name;
};

struct Track {
    std::uint32_t flags = 0;
    std::vector<Key> keys;
};

enum NodeType { UnknownNode = 0, AmbientNode = 1, ObjectNode = 2, CameraNode = 3, TargetNode = 4, LightNode = 5, SpotNode = 6 };

struct Node {
    NodeType type = UnknownNode;
    std::uint16_t id = 0;
    std::string name;
    std::string instance;    // object nodes
    std::uint16_t flags1 = 0, flags2 = 0;
    std::uint16_t parentId = 0xFFFF;
    std::string parent;      // the parent node's name ("" at the top)
    Vec3 pivot{}, bboxMin{}, bboxMax{};
    float morphSmooth = 0;
    // Tracks by kind; those the node's type does not carry stay empty.
    Track position, rotation, scale, morph, hide;  // object (position also camera, target, lights)
    Track fov, roll;                               // camera (roll also spotlight)
    Track color, hotspot, falloff;                 // lights (color also ambient)
};

struct Face {
    std::uint16_t a = 0, b = 0, c = 0, flags = 0;
    std::string material;
    std::uint32_t smoothing = 0;
};

struct Mesh {
    std::string name;
    std::uint32_t objectFlags = 0;  // hidden 0x1, lofter 0x2, no cast 0x4, matte 0x8, no receive 0x10, fast 0x20, frozen 0x40
    std::uint8_t color = 0;
    float matrix[4][4] = {};        // the local axes and origin (0x4160)
    std::vector<Vec3> vertices;
    std::vector<std::uint16_t> vertexFlags;
    std::vector<std::array<float, 2>> texcoords;
    std::vector<Face> faces;
    std::array<std::string, 6> boxMap;  // front, back, left, right, top, bottom
    std::uint16_t mapType = 0xFFFF;     // none unless a mapping icon was read
    float mapTile[2] = {}, mapPosition[3] = {}, mapScale = 0, mapMatrix[4][4] = {}, mapPlanarSize[2] = {},
          mapCylinderHeight = 0;
};

struct Map {
    std::string name;
    std::uint32_t flags = 0;  // the file's map flag word
    float percent = 0, blur = 0, scale[2] = {1, 1}, offset[2] = {}, rotation = 0;
    Vec3 tint1{}, tint2{}, tintR{}, tintG{}, tintB{};
};

// Map slots in this order.
enum MapSlot {
    Texture1, Texture1Mask, Texture2, Texture2Mask, Opacity, OpacityMask, Bump, BumpMask, Specular, SpecularMask,
    Shininess, ShininessMask, SelfIllum, SelfIllumMask, Reflection, ReflectionMask, MapSlots
};

struct Material {
    std::string name;
    Vec3 ambient{}, diffuse{}, specular{};
    float shininess = 0, shinStrength = 0, blur = 0, transparency = 0, falloff = 0, selfIllumPct = 0, wireSize = 0;
    bool useBlur = false, additive = false, useFalloff = false, selfIllum = false, soften = false, faceMap = false,
         twoSided = false, mapDecal = false, useWire = false, useWireAbs = false;
    std::int16_t shading = 0;
    std::array<Map, MapSlots> maps;
    std::uint32_t autoReflFlags = 0;
    std::int32_t autoReflLevel = 0, autoReflSize = 0, autoReflFrameStep = 0;
};

struct Camera {
    std::string name;
    Vec3 position{}, target{};
    float roll = 0, fov = 0, nearRange = 0, farRange = 0;
    bool seeCone = false;
};

struct Light {
    std::string name;
    bool spot = false, seeCone = false, off = false, rectangular = false, shadowed = false, useProjector = false,
         rayShadows = false, overshoot = false;
    Vec3 color{}, position{}, target{};
    float roll = 0, outerRange = 0, innerRange = 0, multiplier = 0, attenuation = 0, shadowBias = 0,
          shadowFilter = 0, aspect = 0, rayBias = 0, hotspot = 0, falloff = 0;
    std::int16_t shadowSize = 0;
    std::string projector;
};

struct Scene {
    std::uint32_t meshVersion = 0;
    std::uint16_t keyfRevision = 0;
    float masterScale = 1;
    Vec3 constructionPlane{}, ambient{};
    std::int16_t shadowMapSize = 0;
    float shadowLowBias = 0, shadowHiBias = 0, shadowFilter = 0, shadowRayBias = 0;
    std::int32_t frames = 0, segmentFrom = 0, segmentTo = 0, currentFrame = 0;
    std::vector<Mesh> meshes;
    std::vector<Material> materials;
    std::vector<Camera> cameras;
    std::vector<Light> lights;
    std::vector<Node> nodes;  // depth-first through lib3ds's hierarchy, children in its order
};

// One node's values at one frame after lib3ds_file_eval.
struct NodeValues {
    NodeType type = UnknownNode;
    std::string name;
    float matrix[4][4] = {};
    Vec3 position{}, scale{}, color{};
    std::array<float, 4> rotation{};  // quaternion x, y, z, w
    float fov = 0, roll = 0, hotspot = 0, falloff = 0;
    bool hidden = false;
};

struct Frame {
    float frame = 0;
    std::vector<NodeValues> nodes;  // in the order of Scene::nodes
};

// True when lib3ds read the file; `error` says why not otherwise.
bool Load(const std::string& path, Scene& out, std::string* error = nullptr);
// Writes the scene with lib3ds; nodes are linked to parents by parentId.
bool Save(const Scene& scene, const std::string& path, std::string* error = nullptr);
// Loads the file and evaluates it at each frame.
bool Evaluate(const std::string& path, const std::vector<float>& frames, std::vector<Frame>& out,
              std::string* error = nullptr);

}  // namespace lib3dsharness

#endif
