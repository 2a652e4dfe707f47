// Confirm dialogs as the host sees them: their texts escaped, their answers read, and the option
// dialogs of the import and export commands.
#include "zeqtulo_test_support.h"

#include "plugin/zeqtulodialogs.h"

using zeqsdk_400::KString;

namespace {

using DialogTest = HostTest;

TEST_F(DialogTest, TextsReachTheHostAsWritten) {
    ZeqTuloConfirmDialog dialog;
    EXPECT_EQ(dialog.Pop(), 0);  // defaults, one button: unanswered
    expectFaults({"unanswered dialog"});
    const auto& first = standin::dialogs().records().back();
    EXPECT_EQ(first.title, "ZeqTuloConfirmDialog");
    EXPECT_EQ(first.message, "Left empty");
    EXPECT_EQ(first.buttons, std::vector<std::string>({"Ok"}));

    dialog.Title("Say \"why\"");
    dialog.Message("C:\\new\\table\\nline two \"quoted\"");
    dialog.Button(0, "Go \\ on");
    standin::dialogs().push("Go \\ on");
    EXPECT_EQ(dialog.Pop(), 0);
    const auto& second = standin::dialogs().records().back();
    EXPECT_EQ(second.title, "Say \"why\"");
    // "\n" pairs are line breaks; other backslashes stay backslashes.
    EXPECT_EQ(second.message, "C:\new\\table\nline two \"quoted\"");
    EXPECT_EQ(second.buttons, std::vector<std::string>({"Go \\ on"}));
    EXPECT_STREQ(ZeqTuloDialogText("a\"b\\c\\nd\ne").Buffer(), "a\\\"b\\\\c\\nd\\ne");
}

TEST_F(DialogTest, TwoButtonsGiveOneOnlyForTheSecond) {
    ZeqTuloConfirmDialog dialog;
    dialog.Button(0, "Yes");
    dialog.Button(1, "No");
    dialog.Button(2, "Ignored");
    for (auto c : {std::make_pair("No", 1), std::make_pair("Yes", 0), std::make_pair("Other", 0)}) {
        standin::dialogs().push(c.first);
        EXPECT_EQ(dialog.Pop(), c.second) << c.first;
    }
    EXPECT_EQ(standin::dialogs().records().back().buttons.size(), 2u);
    EXPECT_EQ(dialog.Pop(), 0);  // closed
    expectFaults({"unanswered dialog"});
}

TEST_F(DialogTest, ThreeButtonsGiveTheMatchedIndex) {
    ZeqTulo3ButtonDialog dialog;
    dialog.Title("Merge");
    dialog.Message(KString("Keep which?"));
    dialog.Button(0, "Mine");
    dialog.Button(2, "Both");
    dialog.Button(1, "Theirs");
    dialog.Button(3, "Ignored");
    for (auto c : {std::make_pair("Both", 2), std::make_pair("Theirs", 1), std::make_pair("Mine", 0),
                   std::make_pair("dismiss", 0)}) {
        standin::dialogs().push(c.first);
        EXPECT_EQ(dialog.Pop(), c.second) << c.first;
    }
    EXPECT_EQ(standin::dialogs().records().back().buttons, std::vector<std::string>({"Mine", "Theirs", "Both"}));
}

TEST_F(DialogTest, OptionDialogsShowUnitsAndOptions) {
    standin::dialogs().push("Import", "ZEQ Import Options");
    EXPECT_TRUE(ZeqTuloImportOptionsDialog());
    const auto& import = standin::dialogs().records().back();
    EXPECT_EQ(import.buttons, std::vector<std::string>({"Import", "Cancel"}));
    EXPECT_EQ(import.message.rfind("Detected destination world unit = Centimeters\n1 centimeter = 1 centimeter\n", 0), 0u)
        << import.message;
    EXPECT_NE(import.message.find("\nHard edges: off"), std::string::npos);
    bool unanswered = true;
    standin::dialogs().push("Cancel", "ZEQ Import Options");
    EXPECT_FALSE(ZeqTuloImportOptionsDialog(&unanswered));
    EXPECT_FALSE(unanswered);
    standin::setUnits(TDistance::kInches, TAngle::kDegrees, TTime::kFilm);
    standin::dialogs().push("Export", "ZEQ Export Options");
    EXPECT_TRUE(ZeqTuloExportOptionsDialog());
    const auto& exported = standin::dialogs().records().back();
    EXPECT_EQ(exported.message,
              "Detected source world unit = Inch\n1 inch = 2.54 centimeters\nHard edges: off\nSelection only: off");
    EXPECT_FALSE(ZeqTuloExportOptionsDialog(&unanswered));  // closed: refused, and unanswered
    EXPECT_TRUE(unanswered);
    expectFaults({"unanswered dialog"});
}

}  // namespace
