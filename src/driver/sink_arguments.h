#pragma once
// The null sink's module arguments, and recognising a sink that an ulxd left
// behind on the sound server (a loaded module outlives its client).

#include <sys/types.h>

#include <optional>
#include <string>

namespace auralith::ulxd {

// name and description are plain (checked on the command line).
std::string SinkArguments(const std::string& name, const std::string& description, pid_t owner);

// The owning ulxd's process id when argument is that of our sink name as
// SinkArguments writes it; nothing for any other module.
std::optional<pid_t> SinkOwner(const std::string& argument, const std::string& name);

// Whether pid is a running ulxd (a reused id of another program is not).
bool IsRunningUlxd(pid_t pid);

}  // namespace auralith::ulxd
