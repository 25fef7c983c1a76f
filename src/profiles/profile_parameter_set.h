#pragma once

#include <cstdint>
#include <unordered_map>

namespace auralith::profiles {

// The numbered parameters of one content mode of a profile. Reading a
// number that is absent inserts it with 0.0, so a parameter a file did not
// define reads as 0.0 (and from then on is part of the set).
class ProfileParameterSet {
 public:
  float& operator[](int32_t number) { return values_[number]; }

  // Looks without inserting; the mapping needs it to tell an empty set
  // from one whose parameters happen to be 0.
  bool contains(int32_t number) const { return values_.contains(number); }
  // The value of a number, or null when absent; does not insert.
  const float* find(int32_t number) const {
    const auto it = values_.find(number);
    return it == values_.end() ? nullptr : &it->second;
  }
  bool empty() const { return values_.empty(); }
  std::size_t size() const { return values_.size(); }

  void clear() { values_.clear(); }

 private:
  std::unordered_map<int32_t, float> values_;
};

}  // namespace auralith::profiles
