// Records of awaited receipts: fixed fields, then two texts each with its length.
#include "sending/AwaitedReceiptRecords.h"

#include "components/BigEndian.h"

namespace parvox {
namespace {

constexpr size_t kDigestBytes = 32;
constexpr size_t kMaxTextBytes = 1024;
// Id, sent-at, expires-at, the digest and the two lengths.
constexpr size_t kFixedBytes = 8 * 3 + kDigestBytes + 2 * 2;

}  // namespace

std::string EncodeAwaitedReceipt(const AwaitedReceiptRecord& record) {
  if (record.digest.size() != kDigestBytes || record.address.size() > kMaxTextBytes ||
      record.name.size() > kMaxTextBytes) {
    return {};
  }
  std::string bytes;
  AppendBigEndian<uint64_t>(bytes, record.id);
  AppendBigEndian<uint64_t>(bytes, record.sentAt);
  AppendBigEndian<uint64_t>(bytes, record.expiresAt);
  bytes += record.digest;
  for (const std::string* text : {&record.address, &record.name}) {
    AppendBigEndian<uint16_t>(bytes, static_cast<uint16_t>(text->size()));
    bytes += *text;
  }
  return bytes;
}

std::vector<AwaitedReceiptRecord> DecodeAwaitedReceipts(std::string_view bytes) {
  std::vector<AwaitedReceiptRecord> records;
  while (bytes.size() >= kFixedBytes) {
    AwaitedReceiptRecord record;
    record.id = ReadBigEndian<uint64_t>(bytes);
    record.sentAt = ReadBigEndian<uint64_t>(bytes.substr(8));
    record.expiresAt = ReadBigEndian<uint64_t>(bytes.substr(16));
    record.digest = bytes.substr(24, kDigestBytes);
    std::string_view rest = bytes.substr(24 + kDigestBytes);
    for (std::string* text : {&record.address, &record.name}) {
      if (rest.size() < 2) return records;
      size_t length = ReadBigEndian<uint16_t>(rest);
      if (length > kMaxTextBytes || rest.size() < 2 + length) return records;
      text->assign(rest.substr(2, length));
      rest.remove_prefix(2 + length);
    }
    records.push_back(std::move(record));
    bytes = rest;
  }
  return records;
}

}  // namespace parvox
