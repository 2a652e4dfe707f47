// Character transfer: every command text is built here, in the order the rig procedures expect.
#include "plugin/zeqtulocharacter.h"

#include <cstdlib>

#include "character/kzeqcharacter.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "tfndagnode.h"
#include "tglobal.h"

using namespace zeqsdk_400;

namespace {

const int kReferenceNodeId = eCharacterReference;
const double kDegreesToRadians = 0.017453292519943295;

// "-lti" and "-li" of a character node; false for the identifiers in no group (68, 69, 88, 89).
bool Address(int id, int& group, int& index) {
    if (id == kReferenceNodeId) {
        group = index = 0;
        return true;
    }
    ECharacterGroupId groupId;
    if (!KZeqCharacter::GetCharacterGroupIndexByElement(static_cast<ECharacterNodeId>(id), groupId, index)) return false;
    group = static_cast<int>(groupId) + 1;
    return true;
}

// Runs a command; the reply's first element, "" when the command failed or gave nothing.
TString Ask(const TString& command) {
    TStringArray reply;
    if (!TGlobal::executeCommand(command, reply, false, false) || reply.length() == 0) return TString();
    return reply[0];
}

int AskInt(const TString& command) {
    const TString reply = Ask(command);
    char* end = nullptr;
    const long value = std::strtol(reply.asChar(), &end, 10);
    return end != reply.asChar() && value > 0 && value < 1000000 ? static_cast<int>(value) : 0;
}

// " -ci c -lti g -li i": numbers go through the host string's text of a double.
TString Addressed(const char* procedure, int character, int group, int index) {
    TString text(procedure);
    text += " -ci ";
    text = text + static_cast<double>(character);
    text += " -lti ";
    text = text + static_cast<double>(group);
    text += " -li ";
    text = text + static_cast<double>(index);
    return text;
}

void AppendTriple(TString& text, const char* flag, const KZeqVector4& v, double factor) {
    text += flag;
    for (int i = 0; i < 3; ++i) {
        text += " ";
        text = text + v[i] * factor;
    }
}

}  // namespace

bool ProcedureExist(const char* name) {
    TString command("exists ");
    command += name;
    TStringArray reply;
    return TGlobal::executeCommand(command, reply, false, false) && reply.length() > 0 && reply[0] == "1";
}

bool ZEQCharacterPreLoad(KZeqScene*) { return true; }
bool ZEQCharacterPreSave(KZeqScene*) { return true; }
void QIRProperty2ZEQParam(int, KZeqCharacter*) {}
void ZEQParam2QIRProperty(KZeqCharacter*, int) {}

bool ZEQCharacterPostSave(KZeqScene* scene) {
    if (!ProcedureExist("QIRGetCharacterCount")) return false;
    if (!scene) return true;
    const int count = AskInt("QIRGetCharacterCount");
    for (int i = 0; i < count; ++i) {
        TString command("QIRGetCharacterName  -ci ");
        command = command + static_cast<double>(i);
        const TString name = Ask(command);
        const int index = scene->CreateCharacter(name.asChar());
        KZeqCharacter* character = scene->GetCharacter(index);
        if (character) ExtractCharacterFromTulo(i, scene, character);
    }
    return true;
}

bool ExtractCharacterFromTulo(int hostCharacter, KZeqScene* scene, KZeqCharacter* character) {
    if (!ProcedureExist("QIRGetCharacterNodeLink")) return false;
    KZeqNode* root = scene ? scene->GetRootNode() : nullptr;
    for (int id = 0; id < kCharacterNodeIdCount && root && character; ++id) {
        int group = 0, index = 0;
        if (!Address(id, group, index)) continue;
        const TString linked = Ask(Addressed("QIRGetCharacterNodeLink", hostCharacter, group, index));
        TDagPath path;
        if (linked.length() == 0 || !ExtractPath(linked, path)) continue;
        TStatus status;
        TFnDagNode dag;
        if (!dag.setObject(path)) continue;
        const TString name = dag.name(&status);
        if (!status) continue;
        KZeqNode* node = root->FindChild(name.asChar(), true, false);
        if (!node) continue;
        KZeqCharacterLink link;
        link.mNode = node;
        character->SetCharacterLink(static_cast<ECharacterNodeId>(id), link);
    }
    QIRProperty2ZEQParam(hostCharacter, character);
    return true;
}

bool ZEQCharacterPostLoad(KZeqScene* scene) {
    if (!ProcedureExist("QIRCreateCharacter")) return false;
    for (int i = 0; scene && i < scene->GetCharacterCount(); ++i) {
        KZeqCharacter* character = scene->GetCharacter(i);
        if (!character) continue;
        TString command("QIRCreateCharacter \"");
        command += character->GetNameWithoutNameSpacePrefix();
        command += "\"";
        TGlobal::executeCommand(command, false, false);
        ExtractCharacterFromZeq(character, i);
    }
    return true;
}

bool ExtractCharacterFromZeq(KZeqCharacter* character, int hostCharacter) {
    for (const char* procedure : {"QIRSetCharacterNodeLink", "QIRSetCharacterNodeLinkTRS", "QIRCharacterize"})
        if (!ProcedureExist(procedure)) return false;
    for (int id = 0; id < kCharacterNodeIdCount && character; ++id) {
        KZeqCharacterLink link;
        if (!character->GetCharacterLink(static_cast<ECharacterNodeId>(id), &link) || !link.mNode) continue;
        const TString nodeName = link.mNode->GetNameWithoutNameSpacePrefix().Buffer();
        TDagPath path;
        if (!ExtractPath(nodeName, path)) continue;
        int group = 0, index = 0;
        if (!Address(id, group, index)) continue;
        TString command = Addressed("QIRSetCharacterNodeLink", hostCharacter, group, index);
        command += " -nn ";
        command += nodeName;
        TGlobal::executeCommand(command, false, false);
        TString offsets = Addressed("QIRSetCharacterNodeLinkTRS", hostCharacter, group, index);
        AppendTriple(offsets, " -t", link.mOffsetT, 1.0);
        AppendTriple(offsets, " -r", link.mOffsetR, kDegreesToRadians);
        AppendTriple(offsets, " -s", link.mOffsetS, 1.0);
        TGlobal::executeCommand(offsets, false, false);
    }
    if (!character) return true;
    TString characterize("QIRCharacterize  -ci ");
    characterize = characterize + static_cast<double>(hostCharacter);
    characterize += " -keepTstance";
    TGlobal::executeCommand(characterize, false, false);
    ZEQParam2QIRProperty(character, hostCharacter);
    return true;
}
