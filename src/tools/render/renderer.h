// The offline rendering: a profile and a sound file in, the processed sound
// out, block by block exactly as the audio thread produces it.
#pragma once

#include "dsp/dsp_state.h"
#include "profiles/profile.h"
#include "tools/render/render_options.h"

#include <cstdint>
#include <functional>
#include <string>

namespace auralith::render {

// Frames of one block of the audio thread.
inline constexpr std::size_t kBlockFrames = 1764;

// Exit statuses of auralith-render.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;    // the output could not be written
inline constexpr int kExitBadInput = 2;  // bad option, profile or input file

struct RenderResult {
  int status = kExitOk;
  std::string error;    // one line, empty on success
  std::string warning;  // one line, e.g. the parameters the profile lacks
  std::uint64_t frames = 0;
};

// Called now and then with the frames done and the expected total; from a
// thread of the rendering's own when reading and writing run on threads
// (never from two at once).
using ProgressCallback = std::function<void(std::uint64_t done, std::uint64_t total)>;

// The file a PROFILE argument names: an existing path as it is, else the
// built-in profile of that name in the profile folder or, failing that,
// among the built-in profiles this program was built with. Empty when none.
std::string ResolveProfile(const std::string& argument);

// Sets the chain up as the application does at start: InitDsp, the neutral
// set, then processing with the profile and the user equalizer record (or,
// with processing off, the record first and the neutral set after it).
void SetUpChain(dsp::DspState& state, profiles::Profile& profile, const RenderOptions& options);

RenderResult RenderFile(const RenderOptions& options, const ProgressCallback& progress = {});

}  // namespace auralith::render
