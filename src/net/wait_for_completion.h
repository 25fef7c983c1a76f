#pragma once

#include <QEventLoop>

#include <functional>
#include <optional>
#include <utility>

// For a command-line program (and tests) that has nothing else to do while
// one asynchronous call runs: starts it and turns the event loop, at the
// top of the program, until its completion arrives. A program with other
// work (a window, timers, a command socket) uses the completion callbacks
// instead; calling this from inside one of its handlers would run that other
// work in the middle of the handler.

namespace auralith::net {

template <typename Result>
Result WaitForCompletion(const std::function<void(std::function<void(Result)>)>& start) {
  QEventLoop loop;
  std::optional<Result> result;
  start([&](Result outcome) {
    result.emplace(std::move(outcome));
    loop.quit();
  });
  if (!result) loop.exec();
  return std::move(*result);
}

}  // namespace auralith::net
