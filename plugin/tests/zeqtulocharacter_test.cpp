// Character transfer through the rig tool's procedures, faked by the stand-in.
#include "zeqtulo_test_support.h"

#include <cmath>

#include "character/kzeqcharacter.h"
#include "plugin/zeqtulocharacter.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "scene/kzeqscene.h"

using namespace zeqsdk_400;

namespace {

class CharacterTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        mScene = mManager.CreateKZeqScene();
    }
    // A scene node under the root, and a host joint of the same name.
    KZeqNode* Joint(const char* name) {
        standin::createNode("joint", name);
        KZeqNode* node = mManager.CreateKZeqNode(name);
        mScene->GetRootNode()->AddChild(node);
        return node;
    }
    // The rig commands the plug-in sent, in order.
    static std::vector<std::string> Sent() {
        std::vector<std::string> out;
        for (const std::string& line : standin::transcript())
            if (line.rfind("command: \"QIR", 0) == 0) out.push_back(line.substr(10, line.find("\" display") - 10));
        return out;
    }
    ZeqTuloSdkManager mManager{ZeqTuloSdkManager::eImport};
    KZeqScene* mScene = nullptr;
};

TEST_F(CharacterTest, WithoutTheRigToolNothingIsSent) {
    mScene->CreateCharacter("Hero");
    EXPECT_FALSE(ZEQCharacterPostSave(mScene));
    EXPECT_FALSE(ZEQCharacterPostLoad(mScene));
    EXPECT_TRUE(ZEQCharacterPreSave(mScene) && ZEQCharacterPreLoad(mScene));
    EXPECT_EQ(mScene->GetCharacterCount(), 1);
    EXPECT_TRUE(Sent().empty());
}

// Import: one host character per scene character, -ci by order; the reference node as 0 0, the
// hips (first of group 0) as 1 0; offsets with the rotation in radians; then characterized.
TEST_F(CharacterTest, SceneCharactersGoToTheHost) {
    standin::rig().enable();
    KZeqNode* hips = Joint("Hips");
    KZeqNode* root = Joint("Root");
    mScene->CreateCharacter("Hero");
    mScene->CreateCharacter("Extra");
    KZeqCharacter* hero = mScene->GetCharacter(0);
    KZeqCharacterLink link;
    link.mNode = hips;
    link.mOffsetT = KZeqVector4(1, 2, 3, 1);
    link.mOffsetR = KZeqVector4(90, 0, 0, 1);
    link.mOffsetS = KZeqVector4(1, 1, 2, 1);
    ASSERT_TRUE(hero->SetCharacterLink(eCharacterHips, link));
    KZeqCharacterLink reference;
    reference.mNode = root;
    ASSERT_TRUE(hero->SetCharacterLink(eCharacterReference, reference));
    KZeqCharacterLink missing;
    missing.mNode = mManager.CreateKZeqNode("NotInTheHost");
    ASSERT_TRUE(hero->SetCharacterLink(eCharacterLeftUpLeg, missing));
    EXPECT_TRUE(ZEQCharacterPostLoad(mScene));
    const std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 8u);
    EXPECT_EQ(sent[0], "QIRCreateCharacter \\\"Hero\\\"");
    EXPECT_EQ(sent[1], "QIRSetCharacterNodeLink -ci 0 -lti 1 -li 0 -nn Hips");
    EXPECT_EQ(sent[2], "QIRSetCharacterNodeLinkTRS -ci 0 -lti 1 -li 0 -t 1 2 3 -r 1.5707963267948966 0 0 -s 1 1 2");
    EXPECT_EQ(sent[3], "QIRSetCharacterNodeLink -ci 0 -lti 0 -li 0 -nn Root");
    EXPECT_EQ(sent[5], "QIRCharacterize  -ci 0 -keepTstance");
    EXPECT_EQ(sent[6], "QIRCreateCharacter \\\"Extra\\\"");
    EXPECT_EQ(sent[7], "QIRCharacterize  -ci 1 -keepTstance");
    EXPECT_EQ(standin::rig().characterCount(), 2u);
    EXPECT_EQ(standin::rig().link(0, 1, 0), "Hips");
    EXPECT_EQ(standin::rig().offsets(0, 1, 0), std::vector<double>({1, 2, 3, M_PI / 2, 0, 0, 1, 1, 2}));
    EXPECT_TRUE(standin::rig().characterized(0) && standin::rig().characterized(1));
}

// Export: each host character becomes a scene character whose links name the scene nodes
// standing for the host's joints; links the host leaves empty are absent.
TEST_F(CharacterTest, HostCharactersComeIntoTheScene) {
    standin::rig().enable();
    KZeqNode* hips = Joint("Hips");
    KZeqNode* spine = Joint("Spine");
    standin::rig().addCharacter("Walker");
    standin::rig().addCharacter("Runner");
    standin::rig().setLink(0, 1, 0, "Hips");
    standin::rig().setLink(0, 0, 0, "|Spine");
    standin::rig().setLink(1, 1, 0, "Ghost");  // the host has no such node
    EXPECT_TRUE(ZEQCharacterPostSave(mScene));
    ASSERT_EQ(mScene->GetCharacterCount(), 2);
    KZeqCharacterLink link;
    ASSERT_TRUE(mScene->GetCharacter(0)->GetCharacterLink(eCharacterHips, &link));
    EXPECT_EQ(link.mNode, hips);
    ASSERT_TRUE(mScene->GetCharacter(0)->GetCharacterLink(eCharacterReference, &link));
    EXPECT_EQ(link.mNode, spine);
    EXPECT_FALSE(mScene->GetCharacter(1)->GetCharacterLink(eCharacterHips, &link));
    EXPECT_NE(std::string(mScene->GetCharacter(1)->GetName()).find("Runner"), std::string::npos);
    // Every grouped identifier and the reference were asked once per character; 68, 69, 88, 89 never.
    int queries = 0;
    for (const std::string& s : Sent()) queries += s.rfind("QIRGetCharacterNodeLink", 0) == 0;
    EXPECT_EQ(queries, 2 * 187);
    EXPECT_EQ(Sent()[1], "QIRGetCharacterName  -ci 0");
}

}  // namespace
