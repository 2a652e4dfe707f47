#include "object/kconnectionlist.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace zeqsdk_400;

namespace {

enum EPick { eFront, eBack, eRandom };

// How entries are placed while a list grows and removed while it shrinks.
struct EditCase {
    const char* mName;
    EPick mInsert;
    EPick mRemove;
};

const EditCase kEditCases[] = {
    {"AppendRemoveFront", eBack, eFront},   {"AppendRemoveBack", eBack, eBack},
    {"AppendRemoveRandom", eBack, eRandom}, {"InsertRandomRemoveRandom", eRandom, eRandom},
    {"InsertFrontRemoveFront", eFront, eFront}};

void PrintTo(const EditCase& c, std::ostream* out) { *out << c.mName; }
class KConnectionListEdits : public ::testing::TestWithParam<EditCase> {};

KConnection Make(std::uint32_t n) { return KConnection{n % 7, n + 1, static_cast<int>(n)}; }

}  // namespace

// Lists grow past the length that gives them an index and shrink back below
// it, several times, compared with a plain array after each change.
TEST_P(KConnectionListEdits, FollowAPlainArray) {
    const EditCase& c = GetParam();
    std::mt19937 random(3);
    auto pick = [&](EPick how, int count) {
        if (how == eRandom) return static_cast<int>(random() % static_cast<unsigned>(count + 1));
        return how == eFront ? 0 : count;
    };
    KConnectionList list;
    std::vector<KConnection> model;
    std::uint32_t next = 0;
    auto check = [&](int step) {
        ASSERT_EQ(static_cast<int>(model.size()), list.GetCount()) << step;
        for (int i = 0; i < list.GetCount(); ++i) {
            const KConnection &e = list.GetAt(i), &m = model[static_cast<std::size_t>(i)];
            ASSERT_TRUE(e.mSlot == m.mSlot && e.mId == m.mId && e.mType == m.mType) << step;
            ASSERT_EQ(i, list.Find(m.mSlot, m.mId)) << step;
        }
    };
    int step = 0;
    for (int target : {300, 40, 200, 0, 90, 10}) {
        while (static_cast<int>(model.size()) != target) {
            const int count = static_cast<int>(model.size());
            if (count < target) {
                const int at = pick(c.mInsert, count);
                model.insert(model.begin() + at, Make(next++));
                list.InsertAt(at, model[static_cast<std::size_t>(at)]);
            } else {
                const int at = std::min(pick(c.mRemove, count), count - 1);
                const KConnection gone = model[static_cast<std::size_t>(at)];
                list.RemoveAt(at);
                model.erase(model.begin() + at);
                ASSERT_EQ(-1, list.Find(gone.mSlot, gone.mId));
            }
            // A full comparison costs O(n): every few changes, and all of them near the limits.
            if (++step % 7 == 0 || model.size() < 70) check(step);
        }
        check(step);
    }
    EXPECT_TRUE(list.Find(Make(next).mSlot, Make(next).mId) == -1 && list.Find(0, 0) == -1);
    for (int i = 0; i < 100; ++i) list.InsertAt(list.GetCount(), model.emplace_back(Make(next++)));
    std::vector<KConnection> taken;
    list.TakeAll(taken);
    ASSERT_EQ(model.size(), taken.size());
    for (std::size_t i = 0; i < model.size(); ++i) EXPECT_EQ(model[i].mId, taken[i].mId);
    EXPECT_EQ(0, list.GetCount());
}

INSTANTIATE_TEST_SUITE_P(Orders, KConnectionListEdits, ::testing::ValuesIn(kEditCases),
                         [](const ::testing::TestParamInfo<EditCase>& info) { return info.param.mName; });
