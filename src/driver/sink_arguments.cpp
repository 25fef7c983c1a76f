#include "driver/sink_arguments.h"

#include <csignal>
#include <cstdlib>
#include <fstream>

#include "dsp/stream_format.h"

namespace auralith::ulxd {

namespace {
constexpr const char* kOwnerKey = "ulxd.pid=";
}

std::string SinkArguments(const std::string& name, const std::string& description, pid_t owner) {
  // norewinds: without it an idle null sink renders far ahead, and a new
  // capture gets nothing for up to two seconds.
  return "sink_name=" + name + " format=s16le rate=" + std::to_string(kStreamRate) +
         " channels=" + std::to_string(kStreamChannels) +
         " channel_map=front-left,front-right norewinds=1 sink_properties=\"device.description='" + description + "' " +
         kOwnerKey + std::to_string(owner) + "\"";
}

std::optional<pid_t> SinkOwner(const std::string& argument, const std::string& name) {
  std::string head = "sink_name=" + name + " ";
  if (argument.compare(0, head.size(), head) != 0) return std::nullopt;
  size_t at = argument.find(kOwnerKey);
  if (at == std::string::npos) return std::nullopt;
  const char* digits = argument.c_str() + at + std::char_traits<char>::length(kOwnerKey);
  char* end = nullptr;
  long pid = std::strtol(digits, &end, 10);
  if (end == digits || pid <= 0 || (*end != '"' && *end != ' ')) return std::nullopt;
  return pid_t(pid);
}

bool IsRunningUlxd(pid_t pid) {
  if (::kill(pid, 0) != 0) return false;
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string command;
  return std::getline(comm, command) && command == "ulxd";
}

}  // namespace auralith::ulxd
