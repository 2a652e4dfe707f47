// ZEQImport of files naming many things of one kind, held to n log n by the steps the SDK's and the
// plug-in's searches count (names compared, entries visited) rather than by a clock: one model
// with many user properties (each an attribute on the host), many takes (the last one imported).
#include "importtest_support.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "base/kstepcount.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "plugin/import/importcommands.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"
#include "tplugin.h"

using namespace zeqsdk_400;
using namespace importtest;

namespace {

// 16 n log2 n: the properties' import counts about 3 n log2 n, the takes' less (one take is read);
// a search in place per item counts some n^2 / 2.
std::uint64_t Bound(int n) { return static_cast<std::uint64_t>(16.0 * n * std::log2(static_cast<double>(n))); }

struct ManyCase {
    const char* name;
    int count;
    bool takes;  // else user properties
};

class ImportSteps : public ImportDriverTest, public ::testing::WithParamInterface<ManyCase> {
protected:
    // ZEQImport -f path [-take take], its steps counted; false when it failed.
    bool CountedImport(const std::string& path, int take, std::uint64_t& steps) {
        TArgList args;
        args.append("-f");
        args.append(TString(path.c_str()));
        if (take >= 0) {
            args.append("-take");
            args.append(TString(std::to_string(take).c_str()));
        }
        KStepCountScope counted(KStepKind::eSearch);
        const bool imported = static_cast<bool>(CommandImport().doIt(args));
        CommandImportBase::DeleteDriver();
        steps = counted.GetSteps();
        return imported;
    }
};

// "p<i>" properties with the value i, or takes "Take <i>" keying translation X to i.
Builder ManyOf(const ManyCase& c) {
    return [c](KZeqSdkManager& manager, KZeqScene& scene) {
        KZeqNode* node = AddNode(manager, scene.GetRootNode(), "many");
        for (int i = 0; i < c.count; ++i) {
            const std::string name = (c.takes ? "Take " : "p") + std::to_string(i);
            if (c.takes) {
                scene.CreateTake(name.c_str());
                node->SetCurrentTakeNode(name.c_str());
                Key(node->GetCurrentTakeNode()->GetTranslationX(), i / 30.0, static_cast<float>(i));
                continue;
            }
            KZeqUserProperty* property = manager.CreateKZeqUserProperty(name.c_str(), "Real", "");
            property->ModifyFlag(KZeqUserProperty::eUSER, true);
            property->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
            node->AddProperty(property);
            property->SetDefaultValue(static_cast<double>(i));
        }
        node->SetCurrentTakeNode(0);
    };
}

TEST_P(ImportSteps, StayWithinNLogN) {
    const ManyCase& c = GetParam();
    const std::string path = Write(c.name, ManyOf(c));
    std::uint64_t steps = 0;
    ASSERT_TRUE(CountedImport(path, c.takes ? c.count - 1 : -1, steps));
    const std::string last = std::to_string(c.count - 1);
    // The last of them came: the last take's key, or the last property's attribute.
    EXPECT_EQ(last, HostAttr(c.takes ? "many.translateX" : "many.p" + last));
    EXPECT_LE(steps, Bound(c.count));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ImportSteps,
                         ::testing::Values(ManyCase{"UserProperties", 3000, false}, ManyCase{"Takes", 2000, true}),
                         [](const testing::TestParamInfo<ManyCase>& info) { return std::string(info.param.name); });

}  // namespace
