// Zeq files through the importer: open, take queries, options (and their
// "Summary" write-back), import with and without options, summary updates,
// and an import that bakes layers and time warps.
//
// Input: mode byte, password length byte (mod 16), the password, then the rest.
// Modes: 0 the rest is the whole file; 1 and 2 the rest is the main section
// of a valid plain or encrypted binary file (checksums hold, so the body
// parser and the reader are reached); 3 the rest is the fields of an ASCII
// file; 4 structure-aware: the rest is a program that writes a field file
// through the field-file writer (encoding and version first, then one
// operation per byte: fields named from a dictionary of the reader's record
// names, values, blocks, extension sections, a password).
//
// With ZEQ_FUZZ_SEEDS=<dir> in the environment the target first writes its
// seeds there: files from the 6.0 and 5.8 writers in the three encodings,
// node trees and a hand-made 5.8 main section.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "character/kzeqcharacter.h"
#include "character/kzeqcharacterpose.h"
#include "character/kzeqcontrolset.h"
#include "content/kzeqcamera.h"
#include "character/kzeqactor.h"
#include "character/kzeqmarkerset.h"
#include "content/kzeqcameraswitcher.h"
#include "content/kzeqgobo.h"
#include "content/kzeqlight.h"
#include "content/kzeqmarker.h"
#include "content/kzeqtexture.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "fileio/kpath.h"
#include "fileio/kzeq.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzzscratch.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kzeqwriterzeq.h"
#include "io/tests/zeqgeometryscene.h"
#include "io/kzeqwriterzeq6.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnodelimits.h"
#include "content/kzeqlink.h"
#include "content/kzeqnull.h"
#include "content/kzeqnurb.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;

