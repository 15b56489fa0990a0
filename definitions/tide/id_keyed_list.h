// An owning list of polymorphic elements in insertion order, each known by an i32 id that the list
// keeps unique: an element that arrives without an id, or with one already taken, gets a fresh id.
// T provides get_id, set_id, operator!= (with T) and, for copies, clone.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace Vok {

template <typename T>
class CUniquePtrWithIdContainer {
public:
    using Element = std::unique_ptr<T>;
    using Elements = std::vector<Element>;
    using Predicate = std::function<bool(const Element&)>;

    CUniquePtrWithIdContainer() = default;
    CUniquePtrWithIdContainer(CUniquePtrWithIdContainer&&) noexcept = default;
    CUniquePtrWithIdContainer& operator=(CUniquePtrWithIdContainer&&) noexcept = default;
    virtual ~CUniquePtrWithIdContainer() = default;

    // Takes the element, gives it a fresh id when its own is 0 or already held, appends it and
    // returns the id it ends with. Returns 0 and keeps nothing when the element is null or no
    // fresh id is left (the element is then destroyed).
    int32_t add(Element element) {
        if (!element) return 0;
        int32_t id = element->get_id();
        if (id == 0 || find_by_id(id) != nullptr) {
            id = get_fresh_id();
            if (id == 0) return 0;
            element->set_id(id);
        }
        _elements.push_back(std::move(element));
        return id;
    }

    // One more than the largest id held, at least 1; 0 when the largest is INT_MAX. So the id is
    // never 0 and never one that an element holds, and ids stay in the order they were given.
    virtual int32_t get_fresh_id() const {
        int32_t largest = 0;
        for (const Element& e : _elements) largest = std::max(largest, e->get_id());
        return largest == INT_MAX ? 0 : largest + 1;
    }

    T* find_by_id(int32_t id) const { return find_if(has_id(static_cast<uint32_t>(id))); }
    // The first element for which the predicate holds; null when none.
    T* find_if(const Predicate& predicate) const {
        const auto it = std::find_if(_elements.begin(), _elements.end(), predicate);
        return it == _elements.end() ? nullptr : it->get();
    }

    size_t size() const { return _elements.size(); }
    bool empty() const { return _elements.empty(); }
    // Destroys every element.
    void clear() { _elements.clear(); }
    void swap(CUniquePtrWithIdContainer& other) noexcept { _elements.swap(other._elements); }
    // Becomes clones (T::clone) of other's elements in their order, ids as they are. The clones
    // are made first, so a list assigned its own elements keeps them.
    void assign_clones(const CUniquePtrWithIdContainer& other) {
        Elements clones;
        clones.reserve(other._elements.size());
        for (const Element& e : other._elements) clones.push_back(e->clone());
        _elements = std::move(clones);
    }
    auto begin() const { return _elements.cbegin(); }
    auto end() const { return _elements.cend(); }

    // The same number of elements and, for each element here, the first one there with its id
    // equal to it: order does not matter, ids do.
    bool operator==(const CUniquePtrWithIdContainer& other) const {
        if (size() != other.size()) return false;
        for (const Element& e : _elements) {
            const T* match = other.find_by_id(e->get_id());
            if (match == nullptr || *e != *match) return false;
        }
        return true;
    }
    bool operator!=(const CUniquePtrWithIdContainer& other) const { return !(*this == other); }

protected:
    // Ids are compared as their stored 32-bit pattern, so ids read as u32 find themselves.
    static Predicate has_id(uint32_t id) {
        return [id](const Element& e) { return e && static_cast<uint32_t>(e->get_id()) == id; };
    }

    Elements _elements;
};

}  // namespace Vok
