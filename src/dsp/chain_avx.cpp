// The chain's pipeline built for AVX: the same operations, with the double
// precision pairs of two stages in one 256-bit register.
#include "dsp/chain_pipeline.h"

namespace auralith::dsp::detail {

void RunPipelineAvx(const DspParams& params, DspMemories& memories, bool kiro, float noiseAmplitude, NoiseSource& noise,
                    float* block, std::size_t frames, const BandOut& bands) {
  RunPipeline(params, memories, kiro, noiseAmplitude, noise, block, frames, bands);
}

}  // namespace auralith::dsp::detail
