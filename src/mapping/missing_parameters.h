#pragma once

#include "profiles/profile_parameter_set.h"

#include <cstdint>
#include <string>
#include <vector>

// Which of the meaningful parameters a profile set leaves out. A missing
// parameter reads as 0 (table index 0), which for most stages means
// silence, so whoever plays a profile says which numbers it lacks.

namespace auralith::dsp {

inline constexpr std::int32_t kFirstProfileParameter = 1;
inline constexpr std::int32_t kLastProfileParameter = 58;

// The numbers 1 to 58 that `set` does not hold, in ascending order. Looks
// without inserting.
std::vector<std::int32_t> MissingProfileParameters(const profiles::ProfileParameterSet& set);

// Whether `set` holds every number 1 to 58, each with a finite value.
bool GivesEveryParameter(const profiles::ProfileParameterSet& set);

// Ascending numbers as a short list with runs joined: "3, 5-9, 12".
std::string ParameterNumberList(const std::vector<std::int32_t>& numbers);

}  // namespace auralith::dsp
