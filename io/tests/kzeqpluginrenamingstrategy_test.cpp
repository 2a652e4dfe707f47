#include "io/kzeqpluginrenamingstrategy.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using zeqsdk_400::KName;
using Strategy = KZeqPluginRenamingStrategy;

TEST(RenameToZeq, WorkedSequencesAndMasksStopAt32) {
    const char* cases[][3] = {  // clash type, names in, names out
        {"0", "Cube Cube Cube", "Cube Cube_ncl1_1 Cube_ncl1_2"},
        {"0", "Cube cube CUBE", "Cube Cube_ncl2_ul1 Cube_ncl2_lu14"},
        {"1", "Cube cube Cube", "Cube cube Cube_ncl1_1"},
        {"2", "Cube Cube cube", "Cube Cube Cube_ncl2_ul1"}};
    for (auto& [type, in, out] : cases) {
        Strategy strategy(Strategy::eToZeq, false);
        strategy.SetClashSoverType(static_cast<Strategy::EClashType>(type[0] - '0'));
        std::istringstream from(in), to(out);
        for (std::string a, b; from >> a && to >> b;) {
            KName name(a.c_str());
            EXPECT_EQ(a != b, strategy.Rename(name));
            EXPECT_TRUE(b == name.GetCurrentName() && a == name.GetInitialName()) << in << ": " << b;
        }
    }
    Strategy strategy(Strategy::eToZeq, false);
    const std::string longName(40, 'B');
    KName first(longName.c_str()), second(("b" + longName.substr(1, 34) + "bbbbb").c_str());  // differs at 0, 35 on
    strategy.Rename(first);
    strategy.SetClashSoverType(Strategy::eAllClashes);  // the same type keeps the names
    strategy.Rename(second);
    EXPECT_EQ(longName + "_ncl2_ul1", second.GetCurrentName());
}

// Past the growths of the index the earliest names are still found, exactly and up to case.
TEST(RenameToZeq, ManyNames) {
    Strategy strategy(Strategy::eToZeq, false);
    std::string renamed;
    auto rename = [&](const std::string& text) {
        KName name(text.c_str());
        strategy.Rename(name);
        renamed += std::string(name.GetCurrentName()) + " ";
    };
    for (int i = 0; i < 300; ++i) rename("n" + std::to_string(i));
    renamed.clear();
    for (const char* text : {"n0", "N0", "N299", "n0"}) rename(text);
    EXPECT_EQ("n0_ncl1_1 n0_ncl2_lu1 n299_ncl2_lu1 n0_ncl1_2 ", renamed);
}

TEST(RenameFromZeq, ClashMarksAndParentheses) {
    const char* cases[][3] = {  // name read, "p" for the parenthesis flag; initial name, current name, renamed
        {"Cube_ncl1_1", "", "Cube_ncl1_1 Cube 1"},       {"Cube_ncl2_ul1", "", "Cube_ncl2_ul1 cube 1"},
        {"Cube_ncl2_lu14", "", "Cube_ncl2_lu14 CUBE 1"}, {"aB_ncl2_ul2lu1", "", "aB_ncl2_ul2lu1 Ab 1"},
        {"Arm(2)", "", "Arm(2) Arm 1"},                  {"Arm(2)", "p", "Arm_2_ Arm 1"},
        {"Arm(2", "p", "Arm_2 Arm 1"},                   {"Arm()", "", "Arm() Arm 1"},
        {"Arm(2a)", "", "Arm(2a) Arm_2a_ 0"},            {"_ncl1_3", "", "_ncl1_3 _ncl1_3 0"},
        {"(2)", "", "(2) _2_ 0"},                        {"Model::Cube-1", "", "Model::Cube-1 Model__Cube_1 0"},
        // Masks read as 32 bits whatever the text: bit 31 lies past the name.
        {"Ab_ncl2_ul-2147483647", "", "Ab_ncl2_ul-2147483647 ab 1"},
        {"Ab_ncl2_lu99999999999999999999", "", "Ab_ncl2_lu99999999999999999999 AB 1"}};
    for (auto& [in, flag, expected] : cases) {
        Strategy strategy(Strategy::eFromZeq, *flag == 'p');
        KName name(in);
        const bool renamed = strategy.Rename(name);
        EXPECT_EQ(expected, std::string(name.GetInitialName()) + " " + name.GetCurrentName() + (renamed ? " 1" : " 0"));
    }
}

TEST(RenamingStrategy, NoPrefixName) {
    EXPECT_STREQ("Cube", Strategy::NoPrefixName("Model::Cube"));
    EXPECT_STREQ("B::C", Strategy::NoPrefixName(zeqsdk_400::KString("A::B::C")));
    EXPECT_STREQ("C", Strategy::NoPrefixName("C"));
    EXPECT_EQ(std::string(300, 'n'), Strategy::NoPrefixName(("Model::" + std::string(300, 'n')).c_str()));  // never cut
}
