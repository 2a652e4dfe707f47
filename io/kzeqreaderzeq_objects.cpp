// Objects of a Zeq file: the type list of "Definitions", the "Objects"
// section by kind, the top-level models of files before version 6, and the
// "Connections" that link what the objects sections registered.

#include <cstring>

#include "character/kzeqcontrolsetplug.h"
#include "content/kzeqgenericnode.h"
#include "fileio/kzeq.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
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

bool KZeqReaderZeq::ReadConnectionSection(KZeqScene& scene) {
    IZeqObject& file = *mFile;
    if (!file.FieldReadBegin("Connections")) return true;
    if (!file.FieldReadBlockBegin()) {
        file.FieldReadEnd();
        return true;
    }
    while (file.FieldReadBegin("Connect")) {
        const KString kind = file.FieldReadC();
        KPlug* source = nullptr;
        KPlug* destination = nullptr;
        if (kind == "OO") {
            const KString child = file.FieldReadC(), parent = file.FieldReadC();
            source = FetchObject(file, child);
            destination = FetchObject(file, parent);
            // A model under two parents would be freed under one and then reached through the
            // other: the first parent the file gives holds.
            KZeqNode* node = NodeOf(source);
            KZeqNode* first = node ? node->GetParent() : nullptr;
            if (node && node == scene.GetRootNode() && NodeOf(destination)) {
                // Under a model the root would leave the scene, and all the file puts under it.
                AddMessageLine(child + " is connected under " + parent +
                               ": the scene root is no model's child; the connection is set aside.");
                destination = nullptr;
            } else if (first && NodeOf(destination) && NodeOf(destination) != first) {
                // Named as the records name it: the root is "Model::Scene".
                const char* firstName = first == scene.GetRootNode() ? "Model::Scene" : first->GetName();
                AddMessageLine(child + " is connected under " + parent +
                               " too: a model has one parent; it stays under " + firstName + ".");
                destination = nullptr;
            }
        } else if (kind == "OP") {
            source = FetchObject(file, file.FieldReadC());
            KObject* owner = FetchObject(file, file.FieldReadC());
            const KString property = file.FieldReadC();
            destination = owner ? owner->FindPropertyByName(property.Buffer()) : nullptr;
        }
        if (source && destination && !destination->IsConnectedSrc(source)) destination->ConnectSrc(source, 0);
        file.FieldReadEnd();
    }
    file.FieldReadBlockEnd();
    file.FieldReadEnd();
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

}  // namespace zeqsdk_400
