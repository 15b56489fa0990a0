#include "definitions/tide/tide_settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/archive.h"

namespace {

using namespace Vok::Tides;
using Vok::ByteVector;
using Vok::ByteVectorArchive;
using Vok::IArchiveException;

// Little-endian fields appended by hand, as the format lays them out.
struct Image {
    ByteVector bytes;
    Image& u32(uint32_t v) {
        for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<unsigned char>(v >> (8 * k)));
        return *this;
    }
    Image& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    Image& f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    Image& f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        return u32(static_cast<uint32_t>(bits)).u32(static_cast<uint32_t>(bits >> 32));
    }
    Image& b(bool v) {
        bytes.push_back(v ? 1 : 0);
        return *this;
    }
    Image& str(const std::string& s) {
        u32(static_cast<uint32_t>(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    Image& strategy_base(const std::string& name, uint32_t id) { return i32(1).str(name).u32(id); }
    Image& source_base(uint32_t id) { return i32(1).u32(id); }
    Image& append(const Image& other) {
        bytes.insert(bytes.end(), other.bytes.begin(), other.bytes.end());
        return *this;
    }
};

ByteVector written(const Vok::ISerializable& object) {
    ByteVector out;
    ByteVectorArchive archive(out);
    object.serialize_to(archive, 0);
    return out;
}

void read(Vok::ISerializable& object, const ByteVector& bytes) {
    ByteVector copy = bytes;
    ByteVectorArchive archive(copy);
    object.serialize_from(archive);
    EXPECT_EQ(archive.Remaining(), 0u) << "the whole record is read";
}

// The code and what-text of the archive error that reading raises; {0, ""} when none.
std::pair<int32_t, std::string> read_error(Vok::ISerializable& object, const ByteVector& bytes) {
    ByteVector copy = bytes;
    ByteVectorArchive archive(copy);
    try {
        object.serialize_from(archive);
    } catch (const IArchiveException& e) {
        return {e.code(), e.what()};
    }
    return {0, ""};
}

std::string unsupported(const std::string& reader) {
    return "Vok archive exception: Unsupported version in Vok::Tides::" + reader + "::serialize_from - code: \"7\"";
}
const std::string kContainerReader = "Vok::Tides::CTideSettingsContainer::serialize_from";

template <typename S>
std::unique_ptr<S> make(int32_t id) {
    auto s = std::make_unique<S>();
    s->set_id(id);
    return s;
}

// One strategy and one source of every kind with fields away from their defaults.
CTideSettingsContainer full_settings() {
    CTideSettingsContainer c;
    auto closest = make<CTideStrategyClosest>(1);
    closest->set_name("Closest");
    closest->set_reference_id(3);
    closest->set_closest_value(4);
    closest->add_source_id(1);
    closest->add_source_id(2);
    auto file = make<CTideStrategyFile>(2);
    file->set_update_interval(120.0f);
    file->add_source_id(2);
    auto gauge = make<CTideStrategyGauge>(3);
    gauge->set_use_update_interval(true);
    gauge->set_reference_value(-0.25f);
    auto computed = make<CTideStrategyComputed>(4);
    computed->set_reference_id(8);
    computed->set_computed_count(5);
    computed->set_computed_id(6);
    c.get_strategies().add(std::move(closest));
    c.get_strategies().add(std::move(file));
    c.get_strategies().add(std::move(gauge));
    c.get_strategies().add(std::move(computed));
    c.get_strategies().add(make<CTideStrategyDisabled>(5));
    c.get_strategies().add(make<CTideStrategyMWLM>(6));
    auto tide_file = make<CTideSourceFile>(1);
    tide_file->set_node_id(7);
    tide_file->set_file_path("/data/tide.txt");
    auto observation = make<CTideSourceObservation>(2);
    observation->set_observation_id(12);
    c.get_sources().add(std::move(tide_file));
    c.get_sources().add(std::move(observation));
    return c;
}

TEST(TideSettingsFormat, EmptyContainerAndDisabledStrategyByteForByte) {
    const ByteVector empty{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(written(CTideSettingsContainer()), empty);
    CTideSettingsContainer c = full_settings();
    read(c, empty);
    EXPECT_TRUE(c.get_strategies().empty() && c.get_sources().empty());

    CTideStrategyDisabled disabled;
    disabled.set_name("abc");
    disabled.set_id(3);
    const ByteVector abc{1, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c', 3, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(written(disabled), abc);
    CTideStrategyDisabled back;
    read(back, abc);
    EXPECT_EQ(back.get_name(), "abc");
    EXPECT_EQ(back.get_id(), 3);
}

// Each record as the format lays it out: written so, and read back into an equal object.
TEST(TideSettingsFormat, RecordOfEveryKind) {
    CTideSettingsContainer c = full_settings();
    std::vector<std::pair<const Vok::ISerializable*, Image>> rows;
    auto strategy = [&](int32_t id) { return c.get_strategies().find_by_id(id); };
    Image closest, file, gauge, computed, disabled, mwlm, tide_file, observation;
    closest.strategy_base("Closest", 1).i32(2).i32(3).f32(0.0f).b(false).f32(60.0f).u32(4).u32(2).u32(1).u32(2);
    file.strategy_base("", 2).i32(2).i32(-1).f32(0.0f).b(false).f32(120.0f).u32(1).u32(2);
    gauge.strategy_base("", 3).i32(2).i32(-1).f32(-0.25f).b(true).f32(60.0f).u32(0);
    computed.strategy_base("", 4).i32(1).i32(8).f32(0.0f).f32(10.0f).i32(5).b(false).f32(60.0f).i32(6);
    disabled.strategy_base("", 5).i32(1);
    mwlm.strategy_base("", 6).i32(1);
    tide_file.source_base(1).i32(1).u32(7).str("/data/tide.txt");
    observation.source_base(2).i32(2).u32(12);
    observation.i32(0).b(false).f64(-10.0).f64(10.0);  // clipping, version word 0
    observation.i32(2).b(false).i32(2).f64(0.2);       // filtering, the owner's version
    const Image* strategy_rows[] = {&closest, &file, &gauge, &computed, &disabled, &mwlm};
    for (int32_t id = 1; id <= 6; ++id) {
        const CTideStrategyBase& s = *strategy(id);
        EXPECT_EQ(written(s), strategy_rows[id - 1]->bytes) << id;
        std::unique_ptr<CTideStrategyBase> back = create_tide_strategy(s.get_model());
        read(*back, strategy_rows[id - 1]->bytes);
        read(*back, strategy_rows[id - 1]->bytes);  // a reader starts from the defaults
        EXPECT_TRUE(*back == s) << id;
    }
    const Image* source_rows[] = {&tide_file, &observation};
    for (int32_t id = 1; id <= 2; ++id) {
        const CTideSourceBase& s = *c.get_sources().find_by_id(id);
        EXPECT_EQ(written(s), source_rows[id - 1]->bytes) << id;
        std::unique_ptr<CTideSourceBase> back = create_tide_source(s.get_type());
        read(*back, source_rows[id - 1]->bytes);
        EXPECT_TRUE(*back == s) << id;
    }
}

TEST(TideSettingsFormat, VersionOneRecordsReadAndRewriteAsVersionTwo) {
    for (const int32_t model : {TIDE_MODEL_CLOSEST, TIDE_MODEL_FILE, TIDE_MODEL_GAUGE}) {
        Image v1, v2;
        v1.strategy_base("T", 8).i32(1).i32(4).f32(1.5f).f32(99.0f).i32(-99).b(true).f32(30.0f);
        v1.b(true).f32(1.0f).b(false).f32(2.0f).b(true).f32(3.0f);  // three pairs, discarded
        v2.strategy_base("T", 8).i32(2).i32(4).f32(1.5f).b(true).f32(30.0f);
        if (model == TIDE_MODEL_CLOSEST) {
            v1.u32(77);
            v2.u32(77);
        }
        v1.u32(2).u32(5).u32(6);
        v2.u32(2).u32(5).u32(6);
        std::unique_ptr<CTideStrategyBase> s = create_tide_strategy(model);
        read(*s, v1.bytes);
        EXPECT_EQ(written(*s), v2.bytes) << model;
        EXPECT_EQ(v1.bytes.size() - written(*s).size(), 23u) << model;
    }
    // Computed: a stored -2 as the computed id means none.
    for (const auto& [stored, expected] : std::vector<std::pair<int32_t, int32_t>>{{-2, -1}, {-3, -3}, {7, 7}}) {
        Image image;
        image.strategy_base("", 1).i32(1).i32(-1).f32(0.0f).f32(10.0f).i32(1).b(false).f32(60.0f).i32(stored);
        CTideStrategyComputed computed;
        read(computed, image.bytes);
        EXPECT_EQ(computed.get_computed_id(), expected) << stored;
    }
    // An observation source of version 1 keeps default clipping and filtering.
    Image v1, v2;
    v1.source_base(4).i32(1).u32(12);
    v2.source_base(4).i32(2).u32(12).i32(0).b(false).f64(-10.0).f64(10.0).i32(2).b(false).i32(2).f64(0.2);
    CTideSourceObservation old_source, expected;
    read(old_source, v1.bytes);
    expected.set_id(4);
    expected.set_observation_id(12);
    EXPECT_TRUE(old_source == expected);
    EXPECT_EQ(written(old_source), v2.bytes);
    // Clipping and filtering read whatever version word they find; the source writes its own.
    Image words;
    words.source_base(4).i32(2).u32(12).i32(9).b(true).f64(-2.5).f64(3.5).i32(-1).b(true).i32(5).f64(0.75);
    CTideSourceObservation changed;
    read(changed, words.bytes);
    EXPECT_FALSE(changed == expected);
    // Sources that differ only in one clipping or filtering field are unequal.
    for (const size_t field : {size_t{20}, size_t{28}, size_t{36}, size_t{41}, size_t{42}, size_t{49}}) {
        ByteVector other = words.bytes;
        other[field] ^= 1;
        CTideSourceObservation differing;
        read(differing, other);
        EXPECT_TRUE(differing != changed) << field;
        EXPECT_TRUE(differing.is_same_source(changed)) << field;
    }
    ByteVector rewritten = words.bytes;
    rewritten[16] = 0;   // clipping word 9 -> 0
    rewritten[37] = 2;   // filtering word -1 -> 2
    rewritten[38] = rewritten[39] = rewritten[40] = 0;
    EXPECT_EQ(written(changed), rewritten);
}

TEST(TideSettingsFormat, ReadErrorsNameTheirReader) {
    struct Row {
        std::function<std::unique_ptr<Vok::ISerializable>()> make;
        Image image;
        int32_t code;
        std::string what;
    };
    auto strategy = [](int32_t model) {
        return [model] { return std::unique_ptr<Vok::ISerializable>(create_tide_strategy(model)); };
    };
    auto source = [](int32_t type) {
        return [type] { return std::unique_ptr<Vok::ISerializable>(create_tide_source(type)); };
    };
    auto container = [] { return std::unique_ptr<Vok::ISerializable>(new CTideSettingsContainer); };
    Image least = Image().i32(1).u32(5);  // strategies of the fewest bytes, then no sources
    for (uint32_t id = 1; id <= 5; ++id) least.i32(TIDE_MODEL_DISABLED).strategy_base("", id).i32(1);
    least.u32(0);
    const std::string outside = "Vok archive exception: Tried to serialize outside block - code: \"7\"";
    std::vector<Row> rows = {
        {strategy(TIDE_MODEL_GAUGE), Image().i32(2), 7, unsupported("CTideStrategyBase")},
        {strategy(TIDE_MODEL_CLOSEST), Image().strategy_base("", 1).i32(3), 7, unsupported("CTideStrategyClosest")},
        {strategy(TIDE_MODEL_FILE), Image().strategy_base("", 1).i32(0), 7, unsupported("CTideStrategyFile")},
        {strategy(TIDE_MODEL_GAUGE), Image().strategy_base("", 1).i32(3), 7, unsupported("CTideStrategyGauge")},
        {strategy(TIDE_MODEL_COMPUTED), Image().strategy_base("", 1).i32(2), 7, unsupported("CTideStrategyComputed")},
        {strategy(TIDE_MODEL_DISABLED), Image().strategy_base("", 1).i32(2), 7, unsupported("CTideStrategyDisabled")},
        {strategy(TIDE_MODEL_MWLM), Image().strategy_base("", 1).i32(0), 7, unsupported("CTideStrategyMWLM")},
        {source(TIDE_SOURCE_FILE), Image().i32(0), 7, unsupported("CTideSourceBase")},
        {source(TIDE_SOURCE_FILE), Image().source_base(1).i32(2), 7, unsupported("CTideSourceFile")},
        {source(TIDE_SOURCE_OBSERVATION), Image().source_base(1).i32(0), 7, unsupported("CTideSourceObservation")},
        {source(TIDE_SOURCE_OBSERVATION), Image().source_base(1).i32(3), 7, unsupported("CTideSourceObservation")},
        {container, Image().i32(2), 7, unsupported("CTideSettingsContainer")},
        {container, Image().i32(1).u32(1).i32(0).strategy_base("", 1).i32(1).u32(0), 1,
         "Vok archive exception: Failed to create CTideStrategyBase in " + kContainerReader + " - code: \"1\""},
        {container, Image().i32(1).u32(1).i32(-4).strategy_base("", 1).i32(1).u32(0), 1,
         "Vok archive exception: Failed to create CTideStrategyBase in " + kContainerReader + " - code: \"1\""},
        {container, Image().i32(1).u32(0).u32(1).i32(3).source_base(1).i32(1).u32(0), 1,
         "Vok archive exception: Failed to create CTideSourceBase in " + kContainerReader + " - code: \"1\""},
        // An id range used up to INT_MAX leaves no fresh id for an entry without one.
        {container,
         Image().i32(1).u32(2).i32(-1).strategy_base("", INT_MAX).i32(1).i32(-1).strategy_base("", 0).i32(1).u32(0), 1,
         "Vok archive exception: Failed to add CTideStrategyBase in " + kContainerReader + " - code: \"1\""},
        // Cut short, and counts that the remaining bytes cannot hold.
        {container, Image().i32(1).u32(1).i32(-1).strategy_base("", 1), 7, outside},
        {container, Image().i32(1).u32(0xFFFFFFFF).i32(-1).strategy_base("", 1).i32(1), 7, outside},
        {container, Image().i32(1).u32(0).u32(2).i32(2).source_base(1).i32(1).u32(0), 7, outside},
        {container, Image().i32(1).u32(2).i32(0).strategy_base("", 1).i32(1).u32(0), 7, outside},  // before the first entry
        {container, least, 0, ""},  // a count the bytes just hold
        {strategy(TIDE_MODEL_GAUGE), Image().strategy_base("", 1).i32(2).i32(0).f32(0).b(0).f32(0).u32(0xFFFFFFFF), 7,
         outside},
    };
    for (size_t k = 0; k < rows.size(); ++k) {
        std::unique_ptr<Vok::ISerializable> object = rows[k].make();
        EXPECT_EQ(read_error(*object, rows[k].image.bytes), std::make_pair(rows[k].code, rows[k].what)) << "row " << k;
    }
    // A source-id count larger than the bytes left is refused before any id is taken.
    CTideStrategyGauge gauge;
    const Image three_claimed = Image().strategy_base("", 1).i32(2).i32(0).f32(0).b(0).f32(0).u32(3).u32(7).u32(8);
    EXPECT_EQ(read_error(gauge, three_claimed.bytes).first, 7);
    EXPECT_EQ(gauge.get_source_count(), 0u);

    // An archive whose error returns instead of throwing: the reader stops at the refused version.
    struct QuietArchive : ByteVectorArchive {
        using ByteVectorArchive::ByteVectorArchive;
        void ThrowError(int32_t, const std::string&) override { ++errors; }
        int errors = 0;
    };
    ByteVector refused = Image().i32(2).str("name").u32(5).i32(1).bytes;
    QuietArchive quiet(refused);
    CTideStrategyDisabled disabled;
    disabled.serialize_from(quiet);
    EXPECT_EQ(quiet.errors, 1);
    EXPECT_EQ(disabled.get_id(), 0);
    EXPECT_EQ(disabled.get_name(), "");
    EXPECT_EQ(quiet.Remaining(), refused.size() - 4);
    // A container stops at an entry it cannot create, and keeps what it held.
    ByteVector unknown = Image().i32(1).u32(1).bytes;  // a strategy of model 0, then zeros
    unknown.resize(28);
    QuietArchive quiet_container(unknown);
    CTideSettingsContainer kept = full_settings();
    kept.serialize_from(quiet_container);
    EXPECT_EQ(quiet_container.errors, 1);
    EXPECT_TRUE(kept == full_settings());

    // Every reader starts from the defaults: a refused or cut record keeps nothing that was there.
    CTideSourceFile used;
    used.set_node_id(7);
    used.set_file_path("x");
    EXPECT_EQ(read_error(used, Image().source_base(1).i32(2).bytes).first, 7);
    EXPECT_EQ(used.get_node_id(), 0u);
    EXPECT_EQ(used.get_file_path(), "");
    CTideSourceClipping clipping;
    read(clipping, Image().i32(0).b(true).f64(-1.0).f64(1.0).bytes);
    EXPECT_TRUE(clipping != CTideSourceClipping());
    EXPECT_EQ(read_error(clipping, Image().i32(0).b(false).bytes).first, 7);
    EXPECT_TRUE(clipping == CTideSourceClipping());
    CTideSourceFiltering filtering;
    read(filtering, Image().i32(2).b(true).i32(5).f64(0.75).bytes);
    EXPECT_TRUE(filtering != CTideSourceFiltering());
    EXPECT_EQ(read_error(filtering, Image().i32(2).b(false).bytes).first, 7);
    EXPECT_TRUE(filtering == CTideSourceFiltering());
}

// A failed read leaves the container as it was; a good one replaces its contents.
TEST(TideSettingsFormat, ContainerReadIsAllOrNothing) {
    const CTideSettingsContainer before = full_settings();
    const ByteVector image = written(before);
    for (size_t cut = 0; cut < image.size(); ++cut) {
        CTideSettingsContainer c = full_settings();
        EXPECT_EQ(read_error(c, ByteVector(image.begin(), image.begin() + static_cast<long>(cut))).first, 7) << cut;
        EXPECT_TRUE(c == before) << cut;
    }
    CTideSettingsContainer other;
    other.get_strategies().add(make<CTideStrategyMWLM>(40));
    read(other, image);
    EXPECT_TRUE(other == before);
    EXPECT_EQ(written(other), image);
}

TEST(TideSettingsFormat, MissingAndRepeatedIdsGetFreshOnes) {
    Image image;
    image.i32(1).u32(4);
    for (const uint32_t id : {5u, 5u, 0u, 2u}) image.i32(TIDE_MODEL_DISABLED).strategy_base("", id).i32(1);
    image.u32(3);
    for (const uint32_t id : {0u, 2u, 2u}) image.i32(TIDE_SOURCE_OBSERVATION).source_base(id).i32(1).u32(9);
    CTideSettingsContainer c;
    read(c, image.bytes);
    std::vector<int32_t> strategy_ids, source_ids;
    for (const auto& s : c.get_strategies()) strategy_ids.push_back(s->get_id());
    for (const auto& s : c.get_sources()) source_ids.push_back(s->get_id());
    EXPECT_EQ(strategy_ids, (std::vector<int32_t>{5, 6, 7, 2}));
    EXPECT_EQ(source_ids, (std::vector<int32_t>{1, 2, 3}));
}

TEST(TideIdKeyedList, AddKeepsIdsUniqueAndNeverZero) {
    struct Row {
        std::vector<int32_t> held;
        int32_t added;
        int32_t expected;  // 0: refused
    };
    const Row rows[] = {
        {{}, 0, 1},          {{1}, 1, 2},          {{4, 2}, 0, 5},  {{4, 2}, 7, 7},
        {{4, 2}, 2, 5},      {{-5}, 0, 1},         {{-5}, -5, 1},   {{INT_MAX}, 3, 3},
        {{INT_MAX}, 0, 0},   {{1, INT_MAX}, 1, 0}, {{}, INT_MAX, INT_MAX},
    };
    for (const Row& row : rows) {
        CTideStrategyList list;
        for (const int32_t id : row.held) list.add(make<CTideStrategyMWLM>(id));
        EXPECT_EQ(list.add(make<CTideStrategyDisabled>(row.added)), row.expected) << row.added;
        EXPECT_EQ(list.size(), row.held.size() + (row.expected != 0 ? 1 : 0));
        for (const int32_t id : row.held) EXPECT_EQ(list.find_by_id(id)->get_model(), TIDE_MODEL_MWLM);
        if (row.expected != 0) {
            EXPECT_EQ(list.find_by_id(row.expected)->get_model(), TIDE_MODEL_DISABLED);
        }
    }
    CTideSourceList sources;
    EXPECT_EQ(sources.add(nullptr), 0);
    EXPECT_TRUE(sources.empty());
}

TEST(TideSettingsCompare, EqualityCopiesAndSameSource) {
    const CTideSettingsContainer full = full_settings();
    CTideSettingsContainer reversed;
    for (auto it = full.get_strategies().end(); it != full.get_strategies().begin();)
        reversed.get_strategies().add((*--it)->clone());
    for (auto it = full.get_sources().end(); it != full.get_sources().begin();) reversed.get_sources().add((*--it)->clone());
    EXPECT_TRUE(reversed == full);
    EXPECT_FALSE(reversed != full);

    CTideSettingsContainer renumbered = full;
    renumbered.get_strategies().find_by_id(5)->set_id(50);
    EXPECT_TRUE(renumbered != full);
    CTideSettingsContainer self = full;
    self = self;
    EXPECT_TRUE(self == full);
    EXPECT_EQ(self.get_strategies().size(), 6u);

    // One change each makes a strategy unequal to its clone.
    struct sChange {
        const char* what;
        int32_t strategy;
        std::function<void(CTideStrategyBase&)> change;
    };
    const std::vector<sChange> changes = {
        {"name", 1, [](CTideStrategyBase& s) { s.set_name("Closest "); }},
        {"id", 1, [](CTideStrategyBase& s) { s.set_id(9); }},
        {"closest value", 1, [](CTideStrategyBase& s) { dynamic_cast<CTideStrategyClosest&>(s).set_closest_value(5); }},
        {"source order", 1,
         [](CTideStrategyBase& s) {
             auto& c = dynamic_cast<CTideStrategyClosest&>(s);
             c.clear_source_ids();
             c.add_source_id(2);
             c.add_source_id(1);
         }},
        {"NaN interval", 1,
         [](CTideStrategyBase& s) { dynamic_cast<CTideStrategyClosest&>(s).set_update_interval(NAN); }},
        {"gauge reference value", 3,
         [](CTideStrategyBase& s) { dynamic_cast<CTideStrategyGauge&>(s).set_reference_value(0.5f); }},
        {"computed count", 4,
         [](CTideStrategyBase& s) { dynamic_cast<CTideStrategyComputed&>(s).set_computed_count(6); }},
    };
    for (const auto& [what, id, change] : changes) {
        const CTideStrategyBase& original = *full.get_strategies().find_by_id(id);
        std::unique_ptr<CTideStrategyBase> copy = original.clone();
        EXPECT_TRUE(*copy == original) << what;
        change(*copy);
        EXPECT_TRUE(*copy != original) << what;
        if (std::string(what) == "NaN interval") {
            EXPECT_TRUE(*copy != *copy->clone());
        }
    }
    // A reset through a base puts that base's fields back to their defaults.
    std::unique_ptr<CTideStrategyBase> reset = full.get_strategies().find_by_id(1)->clone();
    reset->reset();
    EXPECT_EQ(reset->get_id(), 0);
    EXPECT_EQ(reset->get_name(), "");
    EXPECT_EQ(dynamic_cast<CTideStrategyClosest&>(*reset).get_closest_value(), 4u);
    static_cast<CTideStrategyWithSources&>(dynamic_cast<CTideStrategyClosest&>(*reset)).reset();
    EXPECT_EQ(dynamic_cast<CTideStrategyClosest&>(*reset).get_source_count(), 0u);

    CTideStrategyMWLM other_model;
    other_model.set_id(5);
    EXPECT_FALSE(*full.get_strategies().find_by_id(5) == other_model);

    CTideSourceFile a, b;
    a.set_id(1);
    a.set_node_id(7);
    b.set_id(2);
    b.set_node_id(7);
    CTideSourceObservation observation;
    observation.set_id(1);
    EXPECT_TRUE(a.is_same_source(b));
    EXPECT_FALSE(a == b);
    const CTideSourceBase& base_a = a;
    const CTideSourceBase& base_observation = observation;
    EXPECT_FALSE(base_a == base_observation || base_observation == base_a || a.is_same_source(observation));
    b.set_file_path("x");
    EXPECT_FALSE(a.is_same_source(b));
    CTideSourceObservation other_observation;
    other_observation.set_id(1);
    other_observation.set_observation_id(13);
    EXPECT_FALSE(observation.is_same_source(other_observation));
    EXPECT_FALSE(observation.is_same_source(a));
    other_observation.set_id(2);
    other_observation.set_observation_id(0);
    EXPECT_TRUE(observation.is_same_source(other_observation));
}

TEST(TideSettingsLists, FindsAndSourceIdEdits) {
    CTideSettingsContainer c = full_settings();
    CTideStrategyList& strategies = c.get_strategies();
    const CTideSourceList& sources = c.get_sources();
    EXPECT_EQ(strategies.find_using_model(TIDE_MODEL_GAUGE)->get_id(), 3);
    EXPECT_EQ(strategies.find_using_model(TIDE_MODEL_MWLM)->get_id(), 6);
    strategies.clear();
    EXPECT_EQ(strategies.find_using_model(TIDE_MODEL_GAUGE), nullptr);
    EXPECT_EQ(sources.find_using_node(7)->get_id(), 1);
    EXPECT_EQ(sources.find_using_node(12), nullptr);
    EXPECT_EQ(sources.find_using_observation(12)->get_id(), 2);
    EXPECT_EQ(sources.find_using_observation(7), nullptr);
    CTideSourceFile same;
    same.set_node_id(7);
    same.set_file_path("/data/tide.txt");
    EXPECT_EQ(sources.find_same_source(same)->get_id(), 1);
    same.set_node_id(8);
    EXPECT_EQ(sources.find_same_source(same), nullptr);

    c = full_settings();
    auto& closest = dynamic_cast<CTideStrategyClosest&>(*strategies.find_by_id(1));
    closest.add_source_id(2);  // now 1, 2, 2; the File strategy holds 2 once
    EXPECT_EQ(closest.get_source_id(2), 2u);
    EXPECT_EQ(closest.get_source_id(3), 0u);
    EXPECT_TRUE(strategies.remove_source_id(2));
    EXPECT_EQ(closest.get_source_ids(), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(closest.get_source_id(2), 0u);  // the removed id still lies behind the last one
    EXPECT_EQ(dynamic_cast<CTideStrategyFile&>(*strategies.find_by_id(2)).get_source_count(), 0u);
    const CTideSettingsContainer before = c;
    EXPECT_FALSE(strategies.remove_source_id(99));
    EXPECT_TRUE(c == before);

    dynamic_cast<CTideStrategyFile&>(*strategies.find_by_id(2)).set_reference_id(4);
    strategies.reset_reference_ids();
    EXPECT_EQ(closest.get_reference_id(), -1);
    EXPECT_EQ(dynamic_cast<CTideStrategyFile&>(*strategies.find_by_id(2)).get_reference_id(), -1);
    EXPECT_EQ(dynamic_cast<CTideStrategyComputed&>(*strategies.find_by_id(4)).get_reference_id(), -1);
    EXPECT_TRUE(*strategies.find_by_id(5) == *before.get_strategies().find_by_id(5));
    EXPECT_TRUE(*strategies.find_by_id(6) == *before.get_strategies().find_by_id(6));
}

TEST(TideSettingsPrint, SourceLines) {
    CTideSourceFile file;
    file.set_id(4);
    file.set_node_id(7);
    std::ostringstream out;
    file.print(out);
    EXPECT_EQ(out.str(), "===================\nCTideSourceBase\n_id: 4\nCTideSourceFile\n_node_id: 7\n_file_path: \n");
    CTideSourceObservation observation;
    observation.set_id(-1);
    observation.set_observation_id(3000000000u);
    std::ostringstream obs;
    observation.print(obs);
    EXPECT_EQ(obs.str(),
              "===================\nCTideSourceBase\n_id: 4294967295\nCTideSourceObservation\n_observation_id: 3000000000\n");
}

}  // namespace
