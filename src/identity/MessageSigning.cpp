// ECDSA through CNG. The key blobs are CNG's own: a BCRYPT_ECCKEY_BLOB header, then X and Y (and
// for the private key d), 32 bytes each.
#include "identity/MessageSigning.h"

#include <windows.h>
// bcrypt.h needs the base types first.
#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "identity/KeyText.h"

namespace parvox {
namespace {

constexpr ULONG kCoordinateBytes = 32;

BCRYPT_ALG_HANDLE Algorithm(const wchar_t* name) {
  BCRYPT_ALG_HANDLE handle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, name, nullptr, 0))) return nullptr;
  return handle;
}

// Opened once for the life of the program, as CNG advises.
BCRYPT_ALG_HANDLE Ecdsa() {
  static BCRYPT_ALG_HANDLE handle = Algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
  return handle;
}

BCRYPT_ALG_HANDLE Sha256Algorithm() {
  static BCRYPT_ALG_HANDLE handle = Algorithm(BCRYPT_SHA256_ALGORITHM);
  return handle;
}

std::string ExportKey(BCRYPT_KEY_HANDLE key, const wchar_t* type) {
  ULONG size = 0;
  if (!BCRYPT_SUCCESS(BCryptExportKey(key, nullptr, type, nullptr, 0, &size, 0))) return {};
  std::string blob(size, '\0');
  if (!BCRYPT_SUCCESS(BCryptExportKey(key, nullptr, type, reinterpret_cast<PUCHAR>(blob.data()),
                                      size, &size, 0))) {
    return {};
  }
  blob.resize(size);
  return blob;
}

// The point (0x04, X, Y) of a public or private blob.
std::string PointOf(std::string_view blob) {
  if (blob.size() < sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinateBytes) return {};
  return "\x04" + std::string(blob.substr(sizeof(BCRYPT_ECCKEY_BLOB), 2 * kCoordinateBytes));
}

BCRYPT_KEY_HANDLE ImportPublicKey(std::string_view point) {
  if (point.size() != kPublicKeyBytes || point[0] != '\x04' || Ecdsa() == nullptr) return nullptr;
  std::string blob(sizeof(BCRYPT_ECCKEY_BLOB), '\0');
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinateBytes};
  std::memcpy(blob.data(), &header, sizeof header);
  blob.append(point.substr(1));
  BCRYPT_KEY_HANDLE key = nullptr;
  if (!BCRYPT_SUCCESS(BCryptImportKeyPair(Ecdsa(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &key,
                                          reinterpret_cast<PUCHAR>(blob.data()),
                                          static_cast<ULONG>(blob.size()), 0))) {
    return nullptr;
  }
  return key;
}

}  // namespace

std::string Sha256(std::string_view bytes) {
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (Sha256Algorithm() == nullptr ||
      !BCRYPT_SUCCESS(BCryptCreateHash(Sha256Algorithm(), &hash, nullptr, 0, nullptr, 0, 0))) {
    return {};
  }
  std::string digest(kDigestBytes, '\0');
  bool done =
      BCRYPT_SUCCESS(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                    static_cast<ULONG>(bytes.size()), 0)) &&
      BCRYPT_SUCCESS(BCryptFinishHash(hash, reinterpret_cast<PUCHAR>(digest.data()),
                                      static_cast<ULONG>(digest.size()), 0));
  BCryptDestroyHash(hash);
  return done ? digest : std::string();
}

bool VerifySignature(std::string_view publicKey, std::string_view signedBytes,
                     std::string_view signature) {
  if (signature.size() != kSignatureBytes) return false;
  std::string digest = Sha256(signedBytes);
  BCRYPT_KEY_HANDLE key = ImportPublicKey(publicKey);
  if (digest.empty() || key == nullptr) {
    if (key != nullptr) BCryptDestroyKey(key);
    return false;
  }
  NTSTATUS status = BCryptVerifySignature(
      key, nullptr, reinterpret_cast<PUCHAR>(digest.data()), static_cast<ULONG>(digest.size()),
      reinterpret_cast<PUCHAR>(const_cast<char*>(signature.data())),
      static_cast<ULONG>(signature.size()), 0);
  BCryptDestroyKey(key);
  return BCRYPT_SUCCESS(status);
}

