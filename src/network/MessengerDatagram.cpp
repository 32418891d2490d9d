// Building and splitting the classic datagram.
#include "network/MessengerDatagram.h"

namespace parvox {
namespace {

std::string_view NextField(std::string_view& rest) {
  size_t end = rest.find('\0');
  std::string_view field = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return field;
}

}  // namespace

std::string AssembleDatagram(std::string_view from, std::string_view to, std::string_view text) {
  std::string datagram;
  datagram.reserve(from.size() + to.size() + text.size() + 4);
  datagram.append(from).push_back('\0');
  datagram.append(to).push_back('\0');
  datagram.append(text).push_back('\0');
  datagram.push_back('\0');
  return datagram;
}

DatagramFields SplitMessengerDatagram(std::string_view datagram) {
  DatagramFields fields;
  fields.from = NextField(datagram);
  fields.to = NextField(datagram);
  fields.text = NextField(datagram);
  return fields;
}

}  // namespace parvox
