// Name tables of the history model: lists and registries of names, and the first-node
// index that stands in for the linear searches over a part's rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

/// Hashing for maps keyed by names, so a lookup by string_view builds no string.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const noexcept { return std::hash<std::string_view>{}(name); }
};
using NameSet = std::unordered_set<std::string, NameHash, std::equal_to<>>;

/// A list of names without repeats that keeps the order of first addition.
class NameList {
public:
    NameList() = default;
    NameList(NameList&&) noexcept = default;
    NameList& operator=(NameList&&) noexcept = default;
    /// Appends `name` unless present; true when appended.
    bool add(std::string_view name);
    bool contains(std::string_view name) const;
    const std::vector<std::string>& names() const { return names_; }
    std::size_t size() const { return names_.size(); }
    bool empty() const { return names_.empty(); }

private:
    // Lists are short; a set is only built once a list grows long, so a node with
    // thousands of branches still adds in constant time.
    static constexpr std::size_t kIndexFrom = 16;
    std::vector<std::string> names_;
    std::unique_ptr<NameSet> index_;
};

/// Names registered once each. Vandor branch names are version ids, numbers, and an
/// export meets one for every branch of every part: those are held as numbers (about
/// five bytes each) so that the registry, which lives for the whole export, stays small
/// beside the rest of the run; other names are held as text.
class NameRegistry {
public:
    /// True when `name` is new; it is registered now.
    bool insert(std::string_view name);
    bool contains(std::string_view name) const;
    void clear();

private:
    static constexpr std::uint32_t kFree = 0xFFFFFFFF;
    bool insert_number(std::uint32_t value);
    /// The slot that holds `value`, or the free one where it would go.
    std::size_t slot_of(std::uint32_t value) const;
    std::vector<std::uint32_t> numbers_;  // open addressing; kFree marks a free slot
    std::size_t numberCount_ = 0;
    NameSet texts_;
};

/// The first node of each key (a node name, a match key), found by hashing: an
/// open-addressed table of indices into a node list that reads the keys from the
/// nodes, so a long history costs no key copies and about one probe per lookup.
template <typename Node>
class FirstNodeIndex {
public:
    using KeyOf = std::string_view (*)(const Node&);
    explicit FirstNodeIndex(KeyOf keyOf) : keyOf_(keyOf) {}

    /// Records node `index` under its key unless the key has a node already; returns
    /// the node recorded for the key (so `index` itself when the key was new).
    std::size_t add(const std::vector<Node>& nodes, std::size_t index) {
        if ((used_ + 1) * 2 > slots_.size()) grow();
        std::string_view key = keyOf_(nodes[index]);
        std::uint32_t hash = hash_of(key);
        std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = slots_[at];
            if (slot.node == 0) {
                slot = {hash, static_cast<std::uint32_t>(index + 1)};
                ++used_;
                return index;
            }
            if (slot.hash == hash && keyOf_(nodes[slot.node - 1]) == key) return slot.node - 1;
        }
    }

    /// The node recorded for `key`, or kNoNode.
    std::size_t find(const std::vector<Node>& nodes, std::string_view key) const {
        if (slots_.empty()) return static_cast<std::size_t>(-1);
        std::uint32_t hash = hash_of(key);
        std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            const Slot& slot = slots_[at];
            if (slot.node == 0) return static_cast<std::size_t>(-1);
            if (slot.hash == hash && keyOf_(nodes[slot.node - 1]) == key) return slot.node - 1;
        }
    }

    void clear() {
        slots_ = {};
        used_ = 0;
    }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t node = 0;  // node index + 1; 0 marks a free slot
    };

    static std::uint32_t hash_of(std::string_view key) {
        std::uint64_t h = std::hash<std::string_view>{}(key);
        return static_cast<std::uint32_t>(h ^ (h >> 32));
    }

    void grow() {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
        std::size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.node == 0) continue;
            std::size_t at = slot.hash & mask;
            while (slots_[at].node != 0) at = (at + 1) & mask;
            slots_[at] = slot;
        }
    }

    KeyOf keyOf_;
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};
