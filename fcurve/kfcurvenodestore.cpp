// Curve-node trees in the field file: one "Channel" field per node, whose block
// holds the node's curve, its child channels, its layer id and type, its
// time-warp number and its next layer ("LayerChannel"). Reading matches the
// channels against a template tree.
#include <cstring>

#include "base/kset.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvebake.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurvesettings.h"
#include "fileio/kzeq.h"
#include "object/kdatatype.h"

namespace zeqsdk_400 {

namespace {

const char* ShortName(const KDataType* type) {
    if (type == &KDataTypeLclTranslation) return "T";
    if (type == &KDataTypeLclRotation) return "R";
    if (type == &KDataTypeLclScaling) return "S";
    return nullptr;
}

KDataType* TypeOfShortName(char c) {
    switch (c) {
        case 'T': return &KDataTypeLclTranslation;
        case 'R': return &KDataTypeLclRotation;
        case 'S': return &KDataTypeLclScaling;
        default: return nullptr;
    }
}

// The child of the template a stored channel name stands for: "T", "R" and
// "S" by data type, otherwise by name ignoring case; a name such as
// "X (suffix)" also matches "X".
KFCurveNode* MatchChannel(const KFCurveNode* templateNode, const KString& name) {
    if (!templateNode) return nullptr;
    KFCurveNode* node = nullptr;
    if (name.GetLen() == 1)
        if (KDataType* type = TypeOfShortName(name[0])) node = templateNode->Find(type);
    if (!node) node = templateNode->Get(templateNode->Find(name.Buffer()));
    if (!node) {
        const int paren = name.Find('(');
        if (paren >= 0) {
            int cut = paren;
            for (int blanks = 0; blanks < 2 && cut > 0 && name[cut - 1] == ' '; ++blanks) --cut;
            const KString shortName = name.Left(static_cast<unsigned int>(cut));
            node = templateNode->Get(templateNode->Find(shortName.Buffer()));
        }
    }
    return node;
}

bool Contains(const char* text, char c) { return std::strchr(text, c) != nullptr; }

// A base channel named exactly "X", "Y" or "Z": one axis of the vector above it.
bool IsAxisChannel(const KFCurveNode& node) {
    if (node.GetLayerID() != 0) return false;
    const char* name = node.GetName();
    return (name[0] == 'X' || name[0] == 'Y' || name[0] == 'Z') && name[1] == '\0';
}

void WriteIntField(KZeq* file, const char* name, int value) {
    file->FieldWriteBegin(name);
    file->FieldWriteI(value);
    file->FieldWriteEnd();
}

}  // namespace

bool KFCurveNode::ZeqStore(KZeq* file, bool onlyDefaults, bool shortNames, bool noUserName, const char* fieldName,
                           bool color, bool version5) {
    if (!file) return false;
    const char* name = GetName();
    const char* storedName = shortNames ? ShortName(GetDataType()) : nullptr;
    file->FieldWriteBegin(fieldName ? fieldName : "Channel");
    file->FieldWriteC(storedName ? storedName : name);
    file->FieldWriteBlockBegin();
    if (!noUserName && std::strcmp(GetTimeWarpName(), name) != 0) {
        file->FieldWriteBegin("UserName");
        file->FieldWriteC(GetTimeWarpName());
        file->FieldWriteEnd();
    }
    int number = 0;
    if (mTimeWarp && KFCurve_FindNickNumberFromTW(number, mTimeWarp)) WriteIntField(file, "TimeWarpID", number);
    if (mFCurve) mFCurve->ZeqStore(file, onlyDefaults, color, version5);
    const int count = mChildren.GetCount();
    for (int i = 0; i < count; ++i)
        mChildren[i]->ZeqStore(file, onlyDefaults, shortNames, noUserName, "Channel", color, version5);
    if (mLayerID != 0) WriteIntField(file, "LayerID", mLayerID);
    if (mLayerType != KFCL_NOLAYER) WriteIntField(file, "LayerType", mLayerType);
    if (mNextLayer && !onlyDefaults)
        mNextLayer->ZeqStore(file, false, shortNames, noUserName, "LayerChannel", false, version5);
    file->FieldWriteBlockEnd();
    file->FieldWriteEnd();
    return false;
}

KFCurveNode* KFCurveNodeSharedAxisWarp(const KFCurveNode& node) {
    KFCurveNode* shared = nullptr;
    const int count = node.GetCount();
    for (int i = 0; i < count; ++i) {
        const KFCurveNode& child = *node.Get(i);
        KFCurveNode* warp = child.TimeWarpGet();
        if (!warp || warp == shared || !IsAxisChannel(child)) continue;
        // Two different warps: each channel keeps its own.
        if (shared) return nullptr;
        shared = warp;
    }
    // One beside another of the node's own: the channels keep theirs, under the node's.
    return shared && (!node.TimeWarpGet() || node.TimeWarpGet() == shared) ? shared : nullptr;
}

bool KFCurveNodeBakeSharedAxisWarp(KFCurveNode& node, KTime period, const KFCurveBakeSpan* span) {
    KFCurveNode* shared = KFCurveNodeSharedAxisWarp(node);
    if (!shared) return false;
    const int count = node.GetCount();
    for (int i = 0; i < count; ++i) {
        KFCurveNode* child = node.Get(i);
        if (IsAxisChannel(*child) && child->TimeWarpGet() == shared) KFCurveNodeBake(child, nullptr, 0, period, span);
    }
    return true;
}

KFCurveNode* KFCurveNodeCreate(KZeq* file, KFCurveNode* templateNode, bool onlyDefaults, bool createMissing,
                               bool color) {
    if (!file) return nullptr;
    // Channels that match nothing are skipped one after the other (a loop, so
    // that a long run of them cannot exhaust the stack).
    for (;;) {
        if (!file->FieldReadBegin("Channel")) return nullptr;
        const KString name = file->FieldReadC();
        KFCurveNode* node = MatchChannel(templateNode, name);
        if (!node) {
            const bool leaf = templateNode && templateNode->FCurveGet();
            if (leaf || !createMissing) {
                file->FieldReadEnd();
                color = false;
                continue;
            }
            node = new KFCurveNode(name.Buffer(), name.Buffer(), nullptr, KFCL_NOLAYER, 0);
            if (templateNode) templateNode->Add(node);
        }
        node->ZeqInternalRetrieve(file, onlyDefaults, createMissing, color);
        file->FieldReadEnd();
        if (node->GetLayerID() > 0 && templateNode) {
            // A layer's channel belongs to the base channel of the same name.
            KFCurveNode* base = templateNode->ObjectLayerGet();
            KFCurveNode* match = base ? base->Get(base->Find(name.Buffer())) : nullptr;
            if (match && match != node) {
                node->ObjectLayerSet(match);
                if (match->GetNameInfo()) node->SetNameInfo(match->GetNameInfo());
                if (node->FCurveGet() && match->FCurveGet() && match->FCurveGet()->GetSelected())
                    node->FCurveGet()->SetSelected(true);
            }
        }
        return node;
    }
}

KFCurveNode* KFCurveNodeCreate(KZeq* file, bool onlyDefaults, bool color) {
    return KFCurveNodeCreate(file, nullptr, onlyDefaults, true, color);
}

KFCurveNode* KFCurveNodeLayerCreate(KZeq* file, KFCurveNode* node, bool onlyDefaults) {
    if (!file || !node || !file->FieldReadBegin("LayerChannel")) return nullptr;
    KFCurveNode* layer = new KFCurveNode(node);
    // A layer the node already had is replaced, not lost.
    node->LayerSet(layer, true);
    if (node->LayerGet() != layer) {
        layer->Destroy();
        file->FieldReadEnd();
        return nullptr;
    }
    layer->ObjectLayerSet(node->ObjectLayerGet());
    layer->ZeqInternalRetrieve(file, onlyDefaults, true, false);
    file->FieldReadEnd();
    return layer;
}

bool KFCurveNode::ZeqRetrieve(KZeq* file, bool onlyDefaults, bool createMissing, bool color) {
    if (!file || !file->FieldReadBegin("Channel")) return true;
    const KString name = file->FieldReadC();
    if (!mNameInfo) mNameInfo = new NameInfo;
    NamesMayChange();
    NameInfo* info = OwnNameInfo();
    info->mName = name;
    info->mTimeWarpName = name;
    ZeqInternalRetrieve(file, onlyDefaults, createMissing, color);
    file->FieldReadEnd();
    return false;
}

void KFCurveNode::ZeqInternalRetrieve(KZeq* file, bool onlyDefaults, bool createMissing, bool color) {
    if (!file || !file->FieldReadBlockBegin()) return;

    const KString userName = file->FieldReadC("UserName", "");
    if (!userName.IsEmpty()) SetTimeWarpName(userName.Buffer());

    if (mFCurve) {
        KFCurveCreate(file, mFCurve, onlyDefaults, color);
    } else if (KFCurve* curve = KFCurveCreate(file, onlyDefaults, color)) {
        // A node with channels has no curve of its own.
        if (mChildren.GetCount() > 0)
            curve->Destroy();
        else
            FCurveSet(curve, true);
    }

    mLayerID = file->FieldReadI("LayerID", 0);
    SetLayerType(file->FieldReadI("LayerType", KFCL_NOLAYER), nullptr);

    while (KFCurveNodeCreate(file, this, onlyDefaults, createMissing, color)) {
    }
    KFCurveNodeLayerCreate(file, this, onlyDefaults);

    const int timeWarpId = file->FieldReadI("TimeWarpID", 0);
    if (timeWarpId != 0)
        if (KFCurveNode* timeWarp = KFCurve_FindTWFromNickNumber(timeWarpId)) TimeWarpSet(timeWarp);
    // The channels read above may hold warps that are this node's: one warp said by its axis channels.
    // Without warps to name (no set, or an empty one) none was read.
    const KSet* warps = KFCurve_GetTWSet();
    if (KFCurveNode* shared = warps && warps->GetCount() > 0 ? KFCurveNodeSharedAxisWarp(*this) : nullptr) {
        TimeWarpSet(shared);
        const int count = mChildren.GetCount();
        for (int i = 0; i < count; ++i)
            if (IsAxisChannel(*mChildren[i])) mChildren[i]->TimeWarpSet(nullptr);
    }
    file->FieldReadBlockEnd();

    // Layer types that older files left out or got wrong.
    const KDataType* type = GetDataType();
    const char* name = GetName();
    if (type == &KDataTypeLclRotation || std::strcmp(name, "R") == 0) {
        if (mChildren.GetCount() == 3)
            SetLayerType(KFCL_EULER_XYZ, nullptr);
        else if (mLayerType == KFCL_EULER_XYZ)
            SetLayerType(KFCL_NOLAYER, nullptr);
    }
    if (type == &KDataTypeLclTranslation || std::strcmp(name, "T") == 0 || std::strstr(name, "Translation"))
        SetLayerType(KFCL_ADD, nullptr);
    if (type == &KDataTypeLclScaling || std::strcmp(name, "S") == 0 || std::strstr(name, "Scaling"))
        SetLayerType(KFCL_MULT, nullptr);

    if (mLayerType != KFCL_NOLAYER &&
        file->ProjectGetSectionVersion(file->ProjectGetCurrentSectionIndex()) == 4000) {
        const bool wrongRotation = type == &KDataTypeLclRotation && Contains(name, 'R') && std::strcmp(name, "R") != 0;
        const bool wrongTranslation =
            type == &KDataTypeLclTranslation && Contains(name, 'T') && std::strcmp(name, "T") != 0;
        const bool wrongScaling = type == &KDataTypeLclScaling && Contains(name, 'S') && std::strcmp(name, "S") != 0;
        if (wrongRotation || wrongTranslation || wrongScaling) SetLayerType(KFCL_NOLAYER, nullptr);
    }
}

}  // namespace zeqsdk_400
