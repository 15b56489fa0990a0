#include "definitions/lists/obs_def_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "definitions/lists/node_def_list.h"
#include "host/definition_samples.h"

namespace {

using Vok::Test::MakeNodeDef;
using Vok::Test::MakeObsDef;

std::vector<int32_t> Ids(const CObsDefList& list) {
    std::vector<int32_t> ids;
    for (const sObsDef& d : list) ids.push_back(d.id);
    return ids;
}

// A system, type or object filter of 0 or below selects every record.
TEST(ObsDefFilters, ZeroOrBelowMeansAny) {
    CObsDefList list;
    list.Add(MakeObsDef(1, 30, 5, 1, 0, 0));
    list.Add(MakeObsDef(2, 11, 5, 1, 2, 7));
    list.Add(MakeObsDef(3, 11, 6, 2, 0, -7));
    list.Add(MakeObsDef(4, 50, 5, 3, 0, 0));
    list.Add(MakeObsDef(5, 91, 6, 9, 0, 0));  // its node is not in the node list
    CNodeDefList nodes;
    nodes.Add(MakeNodeDef(1, 11, 1, 2, 0, 0, 0));
    nodes.Add(MakeNodeDef(2, 12, 2, 2, 0, 0, 0));
    nodes.Add(MakeNodeDef(3, 13, 2, 2, 0, 0, 0));

    using Ids_ = std::vector<int32_t>;
    CObsDefList out;
    struct sRow {
        const char* what;
        std::function<void()> copy;
        Ids_ expected;
    };
    const sRow rows[] = {
        {"system 0", [&] { list.CopyBySystem(out, 0); }, {1, 2, 3, 4, 5}},
        {"system -1", [&] { list.CopyBySystem(out, -1); }, {1, 2, 3, 4, 5}},
        {"system 5", [&] { list.CopyBySystem(out, 5); }, {1, 2, 4}},
        {"type 0", [&] { list.CopyByType(out, 0); }, {1, 2, 3, 4, 5}},
        {"type 11", [&] { list.CopyByType(out, 11); }, {2, 3}},
        {"any type, object 2", [&] { list.CopyByTypeAndObject(out, &nodes, 0, 2); }, {3, 4}},
        {"type 11, any object", [&] { list.CopyByTypeAndObject(out, &nodes, 11, 0); }, {2, 3}},
        {"any type, any object", [&] { list.CopyByTypeAndObject(out, &nodes, -1, -1); }, {1, 2, 3, 4}},
        {"type 11, object 1", [&] { list.CopyByTypeAndObject(out, &nodes, 11, 1); }, {2}},
    };
    for (const sRow& row : rows) {
        row.copy();
        EXPECT_EQ(Ids(out), row.expected) << row.what;
    }
    ASSERT_NE(list.FindSurveySensorObs(0, 1), nullptr);
    EXPECT_EQ(list.FindSurveySensorObs(0, 1)->id, 4);
    EXPECT_EQ(list.FindSurveySensorObs(-2, 1)->id, 4);
    EXPECT_EQ(list.FindSurveySensorObs(6, 1), nullptr);
}

}  // namespace
