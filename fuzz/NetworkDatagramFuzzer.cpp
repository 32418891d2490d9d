// Fuzzes the network datagram decoder: whatever arrives, it decodes without fault, and what it
// accepts encodes back to the very same bytes, so no two spellings of one datagram exist.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "network/NetworkDatagram.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  parvox::DecodedDatagram decoded = parvox::DecodeNetworkDatagram(bytes);
  if (const auto* message = std::get_if<parvox::NetworkMessage>(&decoded)) {
    std::string encoded;
    CHECK(parvox::EncodeNetworkMessage(*message, encoded) == parvox::EncodeError::kNone);
    CHECK(encoded == bytes);
  } else if (const auto* receipt = std::get_if<parvox::NetworkReceipt>(&decoded)) {
    CHECK(parvox::EncodeNetworkReceipt(*receipt) == bytes);
  } else if (const auto* signedMessage = std::get_if<parvox::SignedMessage>(&decoded)) {
    std::string encoded;
    CHECK(parvox::EncodeSignedMessage(*signedMessage, encoded) == parvox::EncodeError::kNone);
    CHECK(encoded == bytes);
    CHECK(parvox::SignedPart(*signedMessage) == bytes.substr(0, bytes.size() - 64));
  } else if (const auto* signedReceipt = std::get_if<parvox::SignedReceipt>(&decoded)) {
    CHECK(parvox::EncodeSignedReceipt(*signedReceipt) == bytes);
    CHECK(parvox::SignedPart(*signedReceipt) == bytes.substr(0, bytes.size() - 64));
  }
  return 0;
}