namespace {

constexpr const char* kScratch = "zeqreader-fuzz";
// The folder each input is read in, in the scratch folder: what an import writes beside
// the file goes with it.
std::string gRun;

const char* const kNames[] = {
    "Summary", "Version", "Template", "PasswordProtection", "ContentCount", "Model", "Device", "Character",
    "Actor", "Constraint", "Media", "SceneInfo", "Type", "MetaData", "Title", "Subject", "Author", "Keywords",
    "Revision", "Comment", "Thumbnail", "Format", "Size", "ImageEncoding", "ImageData", "Takes", "Current",
    "Take", "Comments", "LocalTime", "ReferenceTime", "FileName", "CHARACTER", "ACTOR", "Constraints", "Group",
    "Video", "SceneGenericPersistence", "Definitions", "ObjectType", "Objects", "Connections", "Version5",
    "GoboManager", "MARKERSET", "Properties60", "Property", "Channel", "Default",
    // node, connection, take and time-warp records
    "Hidden", "Shading", "Culling", "Children", "MultiLayer", "MultiTake", "LimbLength", "Color", "Look",
    "IKPivot", "ShowLabel", "IKReachTranslation", "IKReachRotation", "UserProperty", "Name", "Label", "Value",
    "Min", "Max", "AnimatedProperty", "Animated", "Connect", "GenericNode", "Texture", "Material", "Deformer",
    "Pose", "ControlSetPlug", "TimeWarps", "TW", "Key", "KeyVer", "KeyCount", "TimeWarpID", "LayerType",
    // character, control-set, constraint and character-pose records
    "CHARACTERIZE", "LOCK_XFORM", "LOCK_PICK", "CONSTRAINT", "INPUTOUTPUTTYPE", "ACTORINDEX", "CHARACTERINDEX",
    "REFERENCE", "LEFT_FLOOR", "BASE", "SPINE", "NECK", "LEFTFOOT", "PROPS", "GAMEMODEPARENT", "FILTERSET",
    "PARAM", "MODE", "VALUE", "VALUE0", "VALUE1", "VALUE2", "CONTROLSET", "VX_CONTROLSET", "LINK", "MODEL",
    "NAME", "TOFFSETX", "SOFFSETZ", "TYPE", "EFFECTOR", "EFFECTOR_AUX1", "SHOW", "TACTIVE", "PoseScene",
    // Meshes, layers, materials and textures.
    "GeometryVersion", "Vertices", "PolygonVertexIndex", "Normals", "PolygonGroup", "VertexColorInfo", "Colors",
    "ColorIndex", "MappingInformationType", "ReferenceInformationType", "MaterialAssignation", "TextureMode",
    "Materials", "TextureId", "TextureIdCount", "GeometryLayer", "LayerTextureInfo", "TextureBlendMode", "UVMode",
    "UVCount", "UV", "UVIdCount", "UVId", "GeometryUVInfo", "TextureUV", "TextureVertexIndex", "UVIndex",
    "LayerElementMaterial", "LayerElementNormal", "LayerElementColor", "LayerElementTexture", "LayerElementUV",
    "LayerElementPolygonGroup", "BlendMode", "TextureAlpha", "Layer", "LayerElement", "TypedIndex", "Material",
    "Texture", "TextureName", "ShadingModel", "Shininess", "Cropping", "UCount", "VStep",
    // limits, targets, pivots, cameras, lights and media
    "Limits", "TAuto", "RAuto", "SAuto", "REnable", "RXDefault", "SYMin", "TZMax", "RType", "RClampType", "RYAxis",
    "AxisLen", "LookAtModel", "PostTargetRotation", "UpTargetRotation", "UpVectorModel", "Pivots", "Package", "File",
    "PivotEnabled", "PreRotation", "ScalingPivot", "Position", "Up", "LookAt", "Roll", "AspectW", "AspectType",
    "FormatName", "ApertureFormat", "CameraAperture", "NearPlane", "FarPlane", "Aperture", "FocalLength",
    "BackgroundTexture", "VideoClipTexture", "CameraAndLens", "DepthOfField", "Antialiasing", "OverSampling",
    "AudioColor", "LightTypeVersion", "LightType", "Intensity", "CastLight", "Filename", "RelativeFilename",
    "OriginalFormat", "OriginalFilename", "Content",
    // surfaces, links, deformers and shapes
    "NurbVersion", "NurbOrder", "Form", "SurfaceDisplay", "Step", "Dimensions", "Points", "MultiplicityU",
    "MultiplicityV", "KnotVectorU", "KnotVectorV", "PatchVersion", "PatchType", "Closed", "UCapped", "VCapped",
    "Link", "Mode", "UserData", "Indexes", "Weights", "Transform", "TransformLink", "AssociateModel", "TransformParent",
    "Link_DeformAcuracy", "Shape", "Vertices", "Normals",
    // scene settings, switcher, gobos, marker sets, actors and poses
    "Switcher", "CameraId", "CameraIndexName", "AmbientRenderSettings", "AmbientLightColor", "FogOptions",
    "FlogEnable", "FogMode", "FogDensity", "FogStart", "FogEnd", "FogColor", "ShadowPlanes", "Count", "Plane",
    "UseShadow", "ShadowIntensity", "RendererSetting", "DefaultCamera", "DefaultViewingMode", "Settings", "Camera",
    "TimeMode", "FrameRate", "TimeFormat", "SnapOnFrames", "ReferenceTimeIndex", "TimeMarker", "Time", "Loop",
    "Gobo", "GoboName", "GoboPath", "DrawComponent", "LightGobo", "MARKER", "VERSION", "NAME", "NODEINDEX",
    "ORIENTED", "DEFAULTY", "TOFFSETX", "ROFFSETZ", "MODEL", "CONSTRAINT", "MARKERSETINDEX", "NODESCALE",
    "NbPoseNodes", "PoseNode", "Node", "Matrix", "Local"};
const char* const kValues[] = {"UserData", "userdata", "Clip", "Model::~zeqexport~", "SceneInfo::GlobalInfo",
                               "Take 001", "t.tak", "/dev/zero", "..", "", "Model::Scene", "Default", "a:b",
                               "Null", "Marker", "OpticalMarker", "IKEffector", "FKEffector", "Root", "Limb",
                               "LimbNode", "Effector", "Optical", "OO", "OP", "PO", "Model::A", "Model::B", "A",
                               "True", "W", "CullingOnCW", "Real", "Vector", "Bool", "Model::Camera Switcher",
                               "Transform", "T", "R", "S", "X", "Visibility", "Lcl Translation", "BlendShape",
                               "Hips", "Neck1", "Spine", "HipsTOffset", "HeadEffector", "CharacterPose",
                               "BindPose", "Character", "Constraint::A", "Pose::P",
                               "ByVertice", "ByPolygonVertex", "ByPolygon", "AllSame", "IndexToDirect", "Direct",
                               "LayerElementUV", "LayerElementTexture", "LayerElementMaterial", "Mesh",
                               "Texture::a", "Material::a", "OO",
                               "Camera", "Light", "Live", "PAL", "35mm", "wood", "a/../../x.tif",
                               "Nurb", "Patch", "open", "Closed", "Periodic", "bspline", "Skin", "cluster",
                               "Additive", "Total1", "SrcModelReference", "Model::Bone",
                               "BindPose", "RestPose", "Light", "Camera", "0.0", "PAL", "48", "Producer Top",
                               "Model::Producer Front", "Pose::P", "G"};
const int kVersions[] = {6000, 5800, 5801, 5700, 3000, 2000, 1000, 6999};
constexpr int kMaxPasswords = 2;

template <class T, int N>
const T& Pick(const T (&table)[N], std::uint8_t byte) {
    return table[byte % N];
}

// Writes a field file from the program; false when it could not be made.
bool Build(const std::string& path, const std::uint8_t* data, std::size_t size, const std::string& password) {
    if (size < 2) return false;
    KZeq file;
    KZeqFileHeaderInfo header;
    header.mFileVersion = Pick(kVersions, data[1]);
    const int encoding = data[0] % 3;
    if (!file.ProjectCreate(path.c_str(), encoding != 0, encoding == 2, &header)) return false;
    int depth = 0;
    // Each password set derives a key (100000 rounds): a few an input, so that
    // the target spends its time reading.
    int passwords = 0;
    std::size_t i = 2;
    auto next = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
    for (int ops = 0; i < size && ops < 4096; ++ops) {
        switch (next() % 9) {
            case 0: file.FieldWriteBegin(Pick(kNames, next())); break;
            case 1: file.FieldWriteI(static_cast<std::int8_t>(next()) * 257); break;
            case 2: file.FieldWriteC(Pick(kValues, next())); break;
            case 3:
                if (depth < 64 && file.FieldWriteBlockBegin()) ++depth;
                break;
            case 4:
                if (depth > 0 && file.FieldWriteBlockEnd()) --depth;
                break;
            case 5: file.FieldWriteEnd(); break;
            case 6: file.FieldWriteTS(KTimeSpan(KTime(next()), KTime(next() * 1000))); break;
            case 7:
                if (next() & 1)
                    file.FieldWriteI(next());
                else
                    file.FieldWriteD(static_cast<std::int8_t>(next()) / 8.0);
                break;
            default:
                if (next() & 1) {
                    if (passwords < kMaxPasswords) {
                        file.ProjectSetPassword(password.c_str());
                        ++passwords;
                    }
                } else {
                    while (depth > 0 && file.FieldWriteBlockEnd()) --depth;
                    file.ProjectCloseSection();
                    file.ProjectCreateExtensionSection(false);
                    depth = 0;
                }
                break;
        }
    }
    while (depth-- > 0) file.FieldWriteBlockEnd();
    return file.ProjectClose();
}

void Exercise(const std::string& path, const std::string& password) {
    KZeqSdkManager manager;
    KZeqImporter importer(manager);
    importer.SetPassword(password.c_str());
    if (!importer.Initialize(path.c_str())) return;
    int major, minor, revision;
    importer.GetFileVersion(major, minor, revision);
    KString camera, mode;
    double width, height;
    importer.GetDefaultRenderResolution(camera, mode, width, height);
    const int takes = importer.GetTakeCount();
    if (KZeqTakeInfo* take = importer.GetTakeInfo(takes - 1)) take->mSelect = false;
    importer.GetCurrentTakeName();
    importer.GetSceneInfo();
    KZeqScene* scene = manager.CreateKZeqScene();
    importer.Import(*scene);
    if (KStreamOptions* options = importer.GetImportOptions(KZeqImporter::eSummaryOnly)) {
        importer.UpdateImportOptions(options);
        importer.Import(*scene, options);
        importer.ReleaseImportOptions(options);
    }
    importer.Import(*scene);
    // Layers and time warps baked into plain curves, as the host plug-in reads every file.
    importer.SetState(KZeqImporter::eMERGE_LAYER_AND_TIMEWARP, true);
    importer.Import(*scene);
}

// --- seeds ---------------------------------------------------------------------------------

// The path of a file the seeds are made from, in the scratch folder.
std::string Temporary(const std::string& name) { return zeqfuzz::ScratchFolder(kScratch).PathOf(name.c_str()); }

// A hand-made ASCII main section (mode 3, no password) as the seed name in corpus.
void TextSeed(const KHeldFolder& corpus, const char* name, const char* section) {
    zeqfuzz::Store(corpus, name, std::string{'\3', '\0'} + section);
}

// The file a writer made as Temporary(temporary), behind head (the mode and password
// bytes), as the seed name in corpus; the temporary goes.
void Keep(const KHeldFolder& corpus, const std::string& name, const std::string& head, const std::string& temporary) {
    zeqfuzz::Store(corpus, name, head + zeqfuzz::Load(Temporary(temporary)));
    zeqfuzz::ScratchFolder(kScratch).GetFolder().RemoveFile(temporary.c_str());
}

// A tree of the simple attribute kinds with user properties and a take,
// through both writers in binary; and an ASCII 5.8 main section (mode 3)
// with a cycle of child names, time warps and a take file that is missing.
// The scene through the 6.0 and 5.8 binary exporter rows, as seeds
// "v60-<name>" and "v58-<name>" (no password).
void WriteExportedSeeds(KZeqSdkManager& manager, KZeqScene& scene, const KHeldFolder& corpus, const std::string& name) {
    for (int row : {KZeqExporter::eZEQ_BINARY, KZeqExporter::eZEQ_5_BINARY}) {
        const std::string temporary = name + ".tmp.zeq";
        KZeqExporter exporter(manager);
        exporter.Initialize(Temporary(temporary).c_str());
        exporter.SetFileFormat(row);
        exporter.Export(scene);
        Keep(corpus, (row == KZeqExporter::eZEQ_BINARY ? "v60-" : "v58-") + name, std::string{'\0', '\0'}, temporary);
    }
}

void WriteNodeSeeds(KZeqSdkManager& manager, const KHeldFolder& corpus) {
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* parent = scene->GetRootNode();
    for (int type = 0; type < 4; ++type) {
        KZeqNode* node = manager.CreateKZeqNode(("m" + std::to_string(type)).c_str());
        KZeqMarker* marker = manager.CreateKZeqMarker();
        marker->SetType(static_cast<KZeqMarker::EType>(type));
        node->SetNodeAttribute(marker), parent->AddChild(node);
        KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton();
        skeleton->SetSkeletonType(static_cast<KZeqSkeleton::ESkeletonType>(type));
        KZeqNode* bone = manager.CreateKZeqNode(("b" + std::to_string(type)).c_str());
        bone->SetNodeAttribute(skeleton), node->AddChild(bone);
        parent = bone;
    }
    KZeqNode* props = manager.CreateKZeqNode("props");
    props->SetVisibility(false), props->SetShadingMode(KZeqNode::eWIRE_FRAME);
    scene->GetRootNode()->AddChild(props);
    KZeqUserProperty* weight = manager.CreateKZeqUserProperty("Weight (Real)", "Real", "w");
    weight->ModifyFlag(KZeqUserProperty::eUSER, true), weight->SetLimits(-1.0, 1.0);
    props->AddProperty(weight);
    scene->CreateTake("Walk");
    props->SetCurrentTakeNode("Walk");
    KFCurve* x = props->GetCurrentTakeNode()->GetTranslationX();
    for (int i = 0; i < 3; ++i) x->KeyAppendFast(KTime(i * 1539538600LL), 0.5f * i);
    props->SetCurrentTakeNode(0);
    WriteExportedSeeds(manager, *scene, corpus, "nodes");
    // Characters linked to the tree, with a control set and a nested pose.
    KZeqCharacter* character = scene->GetCharacter(scene->CreateCharacter("Rig"));
    KZeqCharacterLink link;
    link.mNode = props, link.mTemplateName = "Tpl";
    character->SetCharacterLink(eCharacterHips, link), character->SetCharacterLink(eCharacterNeck1, link);
    KZeqEffector effector;
    effector.mNode = props;
    character->GetControlSet()->SetEffector(eHeadEffector, effector);
    scene->GetCharacter(scene->CreateCharacter("Driven"))->SetInput(eCharacterInputCharacter, character);
    KZeqScene* posed = scene->GetCharacterPose(scene->CreateCharacterPose("Stance"))->GetPoseScene();
    posed->CreateCharacter("Posed");
    WriteExportedSeeds(manager, *scene, corpus, "characters");
    TextSeed(corpus, "v58-text-characters",
             "Model: \"Model::H\" {\nType: \"Null\"\n}\nCHARACTER:  {\nINPUTOUTPUTTYPE: 1\nCHARACTERINDEX: 1\n"
             "NECK:  {\nLINK: \"Hips\" {\nMODEL: \"H\"\n}\nLINK: \"Neck1\" {\n}\n}\nSPINE:  {\nLINK: \"\" {\n}\n}\n"
             "FILTERSET:  {\nPARAM:  {\nNAME: \"HipsTOffset\"\nVALUE0: 1\n}\n}\nCONTROLSET:  {\nEFFECTOR:  {\n"
             "LINK:  {\nNAME: \"HeadEffector\"\nMODEL: \"H\"\n}\n}\n}\n}\nCHARACTER:  {\n}\n"
             "SceneGenericPersistence:  {\nPose: \"Pose::P\" {\nType: \"CharacterPose\"\nPoseScene:  {\n}\n}\n}\n");
    TextSeed(corpus, "v58-text-nodes",
             "Model: \"Model::A\" {\nType: \"LimbNode\"\nSize: 0.5\nChildren: \"Model::B\"\nHidden: \"true\"\n}\n"
             "Model: \"Model::B\" {\nChildren: \"Model::A\", \"\", \"Model::B\"\nUserProperty:  {\nName: \"W\"\n"
             "Type: \"Real\"\nMin: 0\n}\n}\nTakes:  {\nCurrent: \"T\"\nTake: \"T\" {\nFileName: \"gone.tak\"\n"
             "TimeWarps:  {\nVersion: 100\nTW: 1 {\nChannel: \"W\" {\nDefault: 0\nKeyVer: 4004\nKeyCount: 2\n"
             "Key: 0,0,L,46186158000,0.5,L\n}\n}\n}\n"
             "Model: \"Model::A\" {\nVersion: 1.1\nChannel: \"Transform\" {\nChannel: \"T\" {\n"
             "Channel: \"X\" {\nDefault: 1\nTimeWarpID: 1\nKeyVer: 4004\nKeyCount: 2\nKey: 0,1,L,100000,2,L\n}\n}\n}\n}\n}\n}\n");
    // Warps on a vector's axis channels: two different ones on T's, and one under R's own.
    TextSeed(corpus, "v58-text-axis-warps",
             "Model: \"Model::A\" {\nType: \"Null\"\n}\nTakes:  {\nCurrent: \"T\"\nTake: \"T\" {\n"
             "TimeWarps:  {\nVersion: 100\nTW: 1 {\nChannel: \"W\" {\nDefault: 0\nKeyVer: 4004\nKeyCount: 2\n"
             "Key: 0,0,L,46186158000,0.5,L\n}\n}\nTW: 2 {\nChannel: \"W\" {\nDefault: 0\nKeyVer: 4004\nKeyCount: 1\n"
             "Key: 23093079000,0.7,L\n}\n}\n}\nModel: \"Model::A\" {\nVersion: 1.1\nChannel: \"Transform\" {\n"
             "Channel: \"T\" {\nChannel: \"X\" {\nDefault: 1\nTimeWarpID: 1\nKeyVer: 4004\nKeyCount: 2\n"
             "Key: 0,1,L,100000,2,L\n}\nChannel: \"Y\" {\nDefault: 2\nTimeWarpID: 2\n}\n}\nChannel: \"R\" {\n"
             "Channel: \"Z\" {\nDefault: 3\nTimeWarpID: 2\n}\nTimeWarpID: 1\n}\n}\n}\n}\n}\n");
}

// Limits, targets, a camera with a background, lights and an embedded
// texture image, from both writers; and a hand-made 5.8 section.
void WriteCameraSeeds(KZeqSdkManager& manager, const KHeldFolder& corpus) {
    KZeqScene* scene = manager.CreateKZeqScene();
    const std::string image = Temporary("wood.tmp.png");
    zeqfuzz::Store(zeqfuzz::ScratchFolder(kScratch).GetFolder(), "wood.tmp.png", std::string("not an image"));
    KZeqTexture* texture = manager.CreateKZeqTexture("Wood");
    texture->SetFileName(image.c_str());
    scene->GetEntity()->AddTexture(texture);
    KZeqCamera* camera = manager.CreateKZeqCamera();
    camera->SetBackgroundFileName(image.c_str());
    KZeqNode* eye = manager.CreateKZeqNode("Eye");
    eye->SetNodeAttribute(camera);
    KZeqNode* lamp = manager.CreateKZeqNode("Lamp");
    KZeqLight* light = manager.CreateKZeqLight();
    lamp->SetNodeAttribute(light);
    light->SetLightType(KZeqLight::eSPOT);
    scene->GetRootNode()->AddChild(eye), scene->GetRootNode()->AddChild(lamp);
    eye->SetTarget(lamp), eye->SetTargetUp(lamp), eye->SetPostTargetRotation(KZeqVector4(10, 0, 0, 0));
    lamp->GetLimits().SetAuto(KZeqNodeLimits::eR, false);
    lamp->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 45, 0, 0));
    for (int version : {5800, 6000}) {
        const std::string path = Temporary("cameras.tmp.zeq");
        KZeqExporter exporter(manager);
        KStreamOptionsZeq options;
        options.SetOption(KStreamOptionsZeq::eEMBED_MEDIA, true);
        std::unique_ptr<KZeqWriterZeqBase> writer;
        if (version == 5800) writer.reset(new KZeqWriterZeq(manager, exporter));
        else writer.reset(new KZeqWriterZeq6(manager, exporter));
        if (writer->FileCreate(path.c_str())) writer->Write(*scene, &options), writer->FileClose();
        Keep(corpus, version == 5800 ? "v58-cameras" : "v60-cameras", std::string{'\0', '\0'}, "cameras.tmp.zeq");
    }
    zeqfuzz::ScratchFolder(kScratch).GetFolder().RemoveFile("wood.tmp.png");
    TextSeed(corpus, "v58-text-cameras",
             "Model: \"Model::C\" {\nVersion: 194\nType: \"Camera\"\nVersion: 116\nAspectW: 640\nFormatName: \"PAL\"\n"
             "ApertureFormat: \"35mm\"\nNearPlane: 0\nBackgroundTexture: \"b.tif\"\nCameraAndLens:  {\n"
             "OverSampling: 5,1,1\n}\nLimits:  {\nRAuto: 0\nRType: 0\nRYDefault: 45\n}\nLookAtModel: \"Model::L\"\n"
             "Pivots:  {\nPackage:  {\nPivotEnabled: 0\nPreRotation: 1,2,3\n}\n}\n}\n"
             "Model: \"Model::L\" {\nType: \"Light\"\nLightTypeVersion: 202\nLightType: 2\nIntensity: 80\n}\n"
             "Media:  {\nVideo:  {\nVideo: \"Video input 1\" {\nType: \"Live\"\n}\nVideo: \"b\" {\nType: \"Clip\"\n"
             "Version: 101\nOriginalFormat: 0\nFilename: \"b.tif\"\nRelativeFilename: \"../b.tif\"\n}\n}\n}\n");
}

