#include "definitions/tide/tide_strategies.h"

#include <algorithm>

#include "definitions/tide/tide_archive.h"

namespace Vok::Tides {

namespace {

constexpr int32_t kBaseVersion = 1;
// Closest, File and Gauge write version 2 and still read version 1, which carries 23 bytes of
// fields that are no longer used.
constexpr int32_t kReferencedVersion = 2;
constexpr int32_t kComputedVersion = 1;
constexpr int32_t kPlainVersion = 1;
// A stored computed id of -2 is an old way of saying none.
constexpr int32_t kOldNoComputedId = -2;

// The fields that Closest, File and Gauge records share, after the base record.
template <typename S>
void write_referenced(const S& s, IArchive& archive) {
    archive.WriteInt32(kReferencedVersion);
    archive.WriteInt32(s.get_reference_id());
    archive.WriteFloat(s.get_reference_value());
    archive.WriteBool(s.get_use_update_interval());
    archive.WriteFloat(s.get_update_interval());
}

// False when the archive error was raised and returned.
template <typename S>
bool read_referenced(S& s, IArchive& archive, const char* reader) {
    int32_t version = 0;
    if (!read_record_version(archive, version, 1, kReferencedVersion, reader)) return false;
    s.set_reference_id(read_i32(archive));
    s.set_reference_value(read_f32(archive));
    if (version == 1) {
        read_f32(archive);
        read_i32(archive);
    }
    s.set_use_update_interval(read_bool(archive));
    s.set_update_interval(read_f32(archive));
    if (version == 1) {
        for (int pair = 0; pair < 3; ++pair) {
            read_bool(archive);
            read_f32(archive);
        }
    }
    return true;
}

template <typename S>
bool same_referenced(const S& a, const S& b) {
    return a.get_reference_id() == b.get_reference_id() && a.get_reference_value() == b.get_reference_value() &&
           a.get_use_update_interval() == b.get_use_update_interval() &&
           a.get_update_interval() == b.get_update_interval();
}

}  // namespace

// --- CTideStrategyBase --------------------------------------------------------------------------

void CTideStrategyBase::serialize_to(IArchive& archive, uint32_t) const {
    archive.WriteInt32(kBaseVersion);
    archive.WriteString(_name);
    archive.WriteUInt32(static_cast<uint32_t>(_id));
}

void CTideStrategyBase::serialize_from(IArchive& archive) { read_base_record(archive); }

bool CTideStrategyBase::read_base_record(IArchive& archive) {
    _name.clear();
    _id = 0;
    int32_t version = 0;
    if (!read_record_version(archive, version, kBaseVersion, kBaseVersion,
                             "Vok::Tides::CTideStrategyBase::serialize_from"))
        return false;
    archive.ReadString(_name);
    _id = static_cast<int32_t>(read_u32(archive));
    return true;
}

void CTideStrategyBase::reset() {
    _id = 0;
    _name.clear();
}

// --- CTideStrategyWithSources -------------------------------------------------------------------

bool CTideStrategyWithSources::has_source_id(uint32_t id) const {
    return std::find(_source_ids.begin(), _source_ids.end(), id) != _source_ids.end();
}

uint32_t CTideStrategyWithSources::get_source_id(size_t index) const {
    return index < _source_ids.size() ? _source_ids[index] : 0;
}

bool CTideStrategyWithSources::remove_source_id(uint32_t id) { return Tides::remove_source_id(_source_ids, id); }

void CTideStrategyWithSources::reset() {
    CTideStrategyBase::reset();
    _source_ids.clear();
}

void CTideStrategyWithSources::write_source_ids(IArchive& archive) const {
    archive.WriteUInt32(static_cast<uint32_t>(_source_ids.size()));
    for (const uint32_t id : _source_ids) archive.WriteUInt32(id);
}

void CTideStrategyWithSources::read_source_ids(IArchive& archive) {
    const uint32_t count = read_u32(archive);
    if (!count_fits(archive, count, sizeof(uint32_t))) return;
    if (dynamic_cast<const ByteVectorArchive*>(&archive) != nullptr) _source_ids.reserve(count);
    for (uint32_t k = 0; k < count; ++k) _source_ids.push_back(read_u32(archive));
}

bool remove_source_id(std::vector<uint32_t>& ids, uint32_t id) {
    const auto it = std::find(ids.begin(), ids.end(), id);
    if (it == ids.end()) return false;
    ids.erase(it);
    return true;
}

// --- Closest, File, Gauge -----------------------------------------------------------------------

void CTideStrategyClosest::serialize_to(IArchive& archive, uint32_t owner_version) const {
    CTideStrategyBase::serialize_to(archive, owner_version);
    write_referenced(*this, archive);
    archive.WriteUInt32(_closest_value);
    write_source_ids(archive);
}

void CTideStrategyClosest::serialize_from(IArchive& archive) {
    reset();
    if (!read_base_record(archive) ||
        !read_referenced(*this, archive, "Vok::Tides::CTideStrategyClosest::serialize_from"))
        return;
    _closest_value = read_u32(archive);
    read_source_ids(archive);
}

bool CTideStrategyClosest::operator==(const CTideStrategyBase& other) const {
    const auto* o = same_kind(*this, other);
    return o != nullptr && same_referenced(*this, *o) && _closest_value == o->_closest_value && same_source_ids(*o);
}

std::unique_ptr<CTideStrategyBase> CTideStrategyClosest::clone() const {
    return std::make_unique<CTideStrategyClosest>(*this);
}

void CTideStrategyFile::serialize_to(IArchive& archive, uint32_t owner_version) const {
    CTideStrategyBase::serialize_to(archive, owner_version);
    write_referenced(*this, archive);
    write_source_ids(archive);
}

void CTideStrategyFile::serialize_from(IArchive& archive) {
    reset();
    if (!read_base_record(archive) ||
        !read_referenced(*this, archive, "Vok::Tides::CTideStrategyFile::serialize_from"))
        return;
    read_source_ids(archive);
}

bool CTideStrategyFile::operator==(const CTideStrategyBase& other) const {
    const auto* o = same_kind(*this, other);
    return o != nullptr && same_referenced(*this, *o) && same_source_ids(*o);
}

std::unique_ptr<CTideStrategyBase> CTideStrategyFile::clone() const {
    return std::make_unique<CTideStrategyFile>(*this);
}

void CTideStrategyGauge::serialize_to(IArchive& archive, uint32_t owner_version) const {
    CTideStrategyBase::serialize_to(archive, owner_version);
    write_referenced(*this, archive);
    write_source_ids(archive);
}

void CTideStrategyGauge::serialize_from(IArchive& archive) {
    reset();
    if (!read_base_record(archive) ||
        !read_referenced(*this, archive, "Vok::Tides::CTideStrategyGauge::serialize_from"))
        return;
    read_source_ids(archive);
}

bool CTideStrategyGauge::operator==(const CTideStrategyBase& other) const {
    const auto* o = same_kind(*this, other);
    return o != nullptr && same_referenced(*this, *o) && same_source_ids(*o);
}

std::unique_ptr<CTideStrategyBase> CTideStrategyGauge::clone() const {
    return std::make_unique<CTideStrategyGauge>(*this);
}

// --- Computed -----------------------------------------------------------------------------------

void CTideStrategyComputed::serialize_to(IArchive& archive, uint32_t owner_version) const {
    CTideStrategyBase::serialize_to(archive, owner_version);
    archive.WriteInt32(kComputedVersion);
    archive.WriteInt32(_reference_id);
    archive.WriteFloat(_reference_value);
    archive.WriteFloat(_computed_value);
    archive.WriteInt32(_computed_count);
    archive.WriteBool(_use_update_interval);
    archive.WriteFloat(_update_interval);
    archive.WriteInt32(_computed_id);
}

void CTideStrategyComputed::serialize_from(IArchive& archive) {
    reset();
    int32_t version = 0;
    if (!read_base_record(archive) ||
        !read_record_version(archive, version, kComputedVersion, kComputedVersion,
                             "Vok::Tides::CTideStrategyComputed::serialize_from"))
        return;
    _reference_id = read_i32(archive);
    _reference_value = read_f32(archive);
    _computed_value = read_f32(archive);
    _computed_count = read_i32(archive);
    _use_update_interval = read_bool(archive);
    _update_interval = read_f32(archive);
    _computed_id = read_i32(archive);
    if (_computed_id == kOldNoComputedId) _computed_id = -1;
}

bool CTideStrategyComputed::operator==(const CTideStrategyBase& other) const {
    const auto* o = same_kind(*this, other);
    return o != nullptr && _reference_id == o->_reference_id && _reference_value == o->_reference_value &&
           _computed_value == o->_computed_value && _computed_count == o->_computed_count &&
           _use_update_interval == o->_use_update_interval && _update_interval == o->_update_interval &&
           _computed_id == o->_computed_id;
}

std::unique_ptr<CTideStrategyBase> CTideStrategyComputed::clone() const {
    return std::make_unique<CTideStrategyComputed>(*this);
}

// --- Disabled, MWLM -----------------------------------------------------------------------------

void CTideStrategyDisabled::serialize_to(IArchive& archive, uint32_t owner_version) const {
    CTideStrategyBase::serialize_to(archive, owner_version);
    archive.WriteInt32(kPlainVersion);
}

void CTideStrategyDisabled::serialize_from(IArchive& archive) {
    reset();
    int32_t version = 0;
    if (read_base_record(archive))
        read_record_version(archive, version, kPlainVersion, kPlainVersion,
                            "Vok::Tides::CTideStrategyDisabled::serialize_from");
}

bool CTideStrategyDisabled::operator==(const CTideStrategyBase& other) const {
    return same_kind(*this, other) != nullptr;
}

std::unique_ptr<CTideStrategyBase> CTideStrategyDisabled::clone() const {
    return std::make_unique<CTideStrategyDisabled>(*this);
}

void CTideStrategyMWLM::serialize_to(IArchive& archive, uint32_t owner_version) const {
    CTideStrategyBase::serialize_to(archive, owner_version);
    archive.WriteInt32(kPlainVersion);
}

void CTideStrategyMWLM::serialize_from(IArchive& archive) {
    reset();
    int32_t version = 0;
    if (read_base_record(archive))
        read_record_version(archive, version, kPlainVersion, kPlainVersion,
                            "Vok::Tides::CTideStrategyMWLM::serialize_from");
}

bool CTideStrategyMWLM::operator==(const CTideStrategyBase& other) const { return same_kind(*this, other) != nullptr; }

std::unique_ptr<CTideStrategyBase> CTideStrategyMWLM::clone() const {
    return std::make_unique<CTideStrategyMWLM>(*this);
}

// --- Factory and predicate ----------------------------------------------------------------------

std::unique_ptr<CTideStrategyBase> create_tide_strategy(int32_t model) {
    switch (model) {
        case TIDE_MODEL_MWLM: return std::make_unique<CTideStrategyMWLM>();
        case TIDE_MODEL_COMPUTED: return std::make_unique<CTideStrategyComputed>();
        case TIDE_MODEL_FILE: return std::make_unique<CTideStrategyFile>();
        case TIDE_MODEL_DISABLED: return std::make_unique<CTideStrategyDisabled>();
        case TIDE_MODEL_GAUGE: return std::make_unique<CTideStrategyGauge>();
        case TIDE_MODEL_CLOSEST: return std::make_unique<CTideStrategyClosest>();
        default: return nullptr;
    }
}

std::function<bool(const std::unique_ptr<CTideStrategyBase>&)> uses_model(eTideModel model) {
    return [model](const std::unique_ptr<CTideStrategyBase>& s) { return s && s->get_model() == model; };
}

}  // namespace Vok::Tides
