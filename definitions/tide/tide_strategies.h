// Tide strategies: the ways a project obtains its tide (a gauge, a tide file, the closest of several
// sources, a computed tide, mean water level, or none). Each kind writes its record into an
// archive and reads it back, compares itself with another and clones itself.
//
// _reference_id (-1 for none), _reference_value, _closest_value and the _computed_* fields belong
// to the tide computation that uses a strategy: here they are only stored, copied and compared.
// Update intervals are in seconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/archive.h"

namespace Vok::Tides {

// Model codes as stored; 0 and -4..-8 name no strategy.
enum eTideModel : int32_t {
    TIDE_MODEL_MWLM = -9,
    TIDE_MODEL_COMPUTED = -3,
    TIDE_MODEL_FILE = -2,
    TIDE_MODEL_DISABLED = -1,
    TIDE_MODEL_GAUGE = 1,
    TIDE_MODEL_CLOSEST = 2,
};

class CTideStrategyBase : public ISerializable {
public:
    ~CTideStrategyBase() override = default;

    // The base record (version, name, id) that every kind writes and reads first.
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    void serialize_from(IArchive& archive) override;
    virtual eTideModel get_model() const = 0;
    // Equal ids, names, models and class, then the kind's fields; floats compare exactly, so a
    // NaN makes a strategy unequal even to itself.
    virtual bool operator==(const CTideStrategyBase& other) const = 0;
    bool operator!=(const CTideStrategyBase& other) const { return !(*this == other); }
    // A new object of the same class with every field copied, id, name and source ids included.
    virtual std::unique_ptr<CTideStrategyBase> clone() const = 0;

    int32_t get_id() const { return _id; }
    void set_id(int32_t id) { _id = id; }
    std::string get_name() const { return _name; }
    void set_name(std::string name) { _name = std::move(name); }
    void reset();

protected:
    CTideStrategyBase() = default;
    CTideStrategyBase(const CTideStrategyBase&) = default;
    CTideStrategyBase& operator=(const CTideStrategyBase&) = default;

    // Empties the name, sets the id to 0, then reads the base record; false when the archive
    // error was raised and returned, and the kind's reader must stop.
    bool read_base_record(IArchive& archive);

    // other as S when its id, name and model equal self's and it is of class S; null otherwise.
    template <typename S>
    static const S* same_kind(const S& self, const CTideStrategyBase& other) {
        const CTideStrategyBase& mine = self;
        if (mine._id != other._id || mine._name != other._name || self.get_model() != other.get_model())
            return nullptr;
        return dynamic_cast<const S*>(&other);
    }

private:
    int32_t _id = 0;  // 0: not yet assigned
    std::string _name;
};

// A strategy that takes its values from sources, named by their ids (plain numbers, in order; the
// same id may appear more than once).
class CTideStrategyWithSources : public CTideStrategyBase {
public:
    void add_source_id(uint32_t id) { _source_ids.push_back(id); }
    void clear_source_ids() { _source_ids.clear(); }
    bool has_source_id(uint32_t id) const;
    // 0 when the index is not below the count.
    uint32_t get_source_id(size_t index) const;
    // Removes the first occurrence; false when there is none.
    bool remove_source_id(uint32_t id);
    uint32_t get_source_count() const { return static_cast<uint32_t>(_source_ids.size()); }
    const std::vector<uint32_t>& get_source_ids() const { return _source_ids; }
    void reset();

protected:
    CTideStrategyWithSources() = default;
    CTideStrategyWithSources(const CTideStrategyWithSources&) = default;
    CTideStrategyWithSources& operator=(const CTideStrategyWithSources&) = default;

    // The count and the ids that end a Closest, File or Gauge record.
    void write_source_ids(IArchive& archive) const;
    void read_source_ids(IArchive& archive);
    bool same_source_ids(const CTideStrategyWithSources& other) const { return _source_ids == other._source_ids; }

private:
    std::vector<uint32_t> _source_ids;
};

// Removes the first occurrence of id; false when there is none.
bool remove_source_id(std::vector<uint32_t>& ids, uint32_t id);

// The reference and update-interval fields that Closest, File and Gauge share; only the default
// interval differs between them.
class CTideStrategyReferenced : public CTideStrategyWithSources {
public:
    int32_t get_reference_id() const { return _reference_id; }
    void set_reference_id(int32_t id) { _reference_id = id; }
    float get_reference_value() const { return _reference_value; }
    void set_reference_value(float value) { _reference_value = value; }
    bool get_use_update_interval() const { return _use_update_interval; }
    void set_use_update_interval(bool use) { _use_update_interval = use; }
    float get_update_interval() const { return _update_interval; }
    void set_update_interval(float seconds) { _update_interval = seconds; }

protected:
    explicit CTideStrategyReferenced(float default_interval) : _update_interval(default_interval) {}

private:
    int32_t _reference_id = -1;
    float _reference_value = 0.0f;
    bool _use_update_interval = false;
    float _update_interval;
};

class CTideStrategyClosest final : public CTideStrategyReferenced {
public:
    CTideStrategyClosest() : CTideStrategyReferenced(60.0f) {}
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    void serialize_from(IArchive& archive) override;
    eTideModel get_model() const override { return TIDE_MODEL_CLOSEST; }
    bool operator==(const CTideStrategyBase& other) const override;
    std::unique_ptr<CTideStrategyBase> clone() const override;
    void reset() { *this = CTideStrategyClosest(); }

