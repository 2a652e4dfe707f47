#ifndef ZEQ_IO_KZEQWRITERZEQBASE_H
#define ZEQ_IO_KZEQWRITERZEQBASE_H

#include <memory>
#include <unordered_set>

#include "base/karray.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "io/kzeqio.h"

namespace zeqsdk_400 {

class IZeqObject;
class KStreamOptionsZeq;
class KZeqCamera;
class KZeqCameraSwitcher;
class KZeqCharacter;
class KZeqCharacterPose;
class KZeqControlSet;
class KZeqEntity;
class KZeqExporter;
class KZeqFilterSet;
class KZeqLight;
class KZeqGobo;
class KZeqPose;
class KZeqNode;
class KZeqNull;
class KZeqSceneInfo;
class KZeqSkeleton;
class KZeqTakeNodeContainer;
class KZeqThumbnail;
struct ZeqWriterLayout;

// What the two Zeq writers share: the file, the export mode, the option,
// progress and error rules of a write, the run of the layout's section steps
// with an error test after each, the password, the generic persistence
// section and the closing "Summary" extension section.
//
// A write takes Zeq options, or motion options (then only the models,
// password, takes and generic persistence are written). A field-file error
// after a step ends the steps with writer error 3; the main section is
// closed and the "Summary" written all the same.
class KZeqWriterZeqBase : public KZeqWriter {
public:
    enum EExportMode { eASCII = 0, eBINARY = 1, eENCRYPTED = 2 };

    // Closes a file left open.
    ~KZeqWriterZeqBase() override;

    // Takes effect at the next FileCreate.
    void SetExportMode(EExportMode mode) { mExportMode = mode; }
    EExportMode GetExportMode() const { return mExportMode; }

