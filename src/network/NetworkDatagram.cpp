// Encoding and strict decoding of the network datagram: whatever arrives is checked byte by
// byte, and no length inside it is trusted.
#include "network/NetworkDatagram.h"

#include "components/BigEndian.h"
#include "components/Utf8Text.h"

namespace parvox {
namespace {

std::string Header(NetworkKind kind, uint64_t id, uint8_t version = kNetworkVersion) {
  std::string header(kNetworkMagic, sizeof kNetworkMagic);
  header.push_back(static_cast<char>(version));
  header.push_back(static_cast<char>(kind));
  AppendBigEndian<uint64_t>(header, id);
  return header;
}

// A name at most kMaxNetworkNameBytes long, up to a NUL, not ending inside a character.
std::string_view KeptName(std::string_view name) {
  name = name.substr(0, name.find('\0'));
  if (name.size() <= kMaxNetworkNameBytes) return name;
  size_t end = kMaxNetworkNameBytes;
  while (end > 0 && (static_cast<uint8_t>(name[end]) & 0xC0) == 0x80) --end;
  return name.substr(0, end);
}

// Version 3's expiry lies after the time sent, within the longest lifetime.
bool IsLifetime(uint64_t sentAt, uint64_t expiresAt) {
  return expiresAt > sentAt && expiresAt - sentAt <= kMaxMessageLifetimeSeconds;
}

bool IsPublicKey(std::string_view key) { return key.size() == kPublicKeyBytes && key[0] == '\x04'; }

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

EncodeError EncodeSignedMessage(const SignedMessage& message, std::string& bytes) {
  bytes.clear();
  const std::string* names[] = {&message.from, &message.to, &message.computer};
  if (message.text.size() > kMaxNetworkTextBytes) return EncodeError::kTextTooLong;
  for (const std::string* name : names) {
    if (name->size() > kMaxNetworkNameBytes) return EncodeError::kNameTooLong;
  }
  for (const std::string* field : {names[0], names[1], names[2], &message.text}) {
    if (field->find('\0') != std::string::npos) return EncodeError::kZeroByte;
    if (!IsUtf8(*field)) return EncodeError::kNotUtf8;
  }
  bool expires = message.expiresAt != 0;
  if (expires ? !IsLifetime(message.sentAt, message.expiresAt) : message.options != 0) {
    return EncodeError::kBadLifetime;
  }
  bytes = Header(NetworkKind::kMessage, message.id,
                 expires ? kExpiringNetworkVersion : kSignedNetworkVersion);
  AppendBigEndian<uint64_t>(bytes, message.sentAt);
  if (expires) {
    AppendBigEndian<uint64_t>(bytes, message.expiresAt);
    AppendBigEndian<uint32_t>(bytes, message.options);
  }
  bytes += message.publicKey;
  for (const std::string* field : {names[0], names[1], names[2], &message.text}) {
    bytes += *field;
    bytes.push_back('\0');
  }
  bytes += message.signature;
  return EncodeError::kNone;
}

std::string EncodeSignedReceipt(const SignedReceipt& receipt) {
  NetworkKind kind = receipt.kind == NetworkKind::kAcknowledgement ? NetworkKind::kAcknowledgement
                                                                   : NetworkKind::kReceipt;
  std::string bytes = Header(kind, receipt.id, kSignedNetworkVersion);
  AppendBigEndian<uint64_t>(bytes, receipt.sentAt);
  bytes += receipt.messageDigest;
  bytes += receipt.publicKey;
  for (const std::string* name : {&receipt.computer, &receipt.user}) {
    bytes += KeptName(*name);
    bytes.push_back('\0');
  }
  bytes += receipt.signature;
  return bytes;
}

std::string SignedPart(SignedMessage message) {
  message.signature.clear();
  std::string bytes;
  EncodeSignedMessage(message, bytes);
  return bytes;
}

std::string SignedPart(SignedReceipt receipt) {
  receipt.signature.clear();
  return EncodeSignedReceipt(receipt);
}

namespace {

// Versions 2 and 3: the fields between the key and the signature must be UTF-8 and end exactly.
// Version 3 is a message only.
DecodedDatagram DecodeSigned(uint8_t version, uint8_t kind, uint64_t id, std::string_view bytes) {
  bool expires = version == kExpiringNetworkVersion;
  if (expires && kind != static_cast<uint8_t>(NetworkKind::kMessage)) return {};
  bool answers = kind == static_cast<uint8_t>(NetworkKind::kReceipt) ||
                 kind == static_cast<uint8_t>(NetworkKind::kAcknowledgement);
  size_t digestBytes = answers ? kDigestBytes : 0;
  size_t lifetimeBytes = expires ? kLifetimeBytes : 0;
  size_t keyAt = kNetworkHeaderBytes + 8 + lifetimeBytes + digestBytes;
  if (bytes.size() < keyAt + kPublicKeyBytes + kSignatureBytes) return {};
  uint64_t sentAt = ReadBigEndian<uint64_t>(bytes.substr(kNetworkHeaderBytes));
  uint64_t expiresAt = expires ? ReadBigEndian<uint64_t>(bytes.substr(kNetworkHeaderBytes + 8)) : 0;
  uint32_t options = expires ? ReadBigEndian<uint32_t>(bytes.substr(kNetworkHeaderBytes + 16)) : 0;
  std::string_view digest = bytes.substr(kNetworkHeaderBytes + 8, digestBytes);
  std::string_view key = bytes.substr(keyAt, kPublicKeyBytes);
  std::string_view signature = bytes.substr(bytes.size() - kSignatureBytes);
  std::string_view rest = bytes.substr(keyAt + kPublicKeyBytes);
  rest.remove_suffix(kSignatureBytes);
  if (!IsPublicKey(key) || (expires && !IsLifetime(sentAt, expiresAt))) return {};
  auto take = [&rest](size_t limit, std::string& field) {
    return TakeField(rest, limit, field) && IsUtf8(field);
  };
  if (kind == static_cast<uint8_t>(NetworkKind::kMessage)) {
    SignedMessage message{id, sentAt, std::string(key),       {},        {},
                          {}, {},     std::string(signature), expiresAt, options};
    if (!take(kMaxNetworkNameBytes, message.from) || !take(kMaxNetworkNameBytes, message.to) ||
        !take(kMaxNetworkNameBytes, message.computer) ||
        !take(kMaxNetworkTextBytes, message.text) || !rest.empty() || message.to.empty() ||
        message.computer.empty()) {
      return {};
    }
    return message;
  }
  if (answers) {
    SignedReceipt receipt{id, sentAt, std::string(digest),    std::string(key),
                          {}, {},     std::string(signature), static_cast<NetworkKind>(kind)};
    if (!take(kMaxNetworkNameBytes, receipt.computer) ||
        !take(kMaxNetworkNameBytes, receipt.user) || !rest.empty() || receipt.computer.empty()) {
      return {};
    }
    return receipt;
  }
  return {};
}

}  // namespace

DecodedDatagram DecodeNetworkDatagram(std::string_view bytes) {
  if (bytes.size() < kNetworkHeaderBytes || bytes.size() > kMaxSignedDatagramBytes) return {};
  if (bytes.substr(0, sizeof kNetworkMagic) != std::string_view(kNetworkMagic, 4)) return {};
  uint8_t version = static_cast<uint8_t>(bytes[4]);
  uint8_t kind = static_cast<uint8_t>(bytes[5]);
  uint64_t id = ReadBigEndian<uint64_t>(bytes.substr(6));
  if (version == kSignedNetworkVersion || version == kExpiringNetworkVersion) {
    return DecodeSigned(version, kind, id, bytes);
  }
  if (version != kNetworkVersion || bytes.size() > kMaxNetworkDatagramBytes) return {};
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