// Settings, a switcher, lights sharing gobos, a marker set, an actor and a
// bind pose through both writers in binary; and an ASCII 5.8 main section
// (mode 3) with the records' edge cases.
void WriteSettingsSeeds(KZeqSdkManager& manager, const KHeldFolder& corpus) {
    KZeqScene* scene = manager.CreateKZeqScene();
    scene->GetGlobalLightSettings()->AddShadowPlane(KZeqGlobalLightSettings::KZeqShadowPlane());
    scene->GetGlobalTimeSettings()->AddTimeMarker({KString("m"), KTime(5), true});
    static_cast<KZeqCameraSwitcher*>(scene->GetCameraSwitcher()->GetNodeAttribute())->AddCameraName("Model::c");
    KZeqGobo* gobo = manager.CreateKZeqGobo("G");
    KZeqPose* pose = manager.CreateKZeqPose("P", true);
    for (const char* name : {"c", "l0", "l1"}) {
        KZeqNode* node = manager.CreateKZeqNode(name);
        if (*name == 'c') node->SetNodeAttribute(manager.CreateKZeqCamera());
        else node->SetNodeAttribute(manager.CreateKZeqLight()), node->GetLight()->SetGobo(gobo);
        scene->GetRootNode()->AddChild(node);
        pose->Add(node->GetName(), KZeqMatrix(), false);
    }
    scene->AddPose(pose);
    KZeqMarkerSetLink link;
    link.mNode = scene->GetRootNode()->GetChild(0);
    scene->GetMarkerSet(scene->CreateMarkerSet("S"))->AddMarkerSetLink(eActorBodyPartFirst, link);
    scene->GetActor(scene->CreateActor("A"))->SetInputMarkerSet(scene->GetMarkerSet(0));
    WriteExportedSeeds(manager, *scene, corpus, "settings");
    TextSeed(corpus, "v58-text-settings",
             "Model: \"Model::L\" {\nType: \"Light\"\n}\nSwitcher:  {\nCameraId: 2\nCameraIndexName: \"Model::L\", \"x\"\n}\n"
             "FogOptions:  {\nFogStart: 1500\nFogEnd: 2000\nFogColor: 0.5\n}\nShadowPlanes:  {\nCount: 9\n"
             "Plane: 1,2\nShadowIntensity: 500\n}\nSettings:  {\nFrameRate: \"0.0\"\nTimeMode: 10\n"
             "ReferenceTimeIndex: 5\nTimeMarker: \"a\" {\nTime: 7\n}\n}\nGoboManager:  {\nGobo:  {\nGoboName: \"G\"\n}\n"
             "Gobo:  {\nGoboName: \"G\"\n}\nLightGobo: \"L\", \"G\"\n}\nMARKERSET:  {\nMARKER:  {\nNODEINDEX: 9\n"
             "MODEL: \"L\"\n}\n}\nACTOR:  {\nMARKERSETINDEX: 0\nNODESCALE: 2\n}\nSceneGenericPersistence:  {\n"
             "Pose: \"p\" {\nType: \"BindPose\"\nNbPoseNodes: 99\nPoseNode:  {\nNode: \"L\"\nMatrix: 1,2\n}\n}\n}\n");
}

