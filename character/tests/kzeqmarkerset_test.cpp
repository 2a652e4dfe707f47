#include "character/kzeqmarkerset.h"

#include <gtest/gtest.h>

#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

const EActorBodyPart kBadParts[] = {static_cast<EActorBodyPart>(21), static_cast<EActorBodyPart>(-1)};

TEST(Actor, ScalesPerPartAndCopy) {
    KZeqSdkManager manager;
    KZeqActor actor(manager, "Constraint::a"), copy(manager, "Constraint::b");
    KZeqMarkerSet markers(manager, "MarkerSet::m");
    const KZeqVector4 one(1, 1, 1, 1), scale(2, 3, 4, 5);
    for (int part = 0; part < kActorBodyPartCount; ++part)
        EXPECT_TRUE(actor.GetScale(static_cast<EActorBodyPart>(part)) == one);
    for (EActorBodyPart bad : kBadParts) {
        actor.SetScale(bad, scale);
        EXPECT_TRUE(actor.GetScale(bad) == one && actor.GetScale(eActorBodyPartFirst) == one);
    }
    actor.SetScale(eActorBodyPartLast, scale);
    actor.SetInputMarkerSet(&markers);
    copy = actor;
    EXPECT_TRUE(copy.GetInputMarkerSet() == &markers && copy.GetScale(eActorBodyPartLast)[3] == 5.0);  // all four
    actor.Reset();
    EXPECT_TRUE(actor.GetInputMarkerSet() == nullptr && actor.GetScale(eActorBodyPartLast) == one);
}

KZeqMarkerSetLink Marker(const char* name) {
    KZeqMarkerSetLink link;
    link.mName = name;
    return link;
}

// Links to parts 3, 5, 3: global indices 0, 1, 2; part 3 holds 0 and 2 at local 0 and 1.
TEST(MarkerSet, GlobalAndLocalIndices) {
    KZeqSdkManager manager;
    KZeqMarkerSet set(manager, "MarkerSet::m"), copy(manager, "MarkerSet::c");
    const KZeqMarkerSetLink blank;
    EXPECT_TRUE(blank.mName.IsEmpty() && !blank.mNode && !blank.mOriented && blank.mTranslationOffset[3] == 1 &&
                blank.mRotationOffset == KZeqVector4(0, 0, 0, 1) && blank.mRotationOffset[3] == 1);
    const EActorBodyPart p3 = static_cast<EActorBodyPart>(3), p5 = static_cast<EActorBodyPart>(5);
    KZeqMarkerSetLink given = Marker("first");
    EXPECT_TRUE(set.AddMarkerSetLink(p3, given));
    given.mName = "changed after adding";
    EXPECT_TRUE(set.AddMarkerSetLink(p5, Marker("second")) && set.AddMarkerSetLink(p3, Marker("third")));
    for (EActorBodyPart bad : kBadParts)
        EXPECT_FALSE(set.AddMarkerSetLink(bad, blank) || set.GetMarkerSetLinkCount(bad));
    copy.AddMarkerSetLink(p5, blank);
    copy = set;
    KZeqMarkerSet& self = copy;
    copy = self;  // self-assignment changes nothing
    const int parts[] = {3, 5, 3}, locals[] = {0, 0, 1};
    const char* names[] = {"first", "second", "third"};
    for (KZeqMarkerSet* s : {&set, &copy}) {
        EXPECT_TRUE(s->GetMarkerSetLinkCount() == 3 && s->GetMarkerSetLinkCount(p3) == 2 &&
                    s->GetMarkerSetLinkCount(p5) == 1);
        for (int g = 0; g < 3; ++g) {
            EActorBodyPart part = eActorBodyPartFirst;
            int local = -1, global = -1;
            KZeqMarkerSetLink byGlobal, byLocal;
            EXPECT_TRUE(s->GetLocalFromGlobal(g, part, local) && part == parts[g] && local == locals[g]);
            EXPECT_TRUE(s->GetGlobalFromLocal(part, local, global) && global == g);
            EXPECT_TRUE(s->GetMarkerSetLink(g, byGlobal) && s->GetMarkerSetLink(part, local, byLocal));
            EXPECT_TRUE(byGlobal.mName == names[g] && byLocal.mName == names[g]) << g;
        }
    }
    // Failing lookups leave their outputs alone.
    EActorBodyPart part = p5;
    int local = 7, global = 7;
    KZeqMarkerSetLink out = Marker("out");
    EXPECT_FALSE(set.GetLocalFromGlobal(-1, part, local) || set.GetLocalFromGlobal(3, part, local));
    EXPECT_FALSE(set.GetGlobalFromLocal(p3, 2, global) || set.GetGlobalFromLocal(p3, -1, global) ||
                 set.GetGlobalFromLocal(kBadParts[0], 0, global));
    EXPECT_FALSE(set.GetMarkerSetLink(3, out) || set.GetMarkerSetLink(-1, out) || set.GetMarkerSetLink(p5, 1, out));
    EXPECT_TRUE(part == p5 && local == 7 && global == 7 && out.mName == "out");

    set.Reset();
    EXPECT_TRUE(set.GetMarkerSetLinkCount() == 0 && set.GetMarkerSetLinkCount(p3) == 0);
    EXPECT_TRUE(set.AddMarkerSetLink(p5, blank) && set.GetGlobalFromLocal(p5, 0, global) && global == 0);
    EXPECT_EQ(3, copy.GetMarkerSetLinkCount());  // copies are the copy's own
}

}  // namespace
