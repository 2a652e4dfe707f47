// Objects of a Zeq file: the type list of "Definitions", the "Objects"
// section by kind, the top-level models of files before version 6, and the
// "Connections" that link what the objects sections registered, and the
// models they leave outside the scene.

#include <cstring>
#include <vector>

#include "character/kzeqcontrolsetplug.h"
#include "content/kzeqgenericnode.h"
#include "fileio/kzeq.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "io/kzeqscenerecords.h"
#include "object/izeqobject.h"
#include "object/kprogress.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

int KZeqReaderZeq::FindTypeIndex(const KString& name, const ObjectTypeList& types) {
    for (std::size_t i = 0; i < types.size(); ++i)
        if (std::strcmp(types[i]->mTypeName.Buffer(), name.Buffer()) == 0) return static_cast<int>(i);
    return -1;
}

bool KZeqReaderZeq::ReadDefinitionSection(KZeqScene&, ObjectTypeList& types) {
    KZeq& file = *mFile;
    if (mFile->IsBeforeVersion6() || !file.FieldReadBegin("Definitions")) return true;
    if (file.FieldReadBlockBegin()) {
        while (file.FieldReadBegin("ObjectType")) {
            const KString name = file.FieldReadC();
            if (FindTypeIndex(name, types) < 0) {
                types.emplace_back(new ObjectTypeInfo);
                types.back()->mTypeName = name;
            }
            file.FieldReadEnd();
        }
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    return true;
}

bool KZeqReaderZeq::ReadObjectSection(KZeqScene& scene, ObjectTypeList& types) {
    KZeq& file = *mFile;
    if (!file.FieldReadBegin("Objects")) return true;
    if (file.FieldReadBlockBegin()) {
        for (const std::unique_ptr<ObjectTypeInfo>& type : types) {
            const char* typeName = type->mTypeName.Buffer();
            while (file.FieldReadBegin(typeName)) {
                const KString name = file.FieldReadC();
                const KString subtype = file.FieldReadC();
                if (file.FieldReadBlockBegin()) {
                    ReadObject(scene, type->mTypeName, subtype, name);
                    file.FieldReadBlockEnd();
                }
                file.FieldReadEnd();
            }
        }
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    return true;
}

bool KZeqReaderZeq::ReadObject(KZeqScene& scene, const KString& type, const KString& subtype, const KString& name) {
    for (int i = 0; i < kZeqObjectKindCount; ++i) {
        const ZeqObjectKind& kind = kZeqObjectKinds[i];
        if (std::strcmp(kind.mType, type.Buffer()) != 0) continue;
        if (kind.mSubtype && std::strcmp(kind.mSubtype, subtype.Buffer()) != 0) continue;
        if (kind.mRead) kind.mRead(*this, scene, subtype, name);
        return true;
    }
    return true;
}

bool KZeqReaderZeq::RegisterObject(const char* name, KObject* object) {
    return object && mFile->ObjectRegister(name, object);
}

KZeqNode* KZeqReaderZeq::FindNode(const char* name) const {
    return name ? reinterpret_cast<KZeqNode*>(mNodeNames.Get(name)) : nullptr;
}

void KZeqReaderZeq::AddNodeName(KZeqNode& node) {
    mNodeNames.Add(node.GetName(), reinterpret_cast<kReference>(&node));
    mNodesRead.push_back(&node);
}

bool KZeqReaderZeq::ReadNode() {
    KZeq& file = *mFile;
    const int count = file.FieldGetInstanceCount("Model");
    mImporter.ProgressUpdate(nullptr, "Retrieving models", "", 0.0f);
    for (int i = 0; i < count; ++i) {
        mImporter.ProgressUpdate(nullptr, "Retrieving models", "",
                                 static_cast<float>(i) * 100.0f / static_cast<float>(count));
        if (!file.FieldReadBegin("Model")) break;
        KZeqNode* node = mManager.CreateKZeqNode(file.FieldReadC().Buffer());
        if (node) {
            AddNodeName(*node);
            if (file.FieldReadBlockBegin()) {
                ReadKZeqNode(*node);
                file.FieldReadBlockEnd();
                RegisterObject(node->GetName(), node->GetPropertyHandler());
            }
        }
        file.FieldReadEnd();
    }
    KGetGlobalProgress()->UpdateSection();
    return true;
}

bool ZeqReadModelObject(KZeqReaderZeq& reader, KZeqScene&, const KString&, const KString& name) {
    KZeqNode* node = reader.GetSdkManager().CreateKZeqNode(name.Buffer());
    if (!node) return false;
    reader.AddNodeName(*node);
    reader.ReadKZeqNode(*node);
    // Connections name models: the first of a name takes the name, and a later one no connection reaches.
    if (!reader.RegisterObject(node->GetName(), node->GetPropertyHandler()) &&
        reader.GetZeqObject()->ObjectFetch(node->GetName()))
        reader.AddModelDefinedAgain(*node);
    return true;
}

bool ZeqReadGenericNodeObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString&, const KString& name) {
    KZeqGenericNode* node = reader.GetSdkManager().CreateKZeqGenericNode(name.Buffer());
    if (!node) return false;
    reader.ReadKZeqGenericNode(*node);
    scene.AddGenericNode(node);
    reader.RegisterObject(node->GetName(), node->GetPropertyHandler());
    return true;
}

bool ZeqReadControlSetPlugObject(KZeqReaderZeq& reader, KZeqScene& scene, const KString&, const KString& name) {
    const int index = scene.CreateControlSetPlug(name.Buffer());
    KZeqControlSetPlug* plug = scene.GetControlSetPlug(index);
    if (!plug) return false;
    reader.GetZeqObject()->FieldReadI("Version", 100);
    reader.ReadPropertyBlock(*plug);
    reader.PublishKZeqProperties(*plug);
    // Connections name the plug as the record does.
    reader.RegisterObject(name.Buffer(), plug->GetPropertyHandler());
    return true;
}

// ---- Connections ---------------------------------------------------------------------------------

namespace {

KObject* FetchObject(IZeqObject& file, const KString& name) {
    IKObject* object = file.ObjectFetch(name.Buffer());
    return object ? static_cast<KObject*>(object->IQuery(KObject::ClassId, 0)) : nullptr;
}

KZeqNode* NodeOf(KPlug* plug) {
    return plug && plug->Is(KZeqNodeProperties::ClassId) ? static_cast<KZeqNodeProperties*>(plug)->GetKZeqNode()
                                                         : nullptr;
}

}  // namespace

void KZeqReaderZeq::RegisterSceneRoot(KZeqScene& scene) {
    IZeqObject& file = *mFile;
    mSceneRootName = ZeqSceneRootName([&file](const char* name) { return file.ObjectFetch(name) != nullptr; });
    KZeqNode* root = scene.GetRootNode();
    if (KZeqNodeProperties* handler = root ? root->GetPropertyHandler() : nullptr)
        file.ObjectRegister(mSceneRootName.Buffer(), handler->IQuery(kIKObjectInterfaceId, 0));
}

namespace {

// True when the "Connect" records of the open block use name for the scene root, as the writer
// does beside a model named "Scene": one puts an object of the file under it, and none puts
// "Model::Scene" under itself, as only a file naming its root so does. Merely naming it (an object
// the file lacks) is not enough. The block's records are then unvisited again.
bool ConnectionsUseForTheRoot(IZeqObject& file, const KString& name) {
    bool used = false, rootNamedScene = false;
    while (!rootNamedScene && file.FieldReadBegin("Connect")) {
        if (file.FieldReadC() == "OO") {
            const KString child = file.FieldReadC(), parent = file.FieldReadC();
            if (parent == name && !(child == name) && file.ObjectFetch(child.Buffer())) used = true;
            rootNamedScene = child == "Model::Scene" && parent == "Model::Scene";
        }
        file.FieldReadEnd();
    }
    file.FieldReadResetPosition();
    return used && !rootNamedScene;
}

}  // namespace

bool KZeqReaderZeq::ReadConnectionSection(KZeqScene& scene) {
    IZeqObject& file = *mFile;
    if (!file.FieldReadBegin("Connections")) return true;
    if (!file.FieldReadBlockBegin()) {
        file.FieldReadEnd();
        return true;
    }
    KZeqNode* root = scene.GetRootNode();
    // The model named "Scene" of a file that names its root alike; messages then call the root
    // "the scene root".
    KObject* sceneModel = nullptr;
    if (root && !(mSceneRootName == "Model::Scene") && !ConnectionsUseForTheRoot(file, mSceneRootName)) {
        // Written by a program that names the root "Model::Scene" whatever its models are named.
        file.ObjectNameUnregister(mSceneRootName.Buffer());
        sceneModel = FetchObject(file, "Model::Scene");
        file.ObjectNameUnregister("Model::Scene");
        mSceneRootName = "Model::Scene";
        if (KZeqNodeProperties* handler = root->GetPropertyHandler())
            file.ObjectRegister(mSceneRootName.Buffer(), handler->IQuery(kIKObjectInterfaceId, 0));
    }
    while (file.FieldReadBegin("Connect")) {
        const KString kind = file.FieldReadC();
        KPlug* source = nullptr;
        KPlug* destination = nullptr;
        KString child, parent;
        if (kind == "OO") {
            child = file.FieldReadC(), parent = file.FieldReadC();
            source = FetchObject(file, child);
            destination = FetchObject(file, parent);
            // The root is no model's child: under a model (or the root) that name is the model.
            if (sceneModel && child == mSceneRootName && NodeOf(destination)) source = sceneModel;
            // A model under two parents would be freed under one and then reached through the
            // other: the first parent the file gives holds.
            KZeqNode* node = NodeOf(source);
            if (node && !destination) mUndefinedParents.emplace(node, parent);
            KZeqNode* first = node ? node->GetParent() : nullptr;
            if (node && node == root && NodeOf(destination)) {
                // Under a model the root would leave the scene, and all the file puts under it.
                AddMessageLine(child + " is connected under " + parent +
                               ": the scene root is no model's child; the connection is set aside.");
                destination = nullptr;
            } else if (first && NodeOf(destination) && NodeOf(destination) != first) {
                // Named as the records name it, but for a root named as a model is.
                const KString rootName = sceneModel ? KString("the scene root") : mSceneRootName;
                const KString firstName = first == root ? rootName : KString(first->GetName());
                AddMessageLine(child + " is connected under " + (NodeOf(destination) == root ? rootName : parent) +
                               " too: a model has one parent; it stays under " + firstName + ".");
                destination = nullptr;
            }
        } else if (kind == "OP") {
            child = file.FieldReadC(), parent = file.FieldReadC();
            source = FetchObject(file, child);
            KObject* owner = FetchObject(file, parent);
            const KString property = file.FieldReadC();
            destination = owner ? owner->FindPropertyByName(property.Buffer()) : nullptr;
            // A target the file never defines would vanish from the camera or light unsaid.
            const bool up = property == "UpVectorProperty";
            if (!source && (up || property == "LookAtProperty") && NodeOf(owner))
                AddTargetNotDefined(*NodeOf(owner), up, child);
        }
        if (source && destination && !destination->IsConnectedSrc(source) && !destination->ConnectSrc(source, 0)) {
            // Refused under a model below it (or itself): the model goes under the root once all
            // connections are made, and the message gives the connection.
            KZeqNode* node = NodeOf(source);
            KZeqNode* above = NodeOf(destination);
            if (node && above && above->IsSelfOrDescendantOf(node)) mCycleParents.emplace(node, parent);
        }
        file.FieldReadEnd();
    }
    file.FieldReadBlockEnd();
    file.FieldReadEnd();
    return true;
}

bool KZeqReaderZeq::PlaceModelsOutsideTheScene(KZeqScene& scene) {
    KZeqNode* root = scene.GetRootNode();
    if (!root) return true;
    int placed = 0;
    for (KZeqNode* node : mNodesRead) {
        // In the scene, or left out as defined again (and named so already).
        if (node->GetEntity() == root->GetEntity() || FindNode(node->GetName()) != node) continue;
        KZeqNode* top = node;
        while (KZeqNode* parent = top->GetParent()) top = parent;
        const int below = ZeqCountNodesBelow(*top);
        if (!root->AddChild(top)) {
            AddMessageLine(KString(top->GetName()) + " is left out of the scene with what is below it: " +
                           root->GetLastErrorString() + ".");
            continue;
        }
        if (++placed > kMaxModelsNamed) continue;
        const auto cycle = mCycleParents.find(top);
        KString line(top->GetName());
        const auto undefined = mUndefinedParents.find(top);
        if (cycle == mCycleParents.end() && undefined != mUndefinedParents.end())
            line += " is connected under " + undefined->second + ", which the file does not define";
        else if (cycle == mCycleParents.end())
            line += " is connected under no model of the scene";
        else if (cycle->second == top->GetName())
            line += " is connected under itself";
        else
            line += " is connected under " + cycle->second + ", which is below it";
        line += ": it is put under the scene root";
        if (below > 0) {
            line += ", with the ";
            line += below;
            line += below == 1 ? " model below it." : " models below it.";
        } else {
            line += ".";
        }
        AddMessageLine(line);
    }
    if (placed > kMaxModelsNamed) {
        KString line;
        line += placed - kMaxModelsNamed;
        AddMessageLine(line + " more models with no path to the scene root are put under it, with what is below them.");
    }
    return true;
}

// ---- Steps ---------------------------------------------------------------------------------------

bool ZeqReadDefinitions(KZeqReaderZeq& reader, KZeqScene& scene) {
    return reader.ReadDefinitionSection(scene, reader.GetObjectTypes());
}

bool ZeqReadObjects(KZeqReaderZeq& reader, KZeqScene& scene) {
    return reader.ReadObjectSection(scene, reader.GetObjectTypes());
}

bool ZeqReadModels(KZeqReaderZeq& reader, KZeqScene&) { return reader.ReadNode(); }

bool ZeqReadConnections(KZeqReaderZeq& reader, KZeqScene& scene) { return reader.ReadConnectionSection(scene); }

bool ZeqReadPlaceModelsOutsideTheScene(KZeqReaderZeq& reader, KZeqScene& scene) {
    return reader.PlaceModelsOutsideTheScene(scene);
}

}  // namespace zeqsdk_400