    uint32_t get_closest_value() const { return _closest_value; }
    void set_closest_value(uint32_t value) { _closest_value = value; }

private:
    uint32_t _closest_value = 0;
};

class CTideStrategyFile final : public CTideStrategyReferenced {
public:
    CTideStrategyFile() : CTideStrategyReferenced(300.0f) {}
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    void serialize_from(IArchive& archive) override;
    eTideModel get_model() const override { return TIDE_MODEL_FILE; }
    bool operator==(const CTideStrategyBase& other) const override;
    std::unique_ptr<CTideStrategyBase> clone() const override;
    void reset() { *this = CTideStrategyFile(); }
};

class CTideStrategyGauge final : public CTideStrategyReferenced {
public:
    CTideStrategyGauge() : CTideStrategyReferenced(60.0f) {}
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    void serialize_from(IArchive& archive) override;
    eTideModel get_model() const override { return TIDE_MODEL_GAUGE; }
    bool operator==(const CTideStrategyBase& other) const override;
    std::unique_ptr<CTideStrategyBase> clone() const override;
    void reset() { *this = CTideStrategyGauge(); }
};

class CTideStrategyComputed final : public CTideStrategyBase {
public:
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    // A stored _computed_id of -2 reads as -1.
    void serialize_from(IArchive& archive) override;
    eTideModel get_model() const override { return TIDE_MODEL_COMPUTED; }
    bool operator==(const CTideStrategyBase& other) const override;
    std::unique_ptr<CTideStrategyBase> clone() const override;
    void reset() { *this = CTideStrategyComputed(); }

    int32_t get_reference_id() const { return _reference_id; }
    void set_reference_id(int32_t id) { _reference_id = id; }
    float get_reference_value() const { return _reference_value; }
    void set_reference_value(float value) { _reference_value = value; }
    float get_computed_value() const { return _computed_value; }
    void set_computed_value(float value) { _computed_value = value; }
    int32_t get_computed_count() const { return _computed_count; }
    void set_computed_count(int32_t count) { _computed_count = count; }
    bool get_use_update_interval() const { return _use_update_interval; }
    void set_use_update_interval(bool use) { _use_update_interval = use; }
    float get_update_interval() const { return _update_interval; }
    void set_update_interval(float seconds) { _update_interval = seconds; }
    int32_t get_computed_id() const { return _computed_id; }
    void set_computed_id(int32_t id) { _computed_id = id; }

private:
    int32_t _reference_id = -1;
    float _reference_value = 0.0f;
    float _computed_value = 10.0f;
    int32_t _computed_count = 1;
    bool _use_update_interval = false;
    float _update_interval = 60.0f;
    int32_t _computed_id = -1;
};

// No tide is applied.
class CTideStrategyDisabled final : public CTideStrategyBase {
public:
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    void serialize_from(IArchive& archive) override;
    eTideModel get_model() const override { return TIDE_MODEL_DISABLED; }
    bool operator==(const CTideStrategyBase& other) const override;
    std::unique_ptr<CTideStrategyBase> clone() const override;
    void reset() { *this = CTideStrategyDisabled(); }
};

// Mean water level.
class CTideStrategyMWLM final : public CTideStrategyBase {
public:
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    void serialize_from(IArchive& archive) override;
    eTideModel get_model() const override { return TIDE_MODEL_MWLM; }
    bool operator==(const CTideStrategyBase& other) const override;
    std::unique_ptr<CTideStrategyBase> clone() const override;
    void reset() { *this = CTideStrategyMWLM(); }
};

// A default strategy of the model; empty for a code that names none.
std::unique_ptr<CTideStrategyBase> create_tide_strategy(int32_t model);

// Holds for a strategy whose get_model is model.
std::function<bool(const std::unique_ptr<CTideStrategyBase>&)> uses_model(eTideModel model);

}  // namespace Vok::Tides
