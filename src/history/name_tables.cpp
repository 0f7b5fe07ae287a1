// Lists and registries of names.
#include "name_tables.h"

#include <algorithm>
#include <optional>

// --- NameList -------------------------------------------------------------------

bool NameList::contains(std::string_view name) const {
    if (index_) return index_->find(name) != index_->end();
    return std::find(names_.begin(), names_.end(), name) != names_.end();
}

bool NameList::add(std::string_view name) {
    if (contains(name)) return false;
    names_.emplace_back(name);
    if (index_) {
        index_->insert(names_.back());
    } else if (names_.size() > kIndexFrom) {
        index_ = std::make_unique<NameSet>(names_.begin(), names_.end());
    }
    return true;
}

// --- NameRegistry ---------------------------------------------------------------

namespace {

/// The value of a decimal number without leading zeros of at most nine digits, or nothing.
std::optional<std::uint32_t> small_number(std::string_view name) {
    if (name.empty() || name.size() > 9 || (name[0] == '0' && name.size() > 1)) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : name) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

}  // namespace

bool NameRegistry::insert(std::string_view name) {
    const std::optional<std::uint32_t> number = small_number(name);
    if (!number) return texts_.emplace(name).second;
    if ((numberCount_ + 1) * 4 > numbers_.size() * 3) {
        std::vector<std::uint32_t> old = std::move(numbers_);
        numbers_.assign(old.empty() ? 64 : old.size() * 2, kFree);
        numberCount_ = 0;
        for (std::uint32_t value : old)
            if (value != kFree) insert_number(value);
    }
    return insert_number(*number);
}

bool NameRegistry::contains(std::string_view name) const {
    const std::optional<std::uint32_t> number = small_number(name);
    if (!number) return texts_.find(name) != texts_.end();
    return !numbers_.empty() && numbers_[slot_of(*number)] == *number;
}

std::size_t NameRegistry::slot_of(std::uint32_t value) const {
    const std::size_t mask = numbers_.size() - 1;
    std::size_t at = static_cast<std::uint32_t>(value * 2654435761u) & mask;
    while (numbers_[at] != value && numbers_[at] != kFree) at = (at + 1) & mask;
    return at;
}

bool NameRegistry::insert_number(std::uint32_t value) {
    std::uint32_t& slot = numbers_[slot_of(value)];
    if (slot == value) return false;
    slot = value;
    ++numberCount_;
    return true;
}

void NameRegistry::clear() {
    numbers_ = {};
    numberCount_ = 0;
    texts_.clear();
}