    // A relative name is created under the current directory; ".zeq" is added
    // when the name has none.
    bool FileCreate(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override;
    KStreamOptions* GetWriteOptions() override;
    bool Write(KZeqScene& scene, KStreamOptions* options) override;
    // A new default Zeq option set; the object is not used.
    virtual KStreamOptions* GetWriteOptions(IZeqObject* object);
    // With an object stream the scene is written into its current block, and
    // neither the main section is closed nor the "Summary" written.
    virtual bool Write(KZeqScene& scene, KStreamOptions* options, IZeqObject* object);

    // Sets the password of the main section when the options ask for one.
    void WritePassword();
    // Closes the extension section it writes; false when the file refuses one.
    bool WriteExtensionSection(KZeqScene& scene, int mediaCount);
    void WriteSceneGenericPersistenceSection(KZeqScene& scene);
    bool WriteThumbnail(KZeqThumbnail* thumbnail);
    void WriteSceneInfo(KZeqSceneInfo* info);

    // ---- Node record (kzeqwriterzeq_node.cpp) ------------------------------------------------------
    // The whole "Model" record of a node. Before version 6 (5.8): version
    // 194, limits, target, animated and user properties, the attribute, the
    // default channels and the children's names. From version 6: the type
    // name beside the node's name, version 231, the attribute, the property
    // block and the default channels; the hierarchy lies in the connections.
    bool WriteKZeqNode(KZeqNode& node);
    bool WriteKZeqNodeBegin(KZeqNode& node);
    bool WriteKZeqNodeParameters(KZeqNode& node);
    bool WriteKZeqNodeVersion(KZeqNode& node);
    bool WriteKZeqNodeAnimationSettings(KZeqNode& node);
    bool WriteKZeqNodeShading(KZeqNode& node);
    bool WriteKZeqNodeCullingType(KZeqNode& node);
    bool WriteKZeqNodeLimits(KZeqNode& node);
    bool WriteKZeqNodeTarget(KZeqNode& node);
    bool WriteKZeqNodeAnimatedProperties(KZeqNode& node);
    // By the attribute's type; a node without one, a geometry with option 0
    // off and a kind without record writer give the null record.
    bool WriteKZeqNodeAttribute(KZeqNode& node);
    // The property block, from version 6 on only.
    bool WriteKZeqNodeProperties(KZeqNode& node);
    bool WriteKZeqNodeDefaultAttributes(KZeqNode& node);
    bool WriteKZeqNodeChildrenList(KZeqNode& node);
    bool WriteKZeqNodeEnd(KZeqNode& node);
    // Attribute records; a null record without null holds the defaults.
    bool WriteKZeqNull(KZeqNull* null);
    bool WriteKZeqMarker(KZeqNode& node);
    bool WriteKZeqOpticalReference();
    bool WriteKZeqSkeleton(KZeqSkeleton& skeleton);

    // ---- Limits and targets (kzeqwriterzeq_limits.cpp) ------------------------------------------------
    // The 5.8 "Limits" block.
    bool WriteKZeqNodeLimitsRecord(KZeqNode& node);
    // 5.8: look-at and up-vector names, rotation and up vector unless
    // equivalent to zero; 6.0: the rotation and up vector when non-zero.
    bool WriteKZeqNodeTargetFields(KZeqNode& node);
    // ---- Camera and light records (kzeqwriterzeq_camera.cpp) ------------------------------------------
    // With typeFlags the record begins with "TypeFlags" (producer cameras).
    bool WriteKZeqCamera(KZeqCamera& camera, bool typeFlags);
    bool WriteKZeqLight(KZeqLight& light);
    bool WriteKZeqCameraSwitcher(KZeqCameraSwitcher& switcher);
    // ---- Media (kzeqwriterzeq_media.cpp) -----------------------------------------------------------------
    // Gives the scene's textures and camera backgrounds their media names and
    // writes the "Media" section, embedding the files when asked in a binary
    // file; count is the number of entries.
    bool WriteMedia(KZeqScene& scene, bool embed, int& count);
    // One clip record for the file (a converter may change its path); a
    // converted image is embedded from a private file with no name. The
    // embedding's result, true when nothing is embedded; a file that is not
    // embedded is named in the message with the reason.
    bool WriteMediaClip(KString& path, bool embed);
    // A live-input entry "Video input 1".
    bool WriteDefaultMedia();
    // Index of the first equal entry, -1 when none.
    static int FindString(const KString& text, const KArrayTemplate<KString*>& list);
    // ---- Takes (kzeqwriterzeq_takes.cpp) --------------------------------------------------------------
    // The "Takes" section: every selected take but "Default", spans computed
    // where unset. The scene's current take is the same afterwards.
    bool WriteAnimation(KZeqScene& scene);
    // The "Model" take-node records of every node below node.
    bool WriteAnimation(KZeqNode& node, const char* take);
    // One take-node record; false, nothing written, when the object has no
    // take of that name. Before version 6 a material's shininess keys are
    // written a hundred times larger. The record bears the object's name, or
    // recordName when one is given.
    bool WriteTakeNode(KZeqTakeNodeContainer& object, const char* take, const char* fieldName, bool material,
                       const char* recordName = nullptr);
    // The take's "TimeWarps" block, when its records name warps: each warp once, numbered from 1,
    // then installed for curve storage until the take is written. Trees holding warps no file
    // holds where they are get copies with those baked, which their records store.
    void WriteTimeWarps(KZeqScene& scene, const char* take, const KTimeSpan& span);

    // ---- Characters, control sets, constraints, character poses (kzeqwriterzeq_character.cpp) ----
    // A node counts for a link or an effector when it belongs to the entity;
    // with defaults on, the elements every reader knows (version 4000) are
    // written even when empty.
    bool WriteCharacter(KZeqScene& scene);
    bool WriteKZeqCharacter(KZeqScene& scene, int index);
    bool WriteKZeqCharacterLink(KZeqCharacter& character, int id, KZeqEntity* entity, bool defaults);
    bool WriteKZeqCharacterLinkGroup(KZeqCharacter& character, int group, KZeqEntity* entity, bool defaults);
    bool WriteKZeqFilterSet(KZeqFilterSet& filterSet);
    bool WriteKZeqControlSet(KZeqControlSet& controlSet, KZeqEntity* entity, bool defaults);
    bool WriteKZeqControlSetLinkGroup(KZeqControlSet& controlSet, int group, KZeqEntity* entity, bool defaults);
    bool WriteKZeqControlSetLink(KZeqControlSet& controlSet, int id, KZeqEntity* entity);
    bool WriteKZeqEffector(KZeqControlSet& controlSet, int id, KZeqEntity* entity);
    bool WriteKZeqEffectorAux(KZeqControlSet& controlSet, int id, KZeqEntity* entity);
    // "Constraints": characters, then actors; nothing when there is neither.
    bool WriteConstraint(KZeqScene& scene);
    // One "Pose" record per character pose; false when the scene has none.
    bool WriteCharacterPose(KZeqScene& scene);
    // The pose's scene, nested into the current block in the file's layout.
    bool WriteKZeqCharacterPose(KZeqCharacterPose& pose);
    // ---- Animated textures and materials (kzeqwriterzeq_geometry.cpp) -------------------------
    // Filled before the models are written, emptied after the takes.
    void AddAnimatedObject(const void* object) { mAnimated.insert(object); }
    bool IsAnimatedObject(const void* object) const { return mAnimated.count(object) != 0; }
    void ClearAnimatedChannels() { mAnimated.clear(); }
    // ---- Scene settings (kzeqwriterzeq_settings.cpp) ------------------------------------------------
    // Writes nothing: the 5.8 layout has no "Switcher".
    bool WriteCameraSwitcher(KZeqScene& scene);
    bool WriteGlobalLightSettings(KZeqScene& scene);
    bool WriteAmbientColor(KZeqScene& scene);
    bool WriteFogOption(KZeqScene& scene);
    // Only when there are shadow planes.
    bool WriteShadowPlane(KZeqScene& scene);
    bool WriteShadowPlaneSection(KZeqScene& scene);
    // "RendererSetting", and "Settings" with the producer cameras and the time fields.
    bool WriteGlobalCameraAndTimeSettings(KZeqScene& scene);
    // The time fields into the open "Settings" block.
    bool WriteGlobalTimeSettings(KZeqScene& scene);

    // ---- Gobos, marker sets, actors and poses (kzeqwriterzeq_actors.cpp) -------------------------
    // "GoboManager", even without gobos.
    bool WriteGobo(KZeqScene& scene);
    bool WriteGoboSection(KZeqScene& scene);
    bool WriteKZeqGobo(KZeqGobo& gobo);
    bool WriteMarkerSet(KZeqScene& scene);
    bool WriteKZeqMarkerSet(KZeqScene& scene, int index);
    bool WriteActor(KZeqScene& scene);
    bool WriteKZeqActor(KZeqScene& scene, int index);
    bool WritePose(KZeqScene& scene);
    bool WriteKZeqPose(KZeqPose& pose);

    // ---- State of the write in progress, for the section writers --------------------------------
    IZeqObject* GetZeqObject() const { return mFile; }
    KStreamOptionsZeq* GetStreamOptions() const { return mOptions; }
    KZeqSdkManager& GetSdkManager() const { return mManager; }
    KZeqExporter& GetExporter() const { return mExporter; }
    // True while writing into another file's object stream.
    bool IsNested() const { return mFile && mFile != mOwnedFile.get(); }
    // The media step tells how many clips it wrote.
    void SetMediaCount(int count) { mMediaCount = count; }
    int mProgressCounter = 0;
    int mProgressTotal = 0;
    KString mProgressMessage;

protected:
    KZeqWriterZeqBase(KZeqSdkManager& manager, KZeqExporter& exporter, const ZeqWriterLayout& layout);

private:
    // The layout's steps, each when its switch is on; false after a field-file error.
    bool WriteSections(KZeqScene& scene);

    const ZeqWriterLayout& mLayout;
    KZeqExporter& mExporter;
    IZeqObject* mFile = nullptr;  // the owned file, or a borrowed stream during a nested write
    std::unique_ptr<IZeqObject> mOwnedFile;
    KStreamOptionsZeq* mOptions = nullptr;
    EExportMode mExportMode = eBINARY;
    int mMediaCount = 0;
    // The last Write refused its scene or options: FileClose then discards the file.
    bool mRefused = false;
    std::unordered_set<const void*> mAnimated;

    // The warps of the take being written (kzeqwriterzeq_takes.cpp).
    struct TakeWarps;
    TakeWarps* mTakeWarps = nullptr;
    // How many trees (or warps) of this write were written with warps baked, and the first.
    int mBakedWarps = 0;
    KString mFirstBakedWarp;
    // Of the baked warps, those whose animation the bake left to its keys (the first one named).
    int mCutBakes = 0;
    KString mFirstCutBake;
    void NoteBakedWarp(const char* where, const char* take);
};

// The object's property block (6.0). The properties that mirror a channel of
// its default take are written with that channel's values, so that the file
// tells one value; the object keeps the values it had.
bool ZeqWritePropertyBlock(IZeqObject& file, KZeqTakeNodeContainer& object);

}  // namespace zeqsdk_400

#endif
