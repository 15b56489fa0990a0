// Arbitrary bytes as a tide settings image, read into a container that already holds settings. A
// read that fails leaves the container exactly as it was; one that succeeds gives a container
// with unique non-zero ids whose image reads back into the same image.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "definitions/tide/tide_settings.h"
#include "foundation/archive.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace Vok::Tides;
using Vok::ByteVector;
using Vok::ByteVectorArchive;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

ByteVector Image(const CTideSettingsContainer& c) {
    ByteVector bytes;
    ByteVectorArchive out(bytes);
    c.serialize_to(out, 0);
    return bytes;
}

// One strategy of each kind and both sources, ids 1 up.
CTideSettingsContainer Sample() {
    CTideSettingsContainer c;
    for (const int32_t model : {2, -2, 1, -3, -1, -9}) {
        auto s = create_tide_strategy(model);
        s->set_name("strategy " + std::to_string(model));
        if (auto* with_sources = dynamic_cast<CTideStrategyWithSources*>(s.get())) {
            with_sources->add_source_id(1);
            with_sources->add_source_id(2);
        }
        c.get_strategies().add(std::move(s));
    }
    auto file = std::make_unique<CTideSourceFile>();
    file->set_node_id(3);
    file->set_file_path("tide.txt");
    c.get_sources().add(std::move(file));
    auto observation = std::make_unique<CTideSourceObservation>();
    observation->set_observation_id(4);
    c.get_sources().add(std::move(observation));
    return c;
}

template <typename List>
bool IdsUnique(const List& list) {
    std::set<int32_t> ids;
    for (const auto& e : list)
        if (e->get_id() == 0 || !ids.insert(e->get_id()).second) return false;
    return true;
}

}  // namespace

// Seeds: the sample, the empty image, and a version 1 Gauge and observation source.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    const ByteVector sample = Image(Sample());
    Vok::Fuzz::WriteSeed("sample", sample.data(), sample.size());
    const ByteVector empty = Image(CTideSettingsContainer());
    Vok::Fuzz::WriteSeed("empty", empty.data(), empty.size());
    // A Gauge without an id whose source ids repeat, then an observation source without an id.
    Vok::Fuzz::CInputWriter old;
    for (const uint32_t v : {1u, 1u, 1u, 1u, 1u}) old.U32(v);  // container, one strategy: Gauge, base v1, name
    old.Bytes("G", 1);
    for (const uint32_t v : {0u, 1u, 5u, 0u, 0u, 7u}) old.U32(v);  // id 0; record v1, reference, 2 discarded
    old.U8(1);
    old.U32(0);  // interval 0.0
    for (int pair = 0; pair < 3; ++pair) {
        old.U8(0);
        old.U32(0);
    }
    for (const uint32_t v : {2u, 1u, 1u, 1u, 1u, 1u, 0u, 1u, 9u}) old.U32(v);  // ids 1, 1; one v1 source
    Vok::Fuzz::WriteSeed("version-1", old.Get().data(), old.Get().size());
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteVector input(data, static_cast<uint32_t>(size));
    CTideSettingsContainer c = Sample();
    const ByteVector before = Image(c);
    ByteVectorArchive in(input);
    try {
        c.serialize_from(in);
    } catch (const Vok::IArchiveException& e) {
        Check(e.code() == 7 || e.code() == 1);
        Check(Image(c) == before);
        return 0;
    }
    Check(IdsUnique(c.get_strategies()) && IdsUnique(c.get_sources()));
    for (const auto& s : c.get_strategies()) Check(s->clone()->get_model() == s->get_model());
    const ByteVector image = Image(c);
    CTideSettingsContainer again = Sample();
    ByteVectorArchive back(const_cast<ByteVector&>(image));
    again.serialize_from(back);
    Check(back.Remaining() == 0);
    Check(Image(again) == image);
    return 0;
}
