// What the observation selection of a computation set-up works with besides the set-up itself:
// the options of the connected-object searches and their map of objects.
#pragma once

#include <cstdint>
#include <map>

#include "definitions/records/definition_records.h"

// Options of the connected-object searches over variable-node links, 16 bytes.
struct sConnectOptions {
    enum : uint32_t {
        FOLLOW_LINK_RECORDS = 0x1,
        FOLLOW_OWN_OBSERVATIONS = 0x2,
        RECURSE = 0x4,
        DIRECTION_FIRST = 0x1,
        DIRECTION_SECOND = 0x2,
        LET_NON_RIGID = 0x2,
    };
    uint32_t words[4] = {};

    void Init(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
        words[0] = w0;
        words[1] = w1;
        words[2] = w2;
        words[3] = w3;
    }
    uint32_t GetFlags() const { return words[0]; }
    void SetFlags(uint32_t v) { words[0] = v; }
    uint32_t GetDirections() const { return words[1]; }
    void SetDirections(uint32_t v) { words[1] = v; }
    uint32_t GetObjectFlags() const { return words[2]; }
    void SetObjectFlags(uint32_t v) { words[2] = v; }
    uint32_t GetValue() const { return words[3]; }
    void SetValue(uint32_t v) { words[3] = v; }
    bool FollowsLinkRecords() const { return (words[0] & FOLLOW_LINK_RECORDS) != 0; }
    void SetFollowsLinkRecords(bool on) { SetBit(words[0], FOLLOW_LINK_RECORDS, on); }
    bool FollowsOwnObservations() const { return (words[0] & FOLLOW_OWN_OBSERVATIONS) != 0; }
    void SetFollowsOwnObservations(bool on) { SetBit(words[0], FOLLOW_OWN_OBSERVATIONS, on); }
    bool Recurses() const { return (words[0] & RECURSE) != 0; }
    void SetRecurses(bool on) { SetBit(words[0], RECURSE, on); }
    bool LetsNonRigidThrough() const { return (words[2] & LET_NON_RIGID) != 0; }
    void SetLetsNonRigidThrough(bool on) { SetBit(words[2], LET_NON_RIGID, on); }
    // All bits of the mask set in word 0, or all of them in word 1.
    bool HasAll(uint32_t mask) const { return (words[0] & mask) == mask || (words[1] & mask) == mask; }
    // A copy with one word replaced.
    sConnectOptions With(int word, uint32_t value) const {
        sConnectOptions copy = *this;
        if (word >= 0 && word < 4) copy.words[word] = value;
        return copy;
    }

private:
    static void SetBit(uint32_t& w, uint32_t bit, bool on) { w = on ? (w | bit) : (w & ~bit); }
};
static_assert(sizeof(sConnectOptions) == 16);

// Map of connected objects: object id to its mark (1 searched from, -1 reached).
using CObjectMarks = std::map<int32_t, int32_t>;
