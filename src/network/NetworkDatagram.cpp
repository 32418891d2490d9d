// Encoding and strict decoding of the network datagram: whatever arrives is checked byte by
// byte, and no length inside it is trusted.
#include "network/NetworkDatagram.h"

namespace parvox {
namespace {

std::string Header(NetworkKind kind, uint64_t id) {
  std::string header(kNetworkMagic, sizeof kNetworkMagic);
  header.push_back(static_cast<char>(kNetworkVersion));
  header.push_back(static_cast<char>(kind));
  for (int shift = 56; shift >= 0; shift -= 8) header.push_back(static_cast<char>(id >> shift));
  return header;
}

// Takes the next NUL-terminated field of at most `limit` bytes off the front of `rest`.
bool TakeField(std::string_view& rest, size_t limit, std::string& field) {
  size_t end = rest.find('\0');
  if (end == std::string_view::npos || end > limit) return false;
  field.assign(rest.substr(0, end));
  rest.remove_prefix(end + 1);
  return true;
}

}  // namespace

EncodeError EncodeNetworkMessage(const NetworkMessage& message, std::string& bytes) {
  bytes.clear();
  if (message.text.size() > kMaxNetworkTextBytes) return EncodeError::kTextTooLong;
  if (message.from.size() > kMaxNetworkNameBytes || message.to.size() > kMaxNetworkNameBytes) {
    return EncodeError::kNameTooLong;
  }
  for (const std::string* field : {&message.from, &message.to, &message.text}) {
    if (field->find('\0') != std::string::npos) return EncodeError::kZeroByte;
  }
  bytes = Header(NetworkKind::kMessage, message.id);
  for (const std::string* field : {&message.from, &message.to, &message.text}) {
    bytes += *field;
    bytes.push_back('\0');
  }
  return EncodeError::kNone;
}

std::string EncodeNetworkReceipt(const NetworkReceipt& receipt) {
  std::string bytes = Header(NetworkKind::kReceipt, receipt.id);
  for (const std::string* name : {&receipt.computer, &receipt.user}) {
    std::string_view kept = std::string_view(*name).substr(0, kMaxNetworkNameBytes);
    bytes += kept.substr(0, kept.find('\0'));
    bytes.push_back('\0');
  }
  return bytes;
}

DecodedDatagram DecodeNetworkDatagram(std::string_view bytes) {
  if (bytes.size() < kNetworkHeaderBytes || bytes.size() > kMaxNetworkDatagramBytes) return {};
  if (bytes.substr(0, sizeof kNetworkMagic) != std::string_view(kNetworkMagic, 4)) return {};
  if (static_cast<uint8_t>(bytes[4]) != kNetworkVersion) return {};
  uint8_t kind = static_cast<uint8_t>(bytes[5]);
  uint64_t id = 0;
  for (size_t i = 6; i < kNetworkHeaderBytes; ++i) id = id << 8 | static_cast<uint8_t>(bytes[i]);
  std::string_view rest = bytes.substr(kNetworkHeaderBytes);

  if (kind == static_cast<uint8_t>(NetworkKind::kMessage)) {
    NetworkMessage message{id, {}, {}, {}};
    if (!TakeField(rest, kMaxNetworkNameBytes, message.from) ||
        !TakeField(rest, kMaxNetworkNameBytes, message.to) ||
        !TakeField(rest, kMaxNetworkTextBytes, message.text) || !rest.empty() ||
        message.to.empty()) {
      return {};
    }
    return message;
  }
  if (kind == static_cast<uint8_t>(NetworkKind::kReceipt)) {
    NetworkReceipt receipt{id, {}, {}};
    if (!TakeField(rest, kMaxNetworkNameBytes, receipt.computer) ||
        !TakeField(rest, kMaxNetworkNameBytes, receipt.user) || !rest.empty() ||
        receipt.computer.empty()) {
      return {};
    }
    return receipt;
  }
  return {};
}

}  // namespace parvox
