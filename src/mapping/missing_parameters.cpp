#include "mapping/missing_parameters.h"

#include <cmath>
#include <cstddef>

namespace auralith::dsp {

std::vector<std::int32_t> MissingProfileParameters(const profiles::ProfileParameterSet& set) {
  std::vector<std::int32_t> missing;
  for (std::int32_t number = kFirstProfileParameter; number <= kLastProfileParameter; ++number) {
    if (!set.contains(number)) missing.push_back(number);
  }
  return missing;
}

bool GivesEveryParameter(const profiles::ProfileParameterSet& set) {
  for (std::int32_t number = kFirstProfileParameter; number <= kLastProfileParameter; ++number) {
    const float* value = set.find(number);
    if (!value || !std::isfinite(*value)) return false;
  }
  return true;
}

std::string ParameterNumberList(const std::vector<std::int32_t>& numbers) {
  std::string text;
  for (std::size_t first = 0; first < numbers.size();) {
    std::size_t last = first;
    while (last + 1 < numbers.size() && numbers[last + 1] == numbers[last] + 1) ++last;
    if (!text.empty()) text += ", ";
    text += std::to_string(numbers[first]);
    if (last > first) text += "-" + std::to_string(numbers[last]);
    first = last + 1;
  }
  return text;
}

}  // namespace auralith::dsp
