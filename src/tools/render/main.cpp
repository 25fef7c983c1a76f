// auralith-render: processes a sound file through the chain offline.
#include "dsp/stream_format.h"
#include "tools/render/progress_bar.h"
#include "tools/render/render_options.h"
#include "tools/render/renderer.h"

#include <cstdio>

using namespace auralith::render;

int main(int argc, char** argv) {
  const ParsedCommandLine command = ParseCommandLine(argc, argv);
  if (command.help) {
    std::fputs(UsageText(), stdout);
    return kExitOk;
  }
  if (!command.options) {
    std::fprintf(stderr, "auralith-render: %s\n", command.error.c_str());
    return kExitBadInput;
  }

  RenderResult result;
  {
    // Only sounds longer than half a minute get a bar.
    ProgressBar bar(stderr, 30 * auralith::kStreamRate);
    result = RenderFile(*command.options, [&bar](std::uint64_t done, std::uint64_t total) { bar.Update(done, total); });
  }
  if (result.status != kExitOk) std::fprintf(stderr, "auralith-render: %s\n", result.error.c_str());
  return result.status;
}
