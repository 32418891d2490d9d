// The log of a console program, which has no log window: its lines go where RedirectLog says.
#include "log/Log.h"

namespace parvox {
namespace {

std::function<void(const std::wstring&)>& Sink() {
  static std::function<void(const std::wstring&)> sink;
  return sink;
}

}  // namespace

void RedirectLog(std::function<void(const std::wstring& text)> sink) { Sink() = std::move(sink); }

void AppendLog(bool, const std::wstring& text) {
  if (Sink()) Sink()(text);
}

}  // namespace parvox
