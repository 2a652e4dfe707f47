#include "io/kzeqpluginrenamingstrategy.h"

#include <gtest/gtest.h>
#include <strings.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

using zeqsdk_400::KName;
using Strategy = KZeqPluginRenamingStrategy;

namespace {

// The remembered names walked from the first, as plainly as possible.
struct LinearModel {
    std::string Rename(const std::string& s, int type) {
        for (auto& [name, count] : mRecords) {
            if (type != 1 && name.size() == s.size() && strcasecmp(name.c_str(), s.c_str()) == 0 && name != s) {
                unsigned u = 0, l = 0;
                for (std::size_t k = 0; k < name.size() && k < 32; ++k)
                    if (name[k] != s[k]) (std::isupper(name[k]) ? u : l) |= 1u << k;
                return Remember(name + "_ncl2_" + (u ? "ul" + std::to_string(int(u)) : "") + (l ? "lu" + std::to_string(int(l)) : ""));
            }
            if (type != 2 && name == s) return Remember(name + "_ncl1_" + std::to_string(++count));
        }
        return Remember(s);
    }
    std::string Remember(const std::string& name) { return mRecords.push_back({name, 0}), name; }
    std::vector<std::pair<std::string, int>> mRecords;
};

}  // namespace

TEST(RenameToZeq, WorkedSequences) {
    const char* cases[][3] = {  // clash type, names in, names out
        {"0", "Cube Cube Cube", "Cube Cube_ncl1_1 Cube_ncl1_2"}, {"0", "Cube cube CUBE", "Cube Cube_ncl2_ul1 Cube_ncl2_lu14"},
        {"1", "Cube cube Cube", "Cube cube Cube_ncl1_1"}, {"2", "Cube Cube cube", "Cube Cube Cube_ncl2_ul1"}};
    for (auto& [type, in, out] : cases) {
        Strategy strategy(Strategy::eToZeq, false);
        strategy.SetClashSoverType(static_cast<Strategy::EClashType>(type[0] - '0'));
        std::istringstream from(in), to(out);
        for (std::string a, b; from >> a && to >> b;) {
            KName name(a.c_str());
            EXPECT_EQ(a != b, strategy.Rename(name));
            EXPECT_TRUE(b == name.GetCurrentName() && a == name.GetInitialName()) << in << ": " << name.GetCurrentName();
        }
    }
    Strategy strategy(Strategy::eToZeq, false);
    const std::string longName(40, 'B');
    KName first(longName.c_str()), second(("b" + longName.substr(1, 34) + "bbbbb").c_str());  // differs at 0 and 35 on
    strategy.Rename(first), strategy.Rename(second);
    EXPECT_EQ(longName + "_ncl2_ul1", second.GetCurrentName());  // positions from 32 on are dropped
}

TEST(RenameToZeq, HashIndexesAnswerAsTheWalk) {
    std::mt19937 random(7);
    for (int round = 0; round < 4; ++round) {
        Strategy strategy(Strategy::eToZeq, false);
        LinearModel model;
        int type = 0;
        for (int step = 0; step < 1500; ++step) {
            if (random() % 200 == 0) {
                const int next = static_cast<int>(random() % 3);
                if (next != type) model.mRecords.clear();
                strategy.SetClashSoverType(static_cast<Strategy::EClashType>(type = next));
            }
            std::string text(1 + random() % 3, 'a');
            for (char& c : text) c = "aAbB_"[random() % 5];
            KName name(text.c_str());
            strategy.Rename(name);
            ASSERT_EQ(model.Rename(text, type), name.GetCurrentName()) << round << " " << step;
        }
    }
}

struct ImportCase {
    const char *mName, *mIn;
    bool mParentheses;
    const char* mExpected;  // initial name, current name, whether renamed
};
class RenameFromZeq : public ::testing::TestWithParam<ImportCase> {};

TEST_P(RenameFromZeq, Names) {
    Strategy strategy(Strategy::eFromZeq, GetParam().mParentheses);
    KName name(GetParam().mIn);
    const bool renamed = strategy.Rename(name);
    EXPECT_EQ(GetParam().mExpected, std::string(name.GetInitialName()) + " " + name.GetCurrentName() + (renamed ? " 1" : " 0"));
}

INSTANTIATE_TEST_SUITE_P(Cases, RenameFromZeq, ::testing::Values(
    ImportCase{"Exact", "Cube_ncl1_1", false, "Cube_ncl1_1 Cube 1"}, ImportCase{"Upper", "Cube_ncl2_ul1", false, "Cube_ncl2_ul1 cube 1"},
    ImportCase{"Lower", "Cube_ncl2_lu14", false, "Cube_ncl2_lu14 CUBE 1"}, ImportCase{"Both", "aB_ncl2_ul2lu1", false, "aB_ncl2_ul2lu1 Ab 1"},
    ImportCase{"NegativeMask", "Ab_ncl2_ul-2147483647", false, "Ab_ncl2_ul-2147483647 ab 1"},
    ImportCase{"HugeMask", "Ab_ncl2_ul99999999999999999999", false, "Ab_ncl2_ul99999999999999999999 ab 1"},
    ImportCase{"ParenthesesKept", "Arm(2)", false, "Arm(2) Arm 1"}, ImportCase{"Unclosed", "Arm(2", true, "Arm_2 Arm 1"},
    ImportCase{"ParenthesesReplaced", "Arm(2)", true, "Arm_2_ Arm 1"}, ImportCase{"Empty", "Arm()", false, "Arm() Arm 1"},
    ImportCase{"NotANumber", "Arm(2a)", false, "Arm(2a) Arm_2a_ 0"}, ImportCase{"MarkAtStart", "_ncl1_3", false, "_ncl1_3 _ncl1_3 0"},
    ImportCase{"ParenAtStart", "(2)", false, "(2) _2_ 0"}, ImportCase{"Plain", "Model::Cube-1", false, "Model::Cube-1 Model__Cube_1 0"}),
    [](const ::testing::TestParamInfo<ImportCase>& info) { return std::string(info.param.mName); });

TEST(RenamingStrategy, ClashTypeChangeForgetsAndNoPrefixName) {
    Strategy strategy(Strategy::eToZeq, false);
    KName a("Cube"), b("Cube"), c("Cube");
    strategy.Rename(a);
    strategy.SetClashSoverType(Strategy::eAllClashes);  // the same type keeps the names
    EXPECT_TRUE(strategy.Rename(b));
    strategy.SetClashSoverType(Strategy::eExactClashes);
    EXPECT_FALSE(strategy.Rename(c));
    EXPECT_TRUE(std::string("Cube") == Strategy::NoPrefixName("Model::Cube") && std::string("C") == Strategy::NoPrefixName("C"));
    EXPECT_STREQ("B::C", Strategy::NoPrefixName(zeqsdk_400::KString("A::B::C")));
    const std::string longName(300, 'n');
    EXPECT_EQ(longName, Strategy::NoPrefixName(("Model::" + longName).c_str()));
}
