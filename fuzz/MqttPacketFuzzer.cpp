// Fuzzes the MQTT packet decoder with what a broker might send: it decodes without fault, a
// packet it accepts is never longer than the limit, every shorter prefix of it asks for more
// bytes, and the packet re-encodes to bytes that decode to the same packet.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "network/MqttPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // A small limit for half the inputs, so the refusal of a packet too big is reached too.
  size_t limit = size % 2 == 0 ? 64 : parvox::kDefaultMaxMqttPacketBytes;
  parvox::MqttDecoded decoded = parvox::DecodeMqttPacket(bytes, limit);
  if (decoded.status != parvox::MqttDecodeStatus::kPacket) return 0;
  CHECK(decoded.size <= bytes.size() && decoded.size <= limit);
  for (size_t length : {size_t{0}, size_t{1}, decoded.size / 2, decoded.size - 1}) {
    CHECK(parvox::DecodeMqttPacket(bytes.substr(0, length), limit).status ==
          parvox::MqttDecodeStatus::kNeedMore);
  }
  // Properties Parvox skips and the longer forms of PUBACK and DISCONNECT are not re-encoded,
  // so the bytes may be shorter, never longer.
  std::string encoded = parvox::EncodeMqttPacket(decoded.packet);
  CHECK(!encoded.empty() && encoded.size() <= decoded.size);
  parvox::MqttDecoded again = parvox::DecodeMqttPacket(encoded, limit);
  CHECK(again.status == parvox::MqttDecodeStatus::kPacket && again.size == encoded.size());
  CHECK(again.packet == decoded.packet);
  CHECK(parvox::EncodeMqttPacket(again.packet) == encoded);
  return 0;
}
