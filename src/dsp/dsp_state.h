// The process-wide processing state shared by the control thread and the
// audio thread, and the rules by which they share it.
//
// Threading contract
// - Control thread (one thread: dialogs, tray, commands, the profile mapping):
//   owns `params`, `freqIndex` and `qIndex`. It rewrites `params` field by
//   field as it likes and then calls PublishParams(state); only published
//   sets reach the audio thread, each one whole. Every operation that changes
//   `params` (ApplyProfileParams, ApplyNeutralParams, SetBandFrequency,
//   SetBandQ, the user equaliser) publishes once, after its last write, so the
//   audio thread never sees half of it (an operation made of others publishes
//   at its end, not from inside each step).
// - Flags `processingOff`, `kiroActive`, `dither`: relaxed atomics, written by
//   the control thread at any time, read by either thread. ProcessBlock reads
//   each once per block.
// - Audio thread: alone calls ProcessBlock, which takes the newest published
//   set at the start of every block and keeps it for the whole block (so a
//   peaking band never runs with a new c and an old d). It owns `memories`,
//   `frameCount`, `noise` and the band buffers.
// - `tables` are written once by InitDsp and read-only afterwards.
// - InitDsp and FreeDsp run while the audio thread is not using the state.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "dsp/dsp_records.h"
#include "dsp/dsp_tables.h"
#include "dsp/noise_source.h"
#include "dsp/param_handover.h"

namespace auralith::dsp {

// Frames per band buffer; ProcessBlock cuts longer blocks into pieces.
inline constexpr std::size_t kBandBufferFrames = 50000;
inline constexpr std::size_t kBandBufferSamples = 2 * kBandBufferFrames;

struct DspState {
  // Flags shared by both threads.
  std::atomic<bool> processingOff{true};  // neutral set in force
  std::atomic<bool> kiroActive{false};    // hearing protection (-23.1 dB)
  std::atomic<bool> dither{true};         // off only for exact comparisons of output

  // Control thread: the editable parameter set and the indices from which
  // each peaking slot's c and d were last taken.
  DspParams params;
  std::array<std::int32_t, kPeakSlots> freqIndex{};
  std::array<std::int32_t, kPeakSlots> qIndex{};

  // Read-only after InitDsp.
  DspTables tables;

  // Audio thread.
  std::int32_t frameCount = 0;  // frames of the piece being processed
  DspMemories memories;
  NoiseSource noise;
  // Run the pipeline's AVX build; InitDsp sets it when the processor has
  // AVX (ProcessBlock checks again). Both builds give the same results; tests
  // clear it to check the SSE2 build.
  bool useAvx = false;
  // Bands of the last three-band block (after their compressors), for
  // meters and diagnostics; kBandBufferSamples each, absent after FreeDsp.
  std::unique_ptr<float[]> lowBand, midBand, highBand;

  ParamHandover handover;
};

// Sets every initial value, builds the tables and allocates the band buffers.
// Returns false when a band buffer could not be allocated; the chain runs
// without it (only the band record is missing).
bool InitDsp(DspState& state);

// Frees the band buffers; a second call does nothing.
void FreeDsp(DspState& state);

// Control thread: hands the current `params` to the audio thread.
void PublishParams(DspState& state);

}  // namespace auralith::dsp
