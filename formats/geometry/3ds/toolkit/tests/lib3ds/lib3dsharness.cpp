#include "formats/geometry/3ds/toolkit/tests/lib3ds/lib3dsharness.h"

#include <cstring>
#include <memory>

#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>
#include <lib3ds/tracks.h>

// lib3ds keeps its meshes, materials, cameras and lights sorted by name and its
// nodes as a hierarchy; the dump keeps those orders. Compare by name.

namespace lib3dsharness {

namespace {

struct FileDeleter {
    void operator()(Lib3dsFile* f) const { lib3ds_file_free(f); }
};
using FilePtr = std::unique_ptr<Lib3dsFile, FileDeleter>;

Vec3 V(const float* v) { return {v[0], v[1], v[2]}; }
void Set(float* dst, const Vec3& v) { std::memcpy(dst, v.data(), sizeof(float) * 3); }
void SetName(char* dst, std::size_t room, const std::string& s) {
    std::strncpy(dst, s.c_str(), room - 1);
    dst[room - 1] = 0;
}

void FromTcb(const Lib3dsTcb& tcb, Key& k) {
    k.frame = tcb.frame;
    k.flags = tcb.flags;
    k.tension = tcb.tens;
    k.continuity = tcb.cont;
    k.bias = tcb.bias;
    k.easeto = tcb.ease_to;
    k.easefrom = tcb.ease_from;
}
void ToTcb(const Key& k, Lib3dsTcb& tcb) {
    tcb.frame = k.frame;
    tcb.flags = k.flags;
    tcb.tens = k.tension;
    tcb.cont = k.continuity;
    tcb.bias = k.bias;
    tcb.ease_to = k.easeto;
    tcb.ease_from = k.easefrom;
}

Track FromLin3(const Lib3dsLin3Track& t) {
    Track track{t.flags, {}};
    for (Lib3dsLin3Key* k = t.keyL; k; k = k->next) {
        Key key;
        FromTcb(k->tcb, key);
        key.value.assign(k->value, k->value + 3);
        track.keys.push_back(key);
    }
    return track;
}
Track FromLin1(const Lib3dsLin1Track& t) {
    Track track{t.flags, {}};
    for (Lib3dsLin1Key* k = t.keyL; k; k = k->next) {
        Key key;
        FromTcb(k->tcb, key);
        key.value = {k->value};
        track.keys.push_back(key);
    }
    return track;
}
Track FromQuat(const Lib3dsQuatTrack& t) {
    Track track{t.flags, {}};
    for (Lib3dsQuatKey* k = t.keyL; k; k = k->next) {
        Key key;
        FromTcb(k->tcb, key);
        key.value = {k->angle, k->axis[0], k->axis[1], k->axis[2]};
        track.keys.push_back(key);
    }
    return track;
}
Track FromBool(const Lib3dsBoolTrack& t) {
    Track track{t.flags, {}};
    for (Lib3dsBoolKey* k = t.keyL; k; k = k->next) {
        Key key;
        FromTcb(k->tcb, key);
        track.keys.push_back(key);
    }
    return track;
}
Track FromMorph(const Lib3dsMorphTrack& t) {
    Track track{t.flags, {}};
    for (Lib3dsMorphKey* k = t.keyL; k; k = k->next) {
        Key key;
        FromTcb(k->tcb, key);
        key.name = k->name;
        track.keys.push_back(key);
    }
    return track;
}

void ToLin3(const Track& track, Lib3dsLin3Track& t) {
    t.flags = track.flags;
    for (const Key& key : track.keys) {
        Lib3dsLin3Key* k = lib3ds_lin3_key_new();
        ToTcb(key, k->tcb);
        for (std::size_t i = 0; i < 3 && i < key.value.size(); ++i) k->value[i] = key.value[i];
        lib3ds_lin3_track_insert(&t, k);
    }
}
void ToLin1(const Track& track, Lib3dsLin1Track& t) {
    t.flags = track.flags;
    for (const Key& key : track.keys) {
        Lib3dsLin1Key* k = lib3ds_lin1_key_new();
        ToTcb(key, k->tcb);
        k->value = key.value.empty() ? 0.0f : key.value[0];
        lib3ds_lin1_track_insert(&t, k);
    }
}
void ToQuat(const Track& track, Lib3dsQuatTrack& t) {
    t.flags = track.flags;
    for (const Key& key : track.keys) {
        Lib3dsQuatKey* k = lib3ds_quat_key_new();
        ToTcb(key, k->tcb);
        if (key.value.size() >= 4) {
            k->angle = key.value[0];
            k->axis[0] = key.value[1];
            k->axis[1] = key.value[2];
            k->axis[2] = key.value[3];
        }
        lib3ds_quat_track_insert(&t, k);
    }
}
void ToBool(const Track& track, Lib3dsBoolTrack& t) {
    t.flags = track.flags;
    for (const Key& key : track.keys) {
        Lib3dsBoolKey* k = lib3ds_bool_key_new();
        ToTcb(key, k->tcb);
        lib3ds_bool_track_insert(&t, k);
    }
}
void ToMorph(const Track& track, Lib3dsMorphTrack& t) {
    t.flags = track.flags;
    for (const Key& key : track.keys) {
        Lib3dsMorphKey* k = lib3ds_morph_key_new();
        ToTcb(key, k->tcb);
        SetName(k->name, sizeof(k->name), key.name);
        lib3ds_morph_track_insert(&t, k);
    }
}

Lib3dsTextureMap* Slot(Lib3dsMaterial* m, int slot) {
    Lib3dsTextureMap* maps[MapSlots] = {
        &m->texture1_map,  &m->texture1_mask,  &m->texture2_map,   &m->texture2_mask,  &m->opacity_map,
        &m->opacity_mask,  &m->bump_map,       &m->bump_mask,      &m->specular_map,   &m->specular_mask,
        &m->shininess_map, &m->shininess_mask, &m->self_illum_map, &m->self_illum_mask, &m->reflection_map,
        &m->reflection_mask};
    return maps[slot];
}

void Flatten(Lib3dsNode* node, const std::string& parent, std::vector<Node>& out) {
    for (; node; node = node->next) {
        Node n;
        n.type = static_cast<NodeType>(node->type);
        n.id = node->node_id;
        n.name = node->name;
        n.flags1 = node->flags1;
        n.flags2 = node->flags2;
        n.parentId = node->parent_id;
        n.parent = parent;
        switch (node->type) {
            case LIB3DS_AMBIENT_NODE:
                n.color = FromLin3(node->data.ambient.col_track);
                break;
            case LIB3DS_OBJECT_NODE: {
                const Lib3dsObjectData& d = node->data.object;
                n.instance = d.instance;
                n.pivot = V(d.pivot);
                n.bboxMin = V(d.bbox_min);
                n.bboxMax = V(d.bbox_max);
                n.morphSmooth = d.morph_smooth;
                n.position = FromLin3(d.pos_track);
                n.rotation = FromQuat(d.rot_track);
                n.scale = FromLin3(d.scl_track);
                n.morph = FromMorph(d.morph_track);
                n.hide = FromBool(d.hide_track);
                break;
            }
            case LIB3DS_CAMERA_NODE:
                n.position = FromLin3(node->data.camera.pos_track);
                n.fov = FromLin1(node->data.camera.fov_track);
                n.roll = FromLin1(node->data.camera.roll_track);
                break;
            case LIB3DS_TARGET_NODE:
                n.position = FromLin3(node->data.target.pos_track);
                break;
            case LIB3DS_LIGHT_NODE:
                n.position = FromLin3(node->data.light.pos_track);
                n.color = FromLin3(node->data.light.col_track);
                n.hotspot = FromLin1(node->data.light.hotspot_track);
                n.falloff = FromLin1(node->data.light.falloff_track);
                n.roll = FromLin1(node->data.light.roll_track);
                break;
            case LIB3DS_SPOT_NODE:
                n.position = FromLin3(node->data.spot.pos_track);
                break;
            default:
                break;
        }
        out.push_back(n);
        Flatten(node->childs, n.name, out);
    }
}

void FlattenValues(Lib3dsNode* node, std::vector<NodeValues>& out) {
    for (; node; node = node->next) {
        NodeValues v;
        v.type = static_cast<NodeType>(node->type);
        v.name = node->name;
        std::memcpy(v.matrix, node->matrix, sizeof(v.matrix));
        switch (node->type) {
            case LIB3DS_AMBIENT_NODE: v.color = V(node->data.ambient.col); break;
            case LIB3DS_OBJECT_NODE:
                v.position = V(node->data.object.pos);
                v.scale = V(node->data.object.scl);
                std::memcpy(v.rotation.data(), node->data.object.rot, sizeof(float) * 4);
                v.hidden = node->data.object.hide != 0;
                break;
            case LIB3DS_CAMERA_NODE:
                v.position = V(node->data.camera.pos);
                v.fov = node->data.camera.fov;
                v.roll = node->data.camera.roll;
                break;
            case LIB3DS_TARGET_NODE: v.position = V(node->data.target.pos); break;
            case LIB3DS_LIGHT_NODE:
                v.position = V(node->data.light.pos);
                v.color = V(node->data.light.col);
                v.hotspot = node->data.light.hotspot;
                v.falloff = node->data.light.falloff;
                v.roll = node->data.light.roll;
                break;
            case LIB3DS_SPOT_NODE: v.position = V(node->data.spot.pos); break;
            default: break;
        }
        out.push_back(v);
        FlattenValues(node->childs, out);
    }
}

void Fill(Lib3dsFile* f, Scene& out) {
    out.meshVersion = f->mesh_version;
    out.keyfRevision = f->keyf_revision;
    out.masterScale = f->master_scale;
    out.constructionPlane = V(f->construction_plane);
    out.ambient = V(f->ambient);
    out.shadowMapSize = f->shadow.map_size;
    out.shadowLowBias = f->shadow.lo_bias;
    out.shadowHiBias = f->shadow.hi_bias;
    out.shadowFilter = f->shadow.filter;
    out.shadowRayBias = f->shadow.ray_bias;
    out.frames = f->frames;
    out.segmentFrom = f->segment_from;
    out.segmentTo = f->segment_to;
    out.currentFrame = f->current_frame;
    for (Lib3dsMesh* m = f->meshes; m; m = m->next) {
        Mesh mesh;
        mesh.name = m->name;
        mesh.objectFlags = m->object_flags;
        mesh.color = m->color;
        std::memcpy(mesh.matrix, m->matrix, sizeof(mesh.matrix));
        for (Lib3dsDword i = 0; i < m->points; ++i) mesh.vertices.push_back(V(m->pointL[i].pos));
        for (Lib3dsDword i = 0; i < m->flags; ++i) mesh.vertexFlags.push_back(m->flagL[i]);
        for (Lib3dsDword i = 0; i < m->texels; ++i) mesh.texcoords.push_back({m->texelL[i][0], m->texelL[i][1]});
        for (Lib3dsDword i = 0; i < m->faces; ++i) {
            const Lib3dsFace& face = m->faceL[i];
            mesh.faces.push_back({face.points[0], face.points[1], face.points[2], face.flags, face.material, face.smoothing});
        }
        mesh.boxMap = {m->box_map.front, m->box_map.back, m->box_map.left, m->box_map.right, m->box_map.top,
                       m->box_map.bottom};
        mesh.mapType = m->map_data.maptype;
        std::memcpy(mesh.mapTile, m->map_data.tile, sizeof(mesh.mapTile));
        std::memcpy(mesh.mapPosition, m->map_data.pos, sizeof(mesh.mapPosition));
        mesh.mapScale = m->map_data.scale;
        std::memcpy(mesh.mapMatrix, m->map_data.matrix, sizeof(mesh.mapMatrix));
        std::memcpy(mesh.mapPlanarSize, m->map_data.planar_size, sizeof(mesh.mapPlanarSize));
        mesh.mapCylinderHeight = m->map_data.cylinder_height;
        out.meshes.push_back(mesh);
    }
    for (Lib3dsMaterial* m = f->materials; m; m = m->next) {
        Material mat;
        mat.name = m->name;
        mat.ambient = V(m->ambient);
        mat.diffuse = V(m->diffuse);
        mat.specular = V(m->specular);
        mat.shininess = m->shininess;
        mat.shinStrength = m->shin_strength;
        mat.useBlur = m->use_blur;
        mat.blur = m->blur;
        mat.transparency = m->transparency;
        mat.falloff = m->falloff;
        mat.additive = m->additive;
        mat.selfIllumPct = m->self_ilpct;
        mat.useFalloff = m->use_falloff;
        mat.selfIllum = m->self_illum;
        mat.shading = m->shading;
        mat.soften = m->soften;
        mat.faceMap = m->face_map;
        mat.twoSided = m->two_sided;
        mat.mapDecal = m->map_decal;
        mat.useWire = m->use_wire;
        mat.useWireAbs = m->use_wire_abs;
        mat.wireSize = m->wire_size;
        for (int s = 0; s < MapSlots; ++s) {
            const Lib3dsTextureMap* t = Slot(m, s);
            Map& map = mat.maps[s];
            map.name = t->name;
            map.flags = t->flags;
            map.percent = t->percent;
            map.blur = t->blur;
            std::memcpy(map.scale, t->scale, sizeof(map.scale));
            std::memcpy(map.offset, t->offset, sizeof(map.offset));
            map.rotation = t->rotation;
            map.tint1 = V(t->tint_1);
            map.tint2 = V(t->tint_2);
            map.tintR = V(t->tint_r);
            map.tintG = V(t->tint_g);
            map.tintB = V(t->tint_b);
        }
        mat.autoReflFlags = m->autorefl_map.flags;
        mat.autoReflLevel = m->autorefl_map.level;
        mat.autoReflSize = m->autorefl_map.size;
        mat.autoReflFrameStep = m->autorefl_map.frame_step;
        out.materials.push_back(mat);
    }
    for (Lib3dsCamera* c = f->cameras; c; c = c->next)
        out.cameras.push_back({c->name, V(c->position), V(c->target), c->roll, c->fov, c->near_range, c->far_range,
                               c->see_cone != 0});
    for (Lib3dsLight* l = f->lights; l; l = l->next) {
        Light light;
        light.name = l->name;
        light.spot = l->spot_light;
        light.seeCone = l->see_cone;
        light.off = l->off;
        light.rectangular = l->rectangular_spot;
        light.shadowed = l->shadowed;
        light.useProjector = l->use_projector;
        light.rayShadows = l->ray_shadows;
        light.overshoot = l->spot_overshoot != 0;
        light.color = V(l->color);
        light.position = V(l->position);
        light.target = V(l->spot);
        light.roll = l->roll;
        light.outerRange = l->outer_range;
        light.innerRange = l->inner_range;
        light.multiplier = l->multiplier;
        light.attenuation = l->attenuation;
        light.shadowBias = l->shadow_bias;
        light.shadowFilter = l->shadow_filter;
        light.shadowSize = l->shadow_size;
        light.aspect = l->spot_aspect;
        light.rayBias = l->ray_bias;
        light.hotspot = l->hot_spot;
        light.falloff = l->fall_off;
        light.projector = l->projector;
        out.lights.push_back(light);
    }
    Flatten(f->nodes, "", out.nodes);
}

Lib3dsNode* MakeNode(const Node& n) {
    Lib3dsNode* node = nullptr;
    switch (n.type) {
        case AmbientNode: node = lib3ds_node_new_ambient(); break;
        case ObjectNode: node = lib3ds_node_new_object(); break;
        case CameraNode: node = lib3ds_node_new_camera(); break;
        case TargetNode: node = lib3ds_node_new_target(); break;
        case LightNode: node = lib3ds_node_new_light(); break;
        case SpotNode: node = lib3ds_node_new_spot(); break;
        default: return nullptr;
    }
    node->node_id = n.id;
    node->parent_id = n.parentId;
    node->flags1 = n.flags1;
    node->flags2 = n.flags2;
    SetName(node->name, sizeof(node->name), n.name);
    switch (n.type) {
        case AmbientNode: ToLin3(n.color, node->data.ambient.col_track); break;
        case ObjectNode: {
            Lib3dsObjectData& d = node->data.object;
            SetName(d.instance, sizeof(d.instance), n.instance);
            Set(d.pivot, n.pivot);
            Set(d.bbox_min, n.bboxMin);
            Set(d.bbox_max, n.bboxMax);
            d.morph_smooth = n.morphSmooth;
            ToLin3(n.position, d.pos_track);
            ToQuat(n.rotation, d.rot_track);
            ToLin3(n.scale, d.scl_track);
            ToMorph(n.morph, d.morph_track);
            ToBool(n.hide, d.hide_track);
            break;
        }
        case CameraNode:
            ToLin3(n.position, node->data.camera.pos_track);
            ToLin1(n.fov, node->data.camera.fov_track);
            ToLin1(n.roll, node->data.camera.roll_track);
            break;
        case TargetNode: ToLin3(n.position, node->data.target.pos_track); break;
        case LightNode:
            ToLin3(n.position, node->data.light.pos_track);
            ToLin3(n.color, node->data.light.col_track);
            ToLin1(n.hotspot, node->data.light.hotspot_track);
            ToLin1(n.falloff, node->data.light.falloff_track);
            ToLin1(n.roll, node->data.light.roll_track);
            break;
        case SpotNode: ToLin3(n.position, node->data.spot.pos_track); break;
        default: break;
    }
    return node;
}

}  // namespace

bool Load(const std::string& path, Scene& out, std::string* error) {
    out = Scene{};
    FilePtr file(lib3ds_file_load(path.c_str()));
    if (!file) {
        if (error) *error = "lib3ds could not read " + path;
        return false;
    }
    Fill(file.get(), out);
    return true;
}

bool Evaluate(const std::string& path, const std::vector<float>& frames, std::vector<Frame>& out, std::string* error) {
    out.clear();
    FilePtr file(lib3ds_file_load(path.c_str()));
    if (!file) {
        if (error) *error = "lib3ds could not read " + path;
        return false;
    }
    for (float t : frames) {
        lib3ds_file_eval(file.get(), t);
        Frame frame;
        frame.frame = t;
        FlattenValues(file->nodes, frame.nodes);
        out.push_back(frame);
    }
    return true;
}

bool Save(const Scene& scene, const std::string& path, std::string* error) {
    FilePtr file(lib3ds_file_new());
    Lib3dsFile* f = file.get();
    f->mesh_version = scene.meshVersion ? scene.meshVersion : 3;
    f->keyf_revision = scene.keyfRevision ? scene.keyfRevision : 5;
    f->master_scale = scene.masterScale;
    Set(f->construction_plane, scene.constructionPlane);
    Set(f->ambient, scene.ambient);
    f->shadow.map_size = scene.shadowMapSize;
    f->shadow.lo_bias = scene.shadowLowBias;
    f->shadow.hi_bias = scene.shadowHiBias;
    f->shadow.filter = scene.shadowFilter;
    f->shadow.ray_bias = scene.shadowRayBias;
    f->frames = scene.frames;
    f->segment_from = scene.segmentFrom;
    f->segment_to = scene.segmentTo;
    f->current_frame = scene.currentFrame;
    for (const Material& mat : scene.materials) {
        Lib3dsMaterial* m = lib3ds_material_new();
        SetName(m->name, sizeof(m->name), mat.name);
        Set(m->ambient, mat.ambient);
        Set(m->diffuse, mat.diffuse);
        Set(m->specular, mat.specular);
        m->shininess = mat.shininess;
        m->shin_strength = mat.shinStrength;
        m->use_blur = mat.useBlur;
        m->blur = mat.blur;
        m->transparency = mat.transparency;
        m->falloff = mat.falloff;
        m->additive = mat.additive;
        m->self_ilpct = mat.selfIllumPct;
        m->use_falloff = mat.useFalloff;
        m->self_illum = mat.selfIllum;
        m->shading = mat.shading;
        m->soften = mat.soften;
        m->face_map = mat.faceMap;
        m->two_sided = mat.twoSided;
        m->map_decal = mat.mapDecal;
        m->use_wire = mat.useWire;
        m->use_wire_abs = mat.useWireAbs;
        m->wire_size = mat.wireSize;
        for (int s = 0; s < MapSlots; ++s) {
            Lib3dsTextureMap* t = Slot(m, s);
            const Map& map = mat.maps[s];
            SetName(t->name, sizeof(t->name), map.name);
            t->flags = map.flags;
            t->percent = map.percent;
            t->blur = map.blur;
            std::memcpy(t->scale, map.scale, sizeof(map.scale));
            std::memcpy(t->offset, map.offset, sizeof(map.offset));
            t->rotation = map.rotation;
            Set(t->tint_1, map.tint1);
            Set(t->tint_2, map.tint2);
            Set(t->tint_r, map.tintR);
            Set(t->tint_g, map.tintG);
            Set(t->tint_b, map.tintB);
        }
        m->autorefl_map.flags = mat.autoReflFlags;
        m->autorefl_map.level = mat.autoReflLevel;
        m->autorefl_map.size = mat.autoReflSize;
        m->autorefl_map.frame_step = mat.autoReflFrameStep;
        lib3ds_file_insert_material(f, m);
    }
    for (const Mesh& mesh : scene.meshes) {
        Lib3dsMesh* m = lib3ds_mesh_new(mesh.name.c_str());
        m->object_flags = mesh.objectFlags;
        m->color = mesh.color;
        std::memcpy(m->matrix, mesh.matrix, sizeof(m->matrix));
        lib3ds_mesh_new_point_list(m, static_cast<Lib3dsDword>(mesh.vertices.size()));
        for (std::size_t i = 0; i < mesh.vertices.size(); ++i) Set(m->pointL[i].pos, mesh.vertices[i]);
        if (!mesh.vertexFlags.empty()) {
            lib3ds_mesh_new_flag_list(m, static_cast<Lib3dsDword>(mesh.vertexFlags.size()));
            std::memcpy(m->flagL, mesh.vertexFlags.data(), mesh.vertexFlags.size() * sizeof(Lib3dsWord));
        }
        if (!mesh.texcoords.empty()) {
            lib3ds_mesh_new_texel_list(m, static_cast<Lib3dsDword>(mesh.texcoords.size()));
            for (std::size_t i = 0; i < mesh.texcoords.size(); ++i) {
                m->texelL[i][0] = mesh.texcoords[i][0];
                m->texelL[i][1] = mesh.texcoords[i][1];
            }
        }
        lib3ds_mesh_new_face_list(m, static_cast<Lib3dsDword>(mesh.faces.size()));
        for (std::size_t i = 0; i < mesh.faces.size(); ++i) {
            const Face& face = mesh.faces[i];
            Lib3dsFace& out = m->faceL[i];
            out.points[0] = face.a;
            out.points[1] = face.b;
            out.points[2] = face.c;
            out.flags = face.flags;
            out.smoothing = face.smoothing;
            SetName(out.material, sizeof(out.material), face.material);
        }
        SetName(m->box_map.front, sizeof(m->box_map.front), mesh.boxMap[0]);
        SetName(m->box_map.back, sizeof(m->box_map.back), mesh.boxMap[1]);
        SetName(m->box_map.left, sizeof(m->box_map.left), mesh.boxMap[2]);
        SetName(m->box_map.right, sizeof(m->box_map.right), mesh.boxMap[3]);
        SetName(m->box_map.top, sizeof(m->box_map.top), mesh.boxMap[4]);
        SetName(m->box_map.bottom, sizeof(m->box_map.bottom), mesh.boxMap[5]);
        m->map_data.maptype = mesh.mapType;
        std::memcpy(m->map_data.tile, mesh.mapTile, sizeof(mesh.mapTile));
        std::memcpy(m->map_data.pos, mesh.mapPosition, sizeof(mesh.mapPosition));
        m->map_data.scale = mesh.mapScale;
        std::memcpy(m->map_data.matrix, mesh.mapMatrix, sizeof(mesh.mapMatrix));
        std::memcpy(m->map_data.planar_size, mesh.mapPlanarSize, sizeof(mesh.mapPlanarSize));
        m->map_data.cylinder_height = mesh.mapCylinderHeight;
        lib3ds_file_insert_mesh(f, m);
    }
    for (const Camera& cam : scene.cameras) {
        Lib3dsCamera* c = lib3ds_camera_new(cam.name.c_str());
        Set(c->position, cam.position);
        Set(c->target, cam.target);
        c->roll = cam.roll;
        c->fov = cam.fov;
        c->see_cone = cam.seeCone;
        c->near_range = cam.nearRange;
        c->far_range = cam.farRange;
        lib3ds_file_insert_camera(f, c);
    }
    for (const Light& light : scene.lights) {
        Lib3dsLight* l = lib3ds_light_new(light.name.c_str());
        l->spot_light = light.spot;
        l->see_cone = light.seeCone;
        l->off = light.off;
        l->rectangular_spot = light.rectangular;
        l->shadowed = light.shadowed;
        l->use_projector = light.useProjector;
        l->ray_shadows = light.rayShadows;
        l->spot_overshoot = light.overshoot;
        Set(l->color, light.color);
        Set(l->position, light.position);
        Set(l->spot, light.target);
        l->roll = light.roll;
        l->outer_range = light.outerRange;
        l->inner_range = light.innerRange;
        l->multiplier = light.multiplier;
        l->attenuation = light.attenuation;
        l->shadow_bias = light.shadowBias;
        l->shadow_filter = light.shadowFilter;
        l->shadow_size = light.shadowSize;
        l->spot_aspect = light.aspect;
        l->ray_bias = light.rayBias;
        l->hot_spot = light.hotspot;
        l->fall_off = light.falloff;
        SetName(l->projector, sizeof(l->projector), light.projector);
        lib3ds_file_insert_light(f, l);
    }
    for (const Node& n : scene.nodes) {
        if (Lib3dsNode* node = MakeNode(n)) lib3ds_file_insert_node(f, node);
    }
    if (!lib3ds_file_save(f, path.c_str())) {
        if (error) *error = "lib3ds could not write " + path;
        return false;
    }
    return true;
}

}  // namespace lib3dsharness