SigningKey::SigningKey(void* handle) : handle_(handle) {
  publicKey_ = PointOf(ExportKey(static_cast<BCRYPT_KEY_HANDLE>(handle_), BCRYPT_ECCPUBLIC_BLOB));
}

SigningKey::~SigningKey() { BCryptDestroyKey(static_cast<BCRYPT_KEY_HANDLE>(handle_)); }

std::unique_ptr<SigningKey> SigningKey::Generate() {
  BCRYPT_KEY_HANDLE key = nullptr;
  if (Ecdsa() == nullptr || !BCRYPT_SUCCESS(BCryptGenerateKeyPair(Ecdsa(), &key, 256, 0)))
    return nullptr;
  if (!BCRYPT_SUCCESS(BCryptFinalizeKeyPair(key, 0))) {
    BCryptDestroyKey(key);
    return nullptr;
  }
  std::unique_ptr<SigningKey> made(new SigningKey(key));
  return made->publicKey_.empty() ? nullptr : std::move(made);
}

std::unique_ptr<SigningKey> SigningKey::FromPrivateBlob(std::string_view blob) {
  BCRYPT_ECCKEY_BLOB header{};
  if (Ecdsa() == nullptr || blob.size() != sizeof header + 3 * kCoordinateBytes) return nullptr;
  std::memcpy(&header, blob.data(), sizeof header);
  if (header.dwMagic != BCRYPT_ECDSA_PRIVATE_P256_MAGIC || header.cbKey != kCoordinateBytes)
    return nullptr;
  std::string copy(blob);
  BCRYPT_KEY_HANDLE key = nullptr;
  if (!BCRYPT_SUCCESS(BCryptImportKeyPair(Ecdsa(), nullptr, BCRYPT_ECCPRIVATE_BLOB, &key,
                                          reinterpret_cast<PUCHAR>(copy.data()),
                                          static_cast<ULONG>(copy.size()), 0))) {
    SecureZeroMemory(copy.data(), copy.size());
    return nullptr;
  }
  SecureZeroMemory(copy.data(), copy.size());
  std::unique_ptr<SigningKey> made(new SigningKey(key));
  return made->publicKey_.empty() ? nullptr : std::move(made);
}

std::string SigningKey::PrivateBlob() const {
  return ExportKey(static_cast<BCRYPT_KEY_HANDLE>(handle_), BCRYPT_ECCPRIVATE_BLOB);
}

std::string SigningKey::Sign(std::string_view bytes) const {
  std::string digest = Sha256(bytes);
  if (digest.empty()) return {};
  // Asked for its size first, Wine's CNG answers 32 for P-256: the buffer is sized by the curve.
  std::string signature(kSignatureBytes, '\0');
  ULONG written = 0;
  if (!BCRYPT_SUCCESS(BCryptSignHash(
          static_cast<BCRYPT_KEY_HANDLE>(handle_), nullptr, reinterpret_cast<PUCHAR>(digest.data()),
          static_cast<ULONG>(digest.size()), reinterpret_cast<PUCHAR>(signature.data()),
          static_cast<ULONG>(signature.size()), &written, 0)) ||
      written != kSignatureBytes) {
    return {};
  }
  return signature;
}

std::string SealDatagram(const SignedDatagram& datagram, const SigningKey& key,
                         EncodeError* error) {
  std::string bytes;
  EncodeError encoded = EncodeError::kNone;
  if (const auto* message = std::get_if<SignedMessage>(&datagram)) {
    encoded = EncodeSignedMessage(*message, bytes);
  } else {
    bytes = EncodeSignedReceipt(std::get<SignedReceipt>(datagram));
  }
  if (error != nullptr) *error = encoded;
  if (encoded != EncodeError::kNone) return {};
  std::string signature = key.Sign(bytes);
  return signature.empty() ? std::string() : bytes + signature;
}

uint64_t SecondsSince1970() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t ticks = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;  // 100 ns since 1601
  constexpr uint64_t k1970 = 116444736000000000ull;
  return ticks > k1970 ? (ticks - k1970) / 10000000 : 0;
}

std::wstring KeyFingerprint(std::string_view publicKey) {
  return FingerprintText(Sha256(publicKey));
}

}  // namespace parvox
