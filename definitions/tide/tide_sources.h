// Tide sources: where a strategy's tide values come from, either a tide observation (with its
// clipping and filtering settings) or a tide file attached to a node. Each kind writes its record
// into an archive and reads it back, compares itself, tells whether it is the same source as
// another, clones and prints itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "foundation/archive.h"

namespace Vok::Tides {

// Source type codes as stored.
enum eTideSourceType : int32_t {
    TIDE_SOURCE_OBSERVATION = 1,
    TIDE_SOURCE_FILE = 2,
};

// Limits outside which an observed tide value is refused.
class CTideSourceClipping : public ISerializable {
public:
    // The version word is written as 0 whatever the owner hands down, and ignored on reading.
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    void serialize_from(IArchive& archive) override;
    // Doubles compare exactly; a NaN equals nothing.
    bool operator==(const CTideSourceClipping& other) const;
    bool operator!=(const CTideSourceClipping& other) const { return !(*this == other); }
    void reset() { *this = CTideSourceClipping(); }

private:
    bool _enabled = false;
    double _lower = -10.0;
    double _upper = 10.0;
};

// Smoothing of the observed tide values. The two parameters belong to the filter of the tide
// computation; here they are only stored, copied and compared.
class CTideSourceFiltering : public ISerializable {
public:
    // The version word is the owner's version; it is ignored on reading.
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    void serialize_from(IArchive& archive) override;
    bool operator==(const CTideSourceFiltering& other) const;
    bool operator!=(const CTideSourceFiltering& other) const { return !(*this == other); }
    void reset() { *this = CTideSourceFiltering(); }

private:
    bool _enabled = false;
    int32_t _integer_parameter = 2;
    double _real_parameter = 0.2;
};

class CTideSourceBase : public ISerializable {
public:
    ~CTideSourceBase() override = default;

    // The base record (version, id) that every kind writes and reads first.
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    void serialize_from(IArchive& archive) override;
    virtual eTideSourceType get_type() const = 0;
    virtual bool operator==(const CTideSourceBase& other) const = 0;
    bool operator!=(const CTideSourceBase& other) const { return !(*this == other); }
    // Whether other delivers the same values (its id plays no part).
    virtual bool is_same_source(const CTideSourceBase& other) const = 0;
    virtual std::unique_ptr<CTideSourceBase> clone() const = 0;
    // Debugging lines, each ended with std::endl.
    virtual void print(std::ostream& out) const;

    int32_t get_id() const { return _id; }
    void set_id(int32_t id) { _id = id; }
    void reset() { _id = 0; }

protected:
    CTideSourceBase() = default;
    CTideSourceBase(const CTideSourceBase&) = default;
    CTideSourceBase& operator=(const CTideSourceBase&) = default;

    // Sets the id to 0, then reads the base record; false when the archive error was raised and
    // returned, and the kind's reader must stop.
    bool read_base_record(IArchive& archive);

private:
    int32_t _id = 0;  // 0: not yet assigned
};

class CTideSourceFile final : public CTideSourceBase {
public:
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    void serialize_from(IArchive& archive) override;
    eTideSourceType get_type() const override { return TIDE_SOURCE_FILE; }
    bool operator==(const CTideSourceBase& other) const override;
    // Another file source with the same node and path.
    bool is_same_source(const CTideSourceBase& other) const override;
    std::unique_ptr<CTideSourceBase> clone() const override;
    void print(std::ostream& out) const override;
    void reset() { *this = CTideSourceFile(); }

    uint32_t get_node_id() const { return _node_id; }
    void set_node_id(uint32_t id) { _node_id = id; }
    const std::string& get_file_path() const { return _file_path; }
    void set_file_path(std::string path) { _file_path = std::move(path); }

private:
    uint32_t _node_id = 0;
    std::string _file_path;
};

class CTideSourceObservation final : public CTideSourceBase {
public:
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    // A version 1 record ends after the observation id; clipping and filtering keep their defaults.
    void serialize_from(IArchive& archive) override;
    eTideSourceType get_type() const override { return TIDE_SOURCE_OBSERVATION; }
    bool operator==(const CTideSourceBase& other) const override;
    // Another observation source of the same observation.
    bool is_same_source(const CTideSourceBase& other) const override;
    std::unique_ptr<CTideSourceBase> clone() const override;
    void print(std::ostream& out) const override;
    void reset() { *this = CTideSourceObservation(); }

    uint32_t get_observation_id() const { return _observation_id; }
    void set_observation_id(uint32_t id) { _observation_id = id; }

private:
    uint32_t _observation_id = 0;
    CTideSourceClipping _clipping;
    CTideSourceFiltering _filtering;
};

// A default source of the type; empty for a code that names none.
std::unique_ptr<CTideSourceBase> create_tide_source(int32_t type);

using CTideSourcePredicate = std::function<bool(const std::unique_ptr<CTideSourceBase>&)>;
// Holds for a candidate that source (which must outlive the predicate) calls the same source.
CTideSourcePredicate is_same_source_as(const CTideSourceBase& source);
// Holds for a file source of the node.
CTideSourcePredicate uses_node(uint32_t node_id);
// Holds for an observation source of the observation.
CTideSourcePredicate uses_observation(uint32_t observation_id);

}  // namespace Vok::Tides
