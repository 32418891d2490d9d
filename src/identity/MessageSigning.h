// Signing and checking datagrams with ECDSA P-256 and SHA-256, through the system's own
// cryptography (CNG). Keys travel as uncompressed points and signatures as r and s, the forms
// the datagram carries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "network/NetworkDatagram.h"

namespace parvox {

// The SHA-256 digest of `bytes`; empty when the system cannot compute it.
std::string Sha256(std::string_view bytes);

// True when `signature` is a valid signature of `signedBytes` by `publicKey`. A key that is not
// a point on the curve verifies nothing.
bool VerifySignature(std::string_view publicKey, std::string_view signedBytes,
                     std::string_view signature);

class SigningKey {
 public:
  // A new key pair; nullptr when the system cannot make one.
  static std::unique_ptr<SigningKey> Generate();
  // A key from PrivateBlob(); nullptr for anything else.
  static std::unique_ptr<SigningKey> FromPrivateBlob(std::string_view blob);
  ~SigningKey();
  SigningKey(const SigningKey&) = delete;
  SigningKey& operator=(const SigningKey&) = delete;

  // The private key, for storing protected: never to be logged or written in the clear.
  std::string PrivateBlob() const;
  const std::string& PublicKey() const { return publicKey_; }
  // The signature of `bytes`; empty when signing failed.
  std::string Sign(std::string_view bytes) const;

 private:
  explicit SigningKey(void* handle);
  void* handle_;  // BCRYPT_KEY_HANDLE
  std::string publicKey_;
};

// What goes on the wire for a message or a receipt: its bytes, signed with `key`, and the
// signature after them. Empty when it cannot be encoded (`error`, when given, says why) or
// signed (`error` is then kNone).
using SignedDatagram = std::variant<SignedMessage, SignedReceipt>;
std::string SealDatagram(const SignedDatagram& datagram, const SigningKey& key,
                         EncodeError* error = nullptr);

// Seconds since 1970-01-01 00:00 UTC by this computer's clock, as signed datagrams carry it.
uint64_t SecondsSince1970();

// The fingerprint people compare for a key (see KeyText.h).
std::wstring KeyFingerprint(std::string_view publicKey);

}  // namespace parvox
