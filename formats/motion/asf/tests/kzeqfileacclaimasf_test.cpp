#include "formats/motion/asf/kzeqfileacclaimasf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/kstepcount.h"
#include "fileio/tests/scratch_root.h"
#include "formats/motion/asf/kzeqasfscene.h"
#include "formats/motion/asf/tests/kzeqacclaimsamples.h"

namespace zeqsdk_400 {
namespace {

std::string TempPath(const std::string& name) { return (zeqtest::ProcessScratchFolder("asf") / name).string(); }

// A skeleton file: units, then the bone blocks and hierarchy lines given.
std::string Asf(const std::string& units, const std::string& bones, const std::string& hierarchy) {
    return "# comment first\n:version 1.10\n:name T\n:units\n" + units +
           ":documentation\n  free text\n:root\n  order TX TY TZ RX RY RZ\n  axis XYZ\n  position 0 0 0\n"
           "  orientation 0 0 0\n:bonedata\n" +
           bones + ":hierarchy\n  begin\n" + hierarchy + "  end\n";
}

std::string Bone(const std::string& name, const std::string& direction, const std::string& length,
                 const std::string& extra = "  dof rx ry rz\n") {
    return "  begin\n  id 1\n  name " + name + "\n  direction " + direction + "\n  length " + length +
           "\n  axis 0 0 0 XYZ\n" + extra + "  end\n";
}

struct Parsed {
    bool mOk = false;
    std::vector<std::string> mErrors;
    std::vector<std::string> mWarnings;
    KZeqAsfScene* mScene = nullptr;
    ~Parsed() {
        if (mScene) mScene->Destroy();
    }
    KZeqAsfNode* Bone(const char* name) const { return mScene->GetRoot() ? mScene->GetRoot()->Find(name) : nullptr; }
};

void Parse(Parsed& parsed, const std::string& text, bool removeDummies = true) {
    const std::string path = TempPath("parse.asf");
    std::ofstream(path, std::ios::binary) << text;
    KZeqFileAcclaimAsf file(true);
    file.SetErrorCallback([&parsed](const char* m) { parsed.mErrors.emplace_back(m); });
    file.SetWarningCallback([&parsed](const char* m) { parsed.mWarnings.emplace_back(m); });
    ASSERT_FALSE(file.Open(path.c_str(), "r"));
    parsed.mScene = new KZeqAsfScene;
    parsed.mOk = file.Read(parsed.mScene, removeDummies);
    std::remove(path.c_str());
}

bool Contains(const std::vector<std::string>& messages, const std::string& text) {
    for (const std::string& message : messages)
        if (message.find(text) != std::string::npos) return true;
    return false;
}

TEST(KZeqFileAcclaimAsf, UnitsScaleLengthsAndSetTheAngleFactor) {
    // length 0.45: a bone of 9 file units is 9 x 2.54 / 0.45 = 50.8 cm.
    Parsed parsed;
    Parse(parsed, Asf("  length 0.45\n  angle grad\n", Bone("a", "0 2 0", "9"), ""));
    ASSERT_TRUE(parsed.mOk);
    EXPECT_NEAR(parsed.Bone("a")->mLength, 50.8, 1e-12);
    EXPECT_EQ(parsed.mScene->mAngleFactor, 1.0);
    EXPECT_TRUE(Contains(parsed.mWarnings, "Unknown angle unit, using default (deg)"));
    // The direction is normalised, the bone vector runs along it.
    EXPECT_NEAR(parsed.Bone("a")->mDirection[1], 1.0, 1e-15);
    EXPECT_NEAR(parsed.Bone("a")->mPosition[1], 50.8, 1e-12);

    Parsed radians;
    Parse(radians, Asf("  angle rad\n", Bone("a", "1 0 0", "1", "  axis 0 0 1.5707963267948966 XYZ\n  dof rx\n"), ""));
    ASSERT_TRUE(radians.mOk);
    EXPECT_DOUBLE_EQ(radians.mScene->mAngleFactor, 57.29577951308232);
    // The axis angles are radians too: kept in degrees.
    EXPECT_NEAR(radians.Bone("a")->mAxis[2], 90.0, 1e-12);
    EXPECT_NEAR(radians.Bone("a")->mAxisMatrix[0][1], 1.0, 1e-12);
}

// A ":skin" section (up to three file names) is passed over, within the file or at its end, and
// the sections after it read as usual.
TEST(KZeqFileAcclaimAsf, SkinSectionIsPassedOver) {
    std::string middle = Asf("", Bone("a", "1 0 0", "1") + Bone("b", "0 1 0", "1"), "  root a\n  a b\n");
    middle.replace(middle.find(":hierarchy"), 0, ":skin one.skn\n  two.skn\n  three.skn\n  four.skn\n");
    for (const std::string& text : {middle, middle + ":skin last.skn\n", middle + ":skin"}) {
        Parsed parsed;
        Parse(parsed, text);
        ASSERT_TRUE(parsed.mOk) << text;
        ASSERT_TRUE(parsed.Bone("b"));
        EXPECT_EQ(parsed.Bone("b")->GetParent(), parsed.Bone("a"));
        EXPECT_TRUE(parsed.mErrors.empty() && parsed.mWarnings.empty()) << text;
    }
}

TEST(KZeqFileAcclaimAsf, AxisWordsNameTheirOwnEulerOrder) {
    struct Case {
        const char* mWord;
        int mOrder;
    };
    for (const Case& c : {Case{"XYZ", 0}, Case{"xzy", 2}, Case{"yzx", 4}, Case{"YXZ", 6}, Case{"zxy", 8},
                          Case{"zyx", 10}}) {
        Parsed parsed;
        Parse(parsed, Asf("", Bone("a", "1 0 0", "1", std::string("  axis 0 0 -20 ") + c.mWord + "\n  dof rx\n"), ""));
        ASSERT_TRUE(parsed.mOk) << c.mWord << (parsed.mErrors.empty() ? "" : parsed.mErrors[0]);
        EXPECT_EQ(parsed.Bone("a")->mAxisOrder, c.mOrder) << c.mWord;
    }
    Parsed parsed;
    Parse(parsed, Asf("", Bone("a", "1 0 0", "1", "  axis 0 0 -20 XYZ\n"), ""), false);
    KgeRMatrix expected;
    KmIJKtoR(expected, 0.0, 0.0, -20.0, 0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_DOUBLE_EQ(parsed.Bone("a")->mAxisMatrix[r][c], expected[r][c]);
}

TEST(KZeqFileAcclaimAsf, LengthDofKeepsItsPlaceWithAWarning) {
    Parsed parsed;
    Parse(parsed, Asf("", Bone("a", "1 0 0", "1", "  dof rx ry rz l\n  limits (-1 1) (-2 2)\n  (-3 3)\n (0 1)\n"), ""));
    ASSERT_TRUE(parsed.mOk);
    const KZeqAsfNode* a = parsed.Bone("a");
    ASSERT_EQ(a->mDofCount, 4);
    EXPECT_EQ(a->RotationDofCount(), 3);
    EXPECT_EQ(a->mDof[3], eDofLength);
    EXPECT_TRUE(Contains(parsed.mWarnings, "Unknown degree of freedom (l)"));
}

TEST(KZeqFileAcclaimAsf, RootPositionIsALengthLikeAnyOther) {
    Parsed parsed;
    std::string text = Asf("  length 0.5\n", Bone("a", "1 0 0", "1"), "");
    text.replace(text.find("position 0 0 0"), 14, "position 1 0 2");
    Parse(parsed, text);
    ASSERT_TRUE(parsed.mOk);
    EXPECT_NEAR(parsed.mScene->GetRoot()->mPosition[0], 5.08, 1e-12);
    EXPECT_NEAR(parsed.Bone("a")->mOffset[2], 10.16, 1e-12);
}

TEST(KZeqFileAcclaimAsf, HierarchyMovesBonesOffTheRootOnce) {
    Parsed parsed;
    Parse(parsed, Asf("", Bone("a", "1 0 0", "1") + Bone("b", "0 1 0", "2") + Bone("c", "0 0 1", "3"),
                      "  root a b\n  a c\n  b c\n"));
    ASSERT_TRUE(parsed.mOk);
    // c was attached to a first: the second parent does not take it.
    EXPECT_EQ(parsed.Bone("c")->GetParent(), parsed.Bone("a"));
    EXPECT_EQ(parsed.Bone("b")->GetParent(), parsed.mScene->GetRoot());
    // Its joint lies at the end of a: offset a's bone vector, in a's axes.
    EXPECT_NEAR(parsed.Bone("c")->mLocalOffset[0], 2.54, 1e-12);
}

TEST(KZeqFileAcclaimAsf, DummyBonesDissolveIntoTheirParents) {
    // root -> hip (no dof, 1 along X) -> femur (2 along -Y) -> tibia.
    const std::string text = Asf("", Bone("hip", "1 0 0", "1", "") + Bone("femur", "0 -1 0", "2") +
                                          Bone("tibia", "0 -1 0", "3"),
                                 "  root hip\n  hip femur\n  femur tibia\n");
    Parsed kept;
    Parse(kept, text, false);
    ASSERT_TRUE(kept.mOk);
    EXPECT_EQ(kept.Bone("femur")->GetParent(), kept.Bone("hip"));
    Parsed removed;
    Parse(removed, text, true);
    ASSERT_TRUE(removed.mOk);
    EXPECT_EQ(removed.Bone("hip"), nullptr);
    const KZeqAsfNode* femur = removed.Bone("femur");
    EXPECT_EQ(femur->GetParent(), removed.mScene->GetRoot());
    // femur now starts where hip ended: its offset grew by hip's.
    EXPECT_NEAR(femur->mLocalOffset[0], 2.54, 1e-12);
    EXPECT_NEAR(removed.Bone("tibia")->mLocalOffset[1], -5.08, 1e-12);
}

// Bones named alike are found as a search from the root finds them, which the section's own moves
// change: "z x" takes the first x (below p in the file); then the search meets the second x first,
// and "p x" takes that one.
TEST(KZeqFileAcclaimAsf, BonesNamedAlikeAreFoundInTheOrderOfTheTree) {
    Parsed parsed;
    Parse(parsed, Asf("", Bone("p", "1 0 0", "1") + Bone("x", "0 1 0", "2") + Bone("x", "0 0 1", "3") +
                              Bone("z", "1 0 0", "4"),
                      "  z x\n  p x\n"));
    ASSERT_TRUE(parsed.mOk);
    const KZeqAsfNode* root = parsed.mScene->GetRoot();
    ASSERT_EQ(root->GetChildCount(), 2);
    const KZeqAsfNode* p = root->GetChild(0);
    const KZeqAsfNode* z = root->GetChild(1);
    EXPECT_STREQ(p->GetName(), "p");
    EXPECT_STREQ(z->GetName(), "z");
    ASSERT_EQ(p->GetChildCount(), 1);
    ASSERT_EQ(z->GetChildCount(), 1);
    EXPECT_NEAR(z->GetChild(0)->mLength, 2 * 2.54, 1e-12);
    EXPECT_NEAR(p->GetChild(0)->mLength, 3 * 2.54, 1e-12);
}

// The steps of reading a skeleton (bones searched for by name, bones walked up from a parent):
// twice the bones cost about twice the steps, for copies of the capture layout and for chains
// as deep as a skeleton may be; and for one chain deeper than that, which is refused.
TEST(KZeqFileAcclaimAsf, ThousandsOfBonesReadInStepsLinearInTheirNumber) {
    const auto Steps = [](const std::string& text, bool ok) {
        KStepCountScope search(KStepKind::eSearch);
        std::uint64_t walked = 0;
        {
            KStepCountScope walk(KStepKind::eWalk);
            Parsed parsed;
            Parse(parsed, text);
            EXPECT_EQ(parsed.mOk, ok) << (parsed.mErrors.empty() ? "" : parsed.mErrors[0]);
            walked = walk.GetSteps();
        }
        return search.GetSteps() + walked;
    };
    // Chains of `length` bones below the root, `bones` in all.
    const auto Chains = [](int bones, int length) {
        std::string text, hierarchy;
        for (int i = 0; i < bones; ++i) {
            text += Bone("b" + std::to_string(i), "1 0 0", "1");
            if (i % length) hierarchy += "  b" + std::to_string(i - 1) + " b" + std::to_string(i) + "\n";
        }
        return Asf("", text, hierarchy);
    };
    struct Shape {
        const char* mName;
        std::function<std::string(int)> mText;
        bool mOk;
    };
    const Shape shapes[] = {
        {"capture layout", [](int n) { return zeqacclaimsamples::SampleAsf(n); }, true},
        {"chains", [&](int n) { return Chains(n, KZeqAsfScene::kMaxDepth); }, true},
        {"too deep", [&](int n) { return Chains(n, n); }, false},
    };
    for (const Shape& shape : shapes) {
        const std::uint64_t once = Steps(shape.mText(1500), shape.mOk);
        const std::uint64_t twice = Steps(shape.mText(3000), shape.mOk);
        EXPECT_GT(once, 1500u) << shape.mName;
        EXPECT_LT(twice, 2.3 * static_cast<double>(once)) << shape.mName << ": " << once << " then " << twice;
    }
}

// Dummies among other bones: the others keep their order, the dummies' children follow them, the
// last dummy's first.
TEST(KZeqFileAcclaimAsf, DummiesAmongBonesLeaveTheirChildrenAfterTheOthers) {
    Parsed parsed;
    Parse(parsed, Asf("", Bone("a", "1 0 0", "1") + Bone("d1", "1 0 0", "1", "") + Bone("b", "1 0 0", "1") +
                              Bone("d2", "1 0 0", "1", "") + Bone("c1", "0 1 0", "1") + Bone("c2", "0 1 0", "1"),
                      "  d1 c1\n  d2 c2\n"));
    ASSERT_TRUE(parsed.mOk);
    const KZeqAsfNode* root = parsed.mScene->GetRoot();
    std::vector<std::string> names;
    for (int i = 0; i < root->GetChildCount(); ++i) names.emplace_back(root->GetChild(i)->GetName());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c2", "c1"}));
    EXPECT_EQ(parsed.Bone("c1")->GetParent(), root);
}

struct RefusedCase {
    const char* mName;
    std::string mText;
    const char* mError;
};

class KZeqFileAcclaimAsfRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(KZeqFileAcclaimAsfRefused, FailsWithItsError) {
    Parsed parsed;
    Parse(parsed, GetParam().mText);
    EXPECT_FALSE(parsed.mOk);
    EXPECT_TRUE(Contains(parsed.mErrors, GetParam().mError)) << (parsed.mErrors.empty() ? "" : parsed.mErrors[0]);
}

std::string Deep(int bones) {
    std::string text, hierarchy;
    for (int i = 0; i < bones; ++i) {
        text += Bone("b" + std::to_string(i), "1 0 0", "1");
        if (i) hierarchy += "  b" + std::to_string(i - 1) + " b" + std::to_string(i) + "\n";
    }
    return Asf("", text, hierarchy);
}

INSTANTIATE_TEST_SUITE_P(
    Files, KZeqFileAcclaimAsfRefused,
    testing::Values(
        RefusedCase{"MissingLength", Asf("", "  begin\n  name a\n  direction 1 0 0\n  end\n", ""), "Bone has no length"},
        RefusedCase{"BoneNamedRoot", Asf("", Bone("root", "1 0 0", "1"), ""), "Forbidden bone name"},
        RefusedCase{"Loop", Asf("", Bone("a", "1 0 0", "1") + Bone("b", "1 0 0", "1"), "  a b\n  b a\n"),
                    "cannot hang below"},
        RefusedCase{"OwnParent", Asf("", Bone("a", "1 0 0", "1"), "  a a\n"), "cannot hang below"},
        RefusedCase{"SevenDofs", Asf("", Bone("a", "1 0 0", "1", "  dof rx ry rz tx ty tz rx\n"), ""),
                    "Too many degrees of freedom"},
        RefusedCase{"UnknownParent", Asf("", Bone("a", "1 0 0", "1"), "  z a\n"), "Unknown parent bone name (z)"},
        RefusedCase{"UnknownChild", Asf("", Bone("a", "1 0 0", "1"), "  a z\n"), "Unknown child bone name (z)"},
        RefusedCase{"BonesBeforeRoot", ":bonedata\n" + Bone("a", "1 0 0", "1") + ":root\n  axis XYZ\n:hierarchy\n",
                    "Bone data before the root"},
        RefusedCase{"UnknownAxis", Asf("", Bone("a", "1 0 0", "1", "  axis 0 0 0 ABC\n"), ""), "Unknown rotation order"},
        RefusedCase{"NotANumber", Asf("", Bone("a", "1 0 0", "nan"), ""), "Can't read bone length"},
        RefusedCase{"ShortLimits", Asf("", Bone("a", "1 0 0", "1", "  dof rx ry\n  limits (-1 1)\n  end\n"), ""),
                    "Can't read dof limits"},
        RefusedCase{"TruncatedInABone", ":root\n  axis XYZ\n:bonedata\n  begin\n  name a\n",
                    "Unexpected end of file"},
        RefusedCase{"NoRoot", ":version 1.10\n:name x\n", "No root"},
        RefusedCase{"TooDeep", Deep(KZeqAsfScene::kMaxDepth + 2), "too deep"}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.mName); });

TEST(KZeqFileAcclaimAsf, WrittenSkeletonReadsBackAlike) {
    Parsed original;
    Parse(original,
          Asf("  length 0.45\n",
              Bone("a", "0.6 -0.8 0", "6.84027", "  axis 0 0 20 XYZ\n  dof rx ry rz\n") +
                  Bone("b", "0 0 1", "2", "  axis -90 7 20 XYZ\n  dof rx rz\n") + Bone("c", "1 0 0", "1.5", "  dof tx rz\n"),
              "  a b c\n"));
    ASSERT_TRUE(original.mOk);
    const std::string path = TempPath("written.asf");
    {
        KZeqFileAcclaimAsf file(false);
        ASSERT_FALSE(file.Open(path.c_str(), "w"));
        ASSERT_TRUE(file.Write(original.mScene));
        ASSERT_TRUE(file.Close());
    }
    Parsed back;
    std::ifstream in(path);
    Parse(back, std::string(std::istreambuf_iterator<char>(in), {}));
    std::remove(path.c_str());
    ASSERT_TRUE(back.mOk);
    // Written with the unit it was read with: the same lengths in centimetres.
    EXPECT_EQ(back.mScene->mLengthUnit, 0.45);
    for (const char* name : {"a", "b", "c"}) {
        const KZeqAsfNode* x = original.Bone(name);
        const KZeqAsfNode* y = back.Bone(name);
        ASSERT_TRUE(y) << name;
        EXPECT_EQ(y->GetParent()->GetName(), std::string(x->GetParent()->GetName()));
        EXPECT_NEAR(y->mLength, x->mLength, 1e-5 * x->mLength) << name;
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(y->mDirection[i], x->mDirection[i], 1e-6) << name;
            EXPECT_NEAR(y->mAxis[i], x->mAxis[i], 1e-4) << name;
        }
        ASSERT_EQ(y->mDofCount, x->mDofCount);
        for (int i = 0; i < x->mDofCount; ++i) EXPECT_EQ(y->mDof[i], x->mDof[i]);
    }
}

TEST(KZeqFileAcclaimAsf, EulerOrderOfDofListsFirstListedFirst) {
    struct Case {
        std::vector<int> mDofs;
        int mOrder;
    };
    for (const Case& c : {Case{{eDofRX, eDofRY, eDofRZ}, 0}, Case{{eDofRZ, eDofRY, eDofRX}, 10},
                          Case{{eDofRY, eDofRX, eDofRZ}, 6}, Case{{eDofRZ, eDofRX, eDofRY}, 8},
                          Case{{eDofRX, eDofRZ, eDofRY}, 2}, Case{{eDofRY, eDofRZ, eDofRX}, 4}, Case{{eDofRX}, 10},
                          Case{{eDofTX, eDofRX, eDofLength, eDofRY, eDofRZ}, 0}}) {
        EXPECT_EQ(EulerOrderFromOrderBuf(c.mDofs.data(), static_cast<int>(c.mDofs.size())), c.mOrder);
        // OrderVector undoes the order's sequence: angles of KmRtoVord come back about X, Y, Z.
        KgeRMatrix m;
        KmXYZtoR(m, 10.0, 20.0, 30.0);
        double angles[3];
        KmRtoVord(angles, m, c.mOrder);
        OrderVector(angles, c.mOrder);
        KgeRMatrix back;
        KmIJKtoR(back, angles[0], angles[1], angles[2], c.mOrder);
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[r][k], m[r][k], 1e-12);
    }
}

}  // namespace
}  // namespace zeqsdk_400
