// ZEQImport of one model with many user properties (each an attribute on the host), held to n log n
// by the names the SDK's and the plug-in's searches compare rather than by a clock.
#include "importtest_support.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "base/kstepcount.h"
#include "plugin/import/importcommands.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzequserproperty.h"
#include "tplugin.h"

using namespace zeqsdk_400;
using namespace importtest;

namespace {

using ImportSteps = ImportDriverTest;

// Properties "p<i>" of value i: some 3 n log2 n names compared; a search in place per property (of
// the channels, of the node's properties, of the attribute names), some n^2 / 2 and more.
TEST_F(ImportSteps, ManyUserPropertiesWithinNLogN) {
    const int n = 3000;
    const std::string path = Write("properties", [n](KZeqSdkManager& manager, KZeqScene& scene) {
        KZeqNode* node = AddNode(manager, scene.GetRootNode(), "many");
        for (int i = 0; i < n; ++i) {
            KZeqUserProperty* property = manager.CreateKZeqUserProperty(("p" + std::to_string(i)).c_str(), "Real", "");
            property->ModifyFlag(KZeqUserProperty::eUSER, true);
            property->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
            node->AddProperty(property);
            property->SetDefaultValue(static_cast<double>(i));
        }
    });
    TArgList args;
    args.append("-f");
    args.append(TString(path.c_str()));
    std::uint64_t steps = 0;
    {
        KStepCountScope counted(KStepKind::eSearch);
        ASSERT_TRUE(static_cast<bool>(CommandImport().doIt(args)));
        steps = counted.GetSteps();
    }
    CommandImportBase::DeleteDriver();
    EXPECT_EQ(std::to_string(n - 1), HostAttr("many.p" + std::to_string(n - 1)));
    EXPECT_LE(steps, static_cast<std::uint64_t>(16.0 * n * std::log2(static_cast<double>(n))));
}

}  // namespace