void WriteSeeds(const KHeldFolder& corpus) {
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    scene->GetRootNode()->AddChild(manager.CreateKZeqNode("~zeqexport~"));
    // A skinned, shaped surface and a patch.
    KZeqNode* bone = manager.CreateKZeqNode("Bone");
    bone->SetNodeAttribute(manager.CreateKZeqNull());
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    nurb->SetOrder(2, 2);
    nurb->InitControlPoints(2, KZeqNurb::eOPEN, 2, KZeqNurb::ePERIODIC);
    for (int i = 0; i < 4; ++i) nurb->GetControlPoints()[i] = KZeqVector4(i, i % 2, 0, 1);
    KZeqNode* surface = manager.CreateKZeqNode("Surface");
    surface->SetNodeAttribute(nurb);
    KZeqLink* link = manager.CreateKZeqLink();
    link->SetLink(bone), link->SetAssociateModel(bone), link->AddControlPointIndex(1, 0.5);
    nurb->AddLink(link);
    KZeqShape* shape = manager.CreateKZeqShape();
    shape->InitControlPoints(4);
    shape->GetControlPoints()[2] = KZeqVector4(1, 2, 3, 1);
    nurb->AddShape(shape, "Shape 01");
    KZeqPatch* patch = manager.CreateKZeqPatch();
    patch->InitControlPoints(2, KZeqPatch::eBEZIER, 1, KZeqPatch::eCARDINAL);
    KZeqNode* patchNode = manager.CreateKZeqNode("Patch");
    patchNode->SetNodeAttribute(patch);
    for (KZeqNode* node : {bone, surface, patchNode}) scene->GetRootNode()->AddChild(node);
    for (const char* name : {"Take 001", "Take 002"}) scene->CreateTake(name);
    KZeqTakeInfo take;
    take.mName = "Take 001", take.mDescription = "first";
    take.mLocalTimeSpan = KTimeSpan(KTime(0), KTime(46186158000LL));
    scene->SetTakeInfo(take);
    KZeqSceneInfo* info = manager.CreateKZeqSceneInfo();
    info->mTitle = "seed";
    scene->SetSceneInfo(info);
    // Meshes with their layers, materials and textures, animated.
    zeqiotest::BuildGeometryScene(manager, *scene, 2);
    const struct {
        const char* mName;
        int mRow;  // -1: the 5.8 writer, encrypted
        const char* mPassword;
    } seeds[] = {{"v60-binary", 0, ""}, {"v60-ascii", 1, ""},   {"v60-encrypted", 2, "pw"},
                 {"v58-binary", 3, "pw"}, {"v58-ascii", 4, ""}, {"v58-encrypted", -1, ""}};
    for (const auto& seed : seeds) {
        // One seed carries thumbnails; they make files big.
        KZeqThumbnail* picture = nullptr;
        if (seed.mRow == 3) picture = manager.CreateKZeqThumbnail(), picture->SetSize(KZeqThumbnail::e64x64);
        info->SetSceneThumbnail(picture);
        const std::string temporary = std::string(seed.mName) + ".tmp.zeq", path = Temporary(temporary);
        KZeqExporter exporter(manager);
        exporter.Initialize(path.c_str());
        exporter.SetPassword(seed.mPassword);
        if (seed.mRow >= 0) {
            exporter.SetFileFormat(seed.mRow);
            exporter.Export(*scene);
        } else {
            KZeqWriterZeq writer(manager, exporter);
            writer.SetExportMode(KZeqWriterZeqBase::eENCRYPTED);
            KStreamOptionsZeq options;
            exporter.SetExportOptionsInfo(&options);
            if (writer.FileCreate(path.c_str())) writer.Write(*scene, &options), writer.FileClose();
        }
        const std::string password = seed.mPassword;
        Keep(corpus, seed.mName, std::string{'\0', static_cast<char>(password.size())} + password, temporary);
    }
    WriteNodeSeeds(manager, corpus);
    WriteCameraSeeds(manager, corpus);
    WriteSettingsSeeds(manager, corpus);
    // A program (mode 4): a binary 6.0 file whose takes name a take file,
    // then a "Summary" extension section with a scene information record.
    const unsigned char program[] = {4, 0, 1, 0, 0, 25, 3, 0, 26, 2, 5, 0, 27, 2, 5, 3, 0, 31, 2, 6, 5,
                                     0, 28, 2, 0, 6, 1, 2, 4, 4, 8, 0, 0, 0, 3, 0, 1, 1, 101, 0, 11,
                                     2, 4, 3, 0, 12, 2, 0, 0, 13, 3, 0, 14, 2, 3, 4, 4, 4};
    zeqfuzz::Store(corpus, "program", program, sizeof(program));
    // An older mesh record as text (mode 3): a texture layer by polygon with UVs through ids.
    TextSeed(corpus, "v58-text-mesh",
             "Model: \"Model::M\" {\nGeometryVersion: 123\nVertices: 0,0,0,1,0,0,1,1,0,0,1,0\n"
             "PolygonVertexIndex: 0,1,-3,2,3,-1\nPolygonGroup: 1,2\nTexture: \"A\" {\nCropping: 1,2,3,4\n}\n"
             "Material: \"M\" {\nShininess: 20\n}\nGeometryLayer: {\nLayerTextureInfo: {\nTextureMode: 6\n"
             "TextureIdCount: 2\nTextureId: 0,0\nUVMode: 8\nUVCount: 3\nUV: 0,0,1,0,1,1\nUVIdCount: 6\n"
             "UVId: 0,1,2,2,1,0\n}\n}\nMaterialAssignation: \"ByPolygon\"\nMaterials: 0,0\nTextureMode: \"ByPolygon\"\n"
             "TextureId: 0,0\nGeometryUVInfo: {\nMappingInformationType: \"ByPolygon\"\nTextureUV: 0,0,1,1\n}\n}\n");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gRun = zeqfuzz::ScratchFolder(kScratch).PathOf("run");
    if (const KHeldFolder* corpus = zeqfuzz::SeedFolder()) WriteSeeds(*corpus);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t mode = data[0] % 5;
    const std::size_t passwordLength = std::min<std::size_t>(data[1] % 16, size - 2);
    const std::string password(reinterpret_cast<const char*>(data + 2), passwordLength);
    data += 2 + passwordLength;
    size -= 2 + passwordLength;
    KRemoveDirectory(gRun.c_str());
    KHeldFolder run;
    if (!zeqfuzz::ScratchFolder(kScratch).GetFolder().OpenBelow("run", true, true, run)) return 0;
    const std::string path = run.PathOf("in.zeq");
    const std::string rest(reinterpret_cast<const char*>(data), size);
    bool made = true;
    if (mode == 4) {
        made = Build(path, data, size, password);
    } else {
        std::string file = rest;
        if (mode == 1 || mode == 2) file = zeqfuzz::MakeBinaryZeq(rest, 6000, mode == 2);
        if (mode == 3) file = "@Zeq: 5800\n@Section: 5800\n" + rest + "\n@End\n";
        made = zeqfuzz::Store(run, "in.zeq", file);
    }
    if (made) Exercise(path, password);
    KRemoveDirectory(gRun.c_str());
    return 0;
}
