#include "definitions/tide/tide_sources.h"

#include "definitions/tide/tide_archive.h"

namespace Vok::Tides {

namespace {

constexpr int32_t kBaseVersion = 1;
constexpr int32_t kFileVersion = 1;
// Version 2 added the clipping and filtering records.
constexpr int32_t kObservationVersion = 2;
constexpr int32_t kClippingVersion = 0;

}  // namespace

// --- Clipping and filtering ---------------------------------------------------------------------

void CTideSourceClipping::serialize_to(IArchive& archive, uint32_t) const {
    archive.WriteInt32(kClippingVersion);
    archive.WriteBool(_enabled);
    archive.WriteDouble(_lower);
    archive.WriteDouble(_upper);
}

void CTideSourceClipping::serialize_from(IArchive& archive) {
    reset();
    read_i32(archive);
    _enabled = read_bool(archive);
    _lower = read_f64(archive);
    _upper = read_f64(archive);
}

bool CTideSourceClipping::operator==(const CTideSourceClipping& other) const {
    return _enabled == other._enabled && _lower == other._lower && _upper == other._upper;
}

void CTideSourceFiltering::serialize_to(IArchive& archive, uint32_t owner_version) const {
    archive.WriteInt32(static_cast<int32_t>(owner_version));
    archive.WriteBool(_enabled);
    archive.WriteInt32(_integer_parameter);
    archive.WriteDouble(_real_parameter);
}

void CTideSourceFiltering::serialize_from(IArchive& archive) {
    reset();
    read_i32(archive);
    _enabled = read_bool(archive);
    _integer_parameter = read_i32(archive);
    _real_parameter = read_f64(archive);
}

bool CTideSourceFiltering::operator==(const CTideSourceFiltering& other) const {
    return _enabled == other._enabled && _integer_parameter == other._integer_parameter &&
           _real_parameter == other._real_parameter;
}

// --- CTideSourceBase ----------------------------------------------------------------------------

void CTideSourceBase::serialize_to(IArchive& archive, uint32_t) const {
    archive.WriteInt32(kBaseVersion);
    archive.WriteUInt32(static_cast<uint32_t>(_id));
}

void CTideSourceBase::serialize_from(IArchive& archive) { read_base_record(archive); }

bool CTideSourceBase::read_base_record(IArchive& archive) {
    _id = 0;
    int32_t version = 0;
    if (!read_record_version(archive, version, kBaseVersion, kBaseVersion,
                             "Vok::Tides::CTideSourceBase::serialize_from"))
        return false;
    _id = static_cast<int32_t>(read_u32(archive));
    return true;
}

void CTideSourceBase::print(std::ostream& out) const {
    out << "===================" << std::endl;
    out << "CTideSourceBase" << std::endl;
    out << "_id: " << static_cast<uint32_t>(_id) << std::endl;
}

// --- CTideSourceFile ----------------------------------------------------------------------------

void CTideSourceFile::serialize_to(IArchive& archive, uint32_t owner_version) const {
    CTideSourceBase::serialize_to(archive, owner_version);
    archive.WriteInt32(kFileVersion);
    archive.WriteUInt32(_node_id);
    archive.WriteString(_file_path);
}

void CTideSourceFile::serialize_from(IArchive& archive) {
    reset();
    int32_t version = 0;
    if (!read_base_record(archive) ||
        !read_record_version(archive, version, kFileVersion, kFileVersion,
                             "Vok::Tides::CTideSourceFile::serialize_from"))
        return;
    _node_id = read_u32(archive);
    archive.ReadString(_file_path);
}

bool CTideSourceFile::operator==(const CTideSourceBase& other) const {
    return get_id() == other.get_id() && other.get_type() == TIDE_SOURCE_FILE && is_same_source(other);
}

bool CTideSourceFile::is_same_source(const CTideSourceBase& other) const {
    const auto* o = dynamic_cast<const CTideSourceFile*>(&other);
    return o != nullptr && _node_id == o->_node_id && _file_path == o->_file_path;
}

std::unique_ptr<CTideSourceBase> CTideSourceFile::clone() const { return std::make_unique<CTideSourceFile>(*this); }

void CTideSourceFile::print(std::ostream& out) const {
    CTideSourceBase::print(out);
    out << "CTideSourceFile" << std::endl;
    out << "_node_id: " << _node_id << std::endl;
    out << "_file_path: " << _file_path << std::endl;
}

// --- CTideSourceObservation ---------------------------------------------------------------------

void CTideSourceObservation::serialize_to(IArchive& archive, uint32_t owner_version) const {
    CTideSourceBase::serialize_to(archive, owner_version);
    archive.WriteInt32(kObservationVersion);
    archive.WriteUInt32(_observation_id);
    _clipping.serialize_to(archive, kObservationVersion);
    _filtering.serialize_to(archive, kObservationVersion);
}

void CTideSourceObservation::serialize_from(IArchive& archive) {
    reset();
    int32_t version = 0;
    if (!read_base_record(archive) ||
        !read_record_version(archive, version, 1, kObservationVersion,
                             "Vok::Tides::CTideSourceObservation::serialize_from"))
        return;
    _observation_id = read_u32(archive);
    if (version < 2) return;
    _clipping.serialize_from(archive);
    _filtering.serialize_from(archive);
}

bool CTideSourceObservation::operator==(const CTideSourceBase& other) const {
    if (get_id() != other.get_id() || other.get_type() != TIDE_SOURCE_OBSERVATION) return false;
    const auto* o = dynamic_cast<const CTideSourceObservation*>(&other);
    return o != nullptr && _observation_id == o->_observation_id && _clipping == o->_clipping &&
           _filtering == o->_filtering;
}

bool CTideSourceObservation::is_same_source(const CTideSourceBase& other) const {
    const auto* o = dynamic_cast<const CTideSourceObservation*>(&other);
    return o != nullptr && _observation_id == o->_observation_id;
}

std::unique_ptr<CTideSourceBase> CTideSourceObservation::clone() const {
    return std::make_unique<CTideSourceObservation>(*this);
}

void CTideSourceObservation::print(std::ostream& out) const {
    CTideSourceBase::print(out);
    out << "CTideSourceObservation" << std::endl;
    out << "_observation_id: " << _observation_id << std::endl;
}

// --- Factory and predicates ---------------------------------------------------------------------

std::unique_ptr<CTideSourceBase> create_tide_source(int32_t type) {
    switch (type) {
        case TIDE_SOURCE_OBSERVATION: return std::make_unique<CTideSourceObservation>();
        case TIDE_SOURCE_FILE: return std::make_unique<CTideSourceFile>();
        default: return nullptr;
    }
}

CTideSourcePredicate is_same_source_as(const CTideSourceBase& source) {
    return [&source](const std::unique_ptr<CTideSourceBase>& s) { return s && source.is_same_source(*s); };
}

CTideSourcePredicate uses_node(uint32_t node_id) {
    return [node_id](const std::unique_ptr<CTideSourceBase>& s) {
        const auto* file = dynamic_cast<const CTideSourceFile*>(s.get());
        return file != nullptr && file->get_node_id() == node_id;
    };
}

CTideSourcePredicate uses_observation(uint32_t observation_id) {
    return [observation_id](const std::unique_ptr<CTideSourceBase>& s) {
        const auto* observation = dynamic_cast<const CTideSourceObservation*>(s.get());
        return observation != nullptr && observation->get_observation_id() == observation_id;
    };
}

}  // namespace Vok::Tides
