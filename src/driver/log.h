#pragma once
// The daemon's log: one line per event on stderr, which the journal collects
// when ulxd runs as a user service.

namespace auralith::ulxd {

enum class LogLevel { Error, Warning, Info, Debug };

void SetVerbose(bool verbose);
void Log(LogLevel level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace auralith::ulxd

#define ULXD_ERROR(...) ::auralith::ulxd::Log(::auralith::ulxd::LogLevel::Error, __VA_ARGS__)
#define ULXD_WARN(...) ::auralith::ulxd::Log(::auralith::ulxd::LogLevel::Warning, __VA_ARGS__)
#define ULXD_INFO(...) ::auralith::ulxd::Log(::auralith::ulxd::LogLevel::Info, __VA_ARGS__)
#define ULXD_DEBUG(...) ::auralith::ulxd::Log(::auralith::ulxd::LogLevel::Debug, __VA_ARGS__)
