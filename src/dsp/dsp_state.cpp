#include "dsp/dsp_state.h"

#include <new>

#include "dsp/chain_pipeline.h"  // CanRunAvx

namespace auralith::dsp {

bool InitDsp(DspState& state) {
  state.processingOff.store(true, std::memory_order_relaxed);
  state.kiroActive.store(false, std::memory_order_relaxed);
  state.dither.store(true, std::memory_order_relaxed);
  state.params = DspParams{};
  state.freqIndex.fill(0);
  state.qIndex.fill(0);
  BuildDspTables(state.tables);
  state.frameCount = 0;
  state.memories = DspMemories{};
  state.noise = NoiseSource{};
  state.useAvx = detail::CanRunAvx();
  state.handover.Reset(state.params);

  bool complete = true;
  for (std::unique_ptr<float[]>* band : {&state.lowBand, &state.midBand, &state.highBand}) {
    band->reset(new (std::nothrow) float[kBandBufferSamples]());
    complete = complete && *band != nullptr;
  }
  return complete;
}

void FreeDsp(DspState& state) {
  state.lowBand.reset();
  state.midBand.reset();
  state.highBand.reset();
}

void PublishParams(DspState& state) { state.handover.Publish(state.params); }

}  // namespace auralith::dsp
