// The broker connection: Winsock events for the socket, a worker thread for the name, SChannel's
// stream context for TLS, and the broker's certificate checked here against the system's store,
// so that the verdict and its reason are the same whatever SChannel would decide on its own.
#include "relay/BrokerConnection.h"

#include <wincrypt.h>
#include <winsock2.h>
#include <ws2tcpip.h>

// SCH_CREDENTIALS, the only way to TLS 1.3 on Windows 11, hides behind this and needs
// UNICODE_STRING first.
// clang-format off
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>
#include <schannel.h>
// clang-format on
#define SECURITY_WIN32
#include <security.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "components/SystemErrorText.h"
#include "components/UniqueHandle.h"

namespace parvox {
namespace {

constexpr size_t kReadChunkBytes = 16 * 1024;
// A TLS record is at most about 16 KiB; anything that stays incomplete beyond this is not TLS.
constexpr size_t kMaxTlsBacklogBytes = 128 * 1024;
// The deadline's timer fires a little late, so the caller's clock has surely passed it.
constexpr DWORD kDeadlineSlackMs = 50;

constexpr ULONG kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                  ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY |
                                  ISC_REQ_STREAM | ISC_REQ_USE_SUPPLIED_CREDS |
                                  ISC_REQ_MANUAL_CRED_VALIDATION;

struct Address {
  sockaddr_storage bytes;
  int length;
};

// What the lookup's worker shares with the connection; it may outlive the connection.
struct Shared {
  EventHandle event{WSACreateEvent()};
  std::mutex lock;
  bool lookedUp = false;
  std::vector<Address> addresses;
};

std::wstring WithCode(std::wstring sentence, long code) {
  std::wstring text = SystemErrorText(static_cast<DWORD>(code));
  wchar_t hex[16];
  swprintf(hex, 16, L"0x%08lX", static_cast<unsigned long>(code));
  return sentence + L": " + (text.empty() ? std::wstring(L"error ") + hex : text);
}

std::wstring ConnectFailure(int error) {
  switch (error) {
    case WSAECONNREFUSED:
      return L"the broker refused the connection";
    case WSAETIMEDOUT:
      return L"no answer from the broker within 10 seconds";
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
      return L"the broker cannot be reached from this computer";
    default:
      return WithCode(L"the connection to the broker failed", error);
  }
}

std::wstring CertificateFailure(DWORD error, PCCERT_CONTEXT certificate) {
  switch (error) {
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDCA):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDTESTROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
    case static_cast<DWORD>(TRUST_E_CERT_SIGNATURE):
      return L"the broker's certificate is not trusted by this computer";
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
      return L"the broker's certificate is for another name";
    case static_cast<DWORD>(CERT_E_EXPIRED):
      // One code for both ends of the validity period; a wrong clock causes the second.
      return CertVerifyTimeValidity(nullptr, certificate->pCertInfo) < 0
                 ? L"the broker's certificate is not valid yet (is this computer's clock right?)"
                 : L"the broker's certificate has expired";
    case static_cast<DWORD>(CERT_E_REVOKED):
      return L"the broker's certificate has been revoked";
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
      return L"the broker's certificate is not meant for a server";
    default:
      return WithCode(L"the broker's certificate was refused", static_cast<long>(error));
  }
}

// Empty when `certificate` chains to a root this computer trusts, is meant for a TLS server and
// names `host`; otherwise why not.
std::wstring CheckCertificate(PCCERT_CONTEXT certificate, const std::wstring& host) {
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  // The intermediates the broker sent are in the certificate's own store. No revocation check:
  // a company's own CA often publishes no list, and an unreachable one would fail every start.
  if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara,
                               0, nullptr, &chain)) {
    return WithCode(L"the broker's certificate could not be checked",
                    static_cast<long>(GetLastError()));
  }
  std::wstring serverName = host;
  HTTPSPolicyCallbackData sslPara{};
  sslPara.cbStruct = sizeof sslPara;
  sslPara.dwAuthType = AUTHTYPE_SERVER;
  sslPara.pwszServerName = serverName.data();
  CERT_CHAIN_POLICY_PARA policyPara{};
  policyPara.cbSize = sizeof policyPara;
  policyPara.pvExtraPolicyPara = &sslPara;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  BOOL checked =
      CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policyPara, &status);
  DWORD lastError = GetLastError();
  DWORD chainErrors = chain->TrustStatus.dwErrorStatus;
  CertFreeCertificateChain(chain);
  if (!checked) {
    return WithCode(L"the broker's certificate could not be checked", static_cast<long>(lastError));
  }
  if (status.dwError != 0) return CertificateFailure(status.dwError, certificate);
  // Wine's SSL policy passes a chain whose issuer was not found at all (Windows reports
  // CERT_E_CHAINING), so the chain's own verdict must agree as well.
  if ((chainErrors & ~CERT_TRUST_IS_NOT_TIME_NESTED) == 0) return std::wstring();
  DWORD error = (chainErrors & CERT_TRUST_IS_NOT_TIME_VALID)        ? CERT_E_EXPIRED
                : (chainErrors & CERT_TRUST_IS_REVOKED)             ? CERT_E_REVOKED
                : (chainErrors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) ? CERT_E_WRONG_USAGE
                                                                    : CERT_E_UNTRUSTEDROOT;
  return CertificateFailure(error, certificate);
}

// TLS 1.2 and later only. SCH_CREDENTIALS first (TLS 1.3 on Windows 11); systems that predate
// it refuse it, and get SCHANNEL_CRED with TLS 1.2.
SECURITY_STATUS AcquireCredentials(CredHandle& credentials) {
  constexpr DWORD kFlags =
      SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
  auto* package = const_cast<wchar_t*>(UNISP_NAME_W);
  TLS_PARAMETERS parameters{};
  parameters.grbitDisabledProtocols =
      SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
  SCH_CREDENTIALS current{};
  current.dwVersion = SCH_CREDENTIALS_VERSION;
  current.dwFlags = kFlags;
  current.cTlsParameters = 1;
  current.pTlsParameters = &parameters;
  SECURITY_STATUS status =
      AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &current, nullptr,
                                nullptr, &credentials, nullptr);
  if (status == SEC_E_OK) return status;
  SCHANNEL_CRED older{};
  older.dwVersion = SCHANNEL_CRED_VERSION;
  older.dwFlags = kFlags;
  older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  return AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &older, nullptr,
                                   nullptr, &credentials, nullptr);
}

void CALLBACK SignalDeadline(PVOID event, BOOLEAN) { SetEvent(static_cast<HANDLE>(event)); }

}  // namespace

struct BrokerConnection::Impl {
  enum class Phase { kLookingUp, kConnecting, kHandshaking, kOpen, kClosed };

  std::wstring host;
  uint16_t port = 0;
  bool tls = false;
  bool winsockStarted = false;
  std::shared_ptr<Shared> shared = std::make_shared<Shared>();
  Phase phase = Phase::kLookingUp;
  std::wstring failure;
  uint64_t deadline = 0;
  HANDLE deadlineTimer = nullptr;

  SOCKET socket = INVALID_SOCKET;
  std::vector<Address> addresses;
  size_t nextAddress = 0;
  int lastConnectError = WSAECONNREFUSED;

  CredHandle credentials{};
  bool haveCredentials = false;
  CtxtHandle context{};
  bool haveContext = false;
  bool renegotiating = false;
  SecPkgContext_StreamSizes sizes{};

  std::string unsent;  // written, not yet encrypted (or, without TLS, not yet on the wire)
  std::string wire;    // for the socket, from wireSent on
  size_t wireSent = 0;
  std::string fromWire;  // TLS records not yet decrypted
  std::string received;  // for TakeReceived
  bool readingPaused = false;

  ~Impl() {
    StopDeadlineTimer();
    if (phase == Phase::kOpen && tls && !renegotiating) SendCloseNotify();
    CloseSocket();
    ReleaseTls();
    if (winsockStarted) WSACleanup();
  }

  size_t Unsent() const { return unsent.size() + wire.size() - wireSent; }

  void Start() {
    deadline = GetTickCount64() + kOpenTimeoutMs;
    WSADATA data;
    winsockStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!winsockStarted || !shared->event.Valid()) {
      return Fail(L"the network is not available to this program");
    }
    if (host.empty() || host.find(L'\0') != std::wstring::npos || port == 0) {
      return Fail(L"the broker's address is incomplete");
    }
    if (!CreateTimerQueueTimer(&deadlineTimer, nullptr, SignalDeadline, shared->event.Get(),
                               static_cast<DWORD>(kOpenTimeoutMs) + kDeadlineSlackMs, 0,
                               WT_EXECUTEONLYONCE)) {
      deadlineTimer = nullptr;
      return Fail(WithCode(L"the connection could not be started", GetLastError()));
    }
    try {
      std::thread(LookUp, shared, host, port).detach();
    } catch (const std::system_error&) {
      Fail(L"the connection could not be started: no thread for the name lookup");
    }
  }

  static void LookUp(std::shared_ptr<Shared> shared, std::wstring host, uint16_t port) {
    WSADATA data;
    bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    std::vector<Address> found;
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* list = nullptr;
    if (started && GetAddrInfoW(host.c_str(), std::to_wstring(port).c_str(), &hints, &list) == 0) {
      for (ADDRINFOW* entry = list; entry != nullptr; entry = entry->ai_next) {
        if ((entry->ai_family != AF_INET && entry->ai_family != AF_INET6) ||
            entry->ai_addr == nullptr || entry->ai_addrlen > sizeof(sockaddr_storage)) {
          continue;
        }
        Address address{};
        memcpy(&address.bytes, entry->ai_addr, entry->ai_addrlen);
        address.length = static_cast<int>(entry->ai_addrlen);
        found.push_back(address);
      }
      FreeAddrInfoW(list);
    }
    if (started) WSACleanup();
    std::lock_guard<std::mutex> guard(shared->lock);
    shared->addresses = std::move(found);
    shared->lookedUp = true;
    SetEvent(shared->event.Get());
  }

  void Fail(std::wstring reason) {
    if (phase == Phase::kClosed) return;
    failure = std::move(reason);
    phase = Phase::kClosed;
    StopDeadlineTimer();
    CloseSocket();
    ReleaseTls();
    unsent.clear();
    wire.clear();
    wireSent = 0;
    fromWire.clear();
  }

  void StopDeadlineTimer() {
    // Waits for a callback under way, which only sets the event.
    if (deadlineTimer != nullptr)
      DeleteTimerQueueTimer(nullptr, deadlineTimer, INVALID_HANDLE_VALUE);
    deadlineTimer = nullptr;
  }

  void CloseSocket() {
    if (socket != INVALID_SOCKET) closesocket(socket);
    socket = INVALID_SOCKET;
  }

  void ReleaseTls() {
    if (haveContext) DeleteSecurityContext(&context);
    if (haveCredentials) FreeCredentialsHandle(&credentials);
    haveContext = haveCredentials = false;
  }

  void Service(uint64_t nowMs) {
    WSANETWORKEVENTS events{};
    if (socket != INVALID_SOCKET) {
      WSAEnumNetworkEvents(socket, shared->event.Get(), &events);
    } else {
      ResetEvent(shared->event.Get());
    }
    if (phase == Phase::kClosed) return;
    if (phase != Phase::kOpen && nowMs >= deadline) {
      return Fail(L"no answer from the broker within 10 seconds");
    }
    if (phase == Phase::kLookingUp) {
      {
        std::lock_guard<std::mutex> guard(shared->lock);
        if (!shared->lookedUp) return;
        addresses = std::move(shared->addresses);
      }
      if (addresses.empty()) return Fail(host + L" could not be found");
      return ConnectNext();
    }
    if (phase == Phase::kConnecting) {
      if ((events.lNetworkEvents & FD_CONNECT) == 0) return;
      if (int error = events.iErrorCode[FD_CONNECT_BIT]; error != 0) {
        lastConnectError = error;
        CloseSocket();
        return ConnectNext();
      }
      Connected();
    }
    Exchange();
  }

  void ConnectNext() {
    while (nextAddress < addresses.size()) {
      const Address& address = addresses[nextAddress++];
      SOCKET candidate = ::socket(address.bytes.ss_family, SOCK_STREAM, IPPROTO_TCP);
      if (candidate == INVALID_SOCKET) {
        lastConnectError = WSAGetLastError();
        continue;
      }
      // Also makes the socket non-blocking.
      if (WSAEventSelect(candidate, shared->event.Get(),
                         FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
        lastConnectError = WSAGetLastError();
        closesocket(candidate);
        continue;
      }
      // MQTT packets are small and each one is waited for.
      BOOL noDelay = TRUE;
      setsockopt(candidate, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                 sizeof noDelay);
      socket = candidate;
      phase = Phase::kConnecting;
      if (connect(candidate, reinterpret_cast<const sockaddr*>(&address.bytes), address.length) ==
          0) {
        Connected();
        return Exchange();
      }
      int error = WSAGetLastError();
      if (error == WSAEWOULDBLOCK) return;
      lastConnectError = error;
      CloseSocket();
    }
    Fail(ConnectFailure(lastConnectError));
  }

  void Connected() {
    if (!tls) return Opened();
    phase = Phase::kHandshaking;
    SECURITY_STATUS status = AcquireCredentials(credentials);
    if (status != SEC_E_OK) return Fail(WithCode(L"TLS is not available on this computer", status));
    haveCredentials = true;
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    ULONG attributes = 0;
    status = InitializeSecurityContextW(&credentials, nullptr, host.data(), kContextRequest, 0, 0,
                                        nullptr, 0, &context, &outDesc, &attributes, nullptr);
    if (status != SEC_I_CONTINUE_NEEDED) {
      if (out.pvBuffer != nullptr) FreeContextBuffer(out.pvBuffer);
      return Fail(WithCode(L"the TLS handshake with the broker could not start", status));
    }
    haveContext = true;
    TakeToken(out);
  }

  void Opened() {
    phase = Phase::kOpen;
    StopDeadlineTimer();
    if (tls && QueryContextAttributesW(&context, SECPKG_ATTR_STREAM_SIZES, &sizes) != SEC_E_OK) {
      return Fail(L"the TLS session with the broker could not be used");
    }
    Seal();
  }

  void TakeToken(SecBuffer& token) {
    if (token.pvBuffer == nullptr) return;
    wire.append(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
    FreeContextBuffer(token.pvBuffer);
    token.pvBuffer = nullptr;
  }

  // Sends, reads and sends again (a handshake answers what it read) until the socket would block.
  void Exchange() {
    SendWire();
    Read();
    SendWire();
  }

  void SendWire() {
    while (phase != Phase::kClosed && wireSent < wire.size()) {
      int chunk = static_cast<int>(std::min<size_t>(wire.size() - wireSent, INT_MAX));
      int sent = send(socket, wire.data() + wireSent, chunk, 0);
      if (sent == SOCKET_ERROR) {
        int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) break;  // FD_WRITE comes when there is room
        return Fail(LostConnection(error));
      }
      wireSent += static_cast<size_t>(sent);
    }
    if (wireSent == wire.size()) {
      wire.clear();
      wireSent = 0;
    }
  }

  static std::wstring LostConnection(int error) {
    return error == WSAECONNRESET || error == WSAECONNABORTED
               ? L"the broker closed the connection"
               : WithCode(L"the connection to the broker failed", error);
  }

  void Read() {
    char chunk[kReadChunkBytes];
    while (phase == Phase::kHandshaking || phase == Phase::kOpen) {
      if (received.size() >= kMaxUntakenBytes) {
        readingPaused = true;
        return;
      }
      int count = recv(socket, chunk, sizeof chunk, 0);
      if (count == SOCKET_ERROR) {
        int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) Fail(LostConnection(error));
        return;
      }
      if (count == 0) {
        return Fail(phase == Phase::kHandshaking
                        ? L"the broker closed the connection during the TLS handshake (is this "
                          L"its TLS port?)"
                        : L"the broker closed the connection");
      }
      if (!tls) {
        received.append(chunk, static_cast<size_t>(count));
        continue;
      }
      fromWire.append(chunk, static_cast<size_t>(count));
      Unseal();
      SendWire();
    }
  }

  // Runs what arrived through the handshake or DecryptMessage, as far as it goes. A
  // renegotiation continues with the records that follow its request, as the first handshake
  // did, and waits for them when none are there yet.
  void Unseal() {
    bool more = true;
    while (more && !fromWire.empty()) {
      if (phase == Phase::kHandshaking || renegotiating) {
        more = Handshake();
      } else {
        more = phase == Phase::kOpen && Decrypt();
      }
    }
    if (phase != Phase::kClosed && fromWire.size() >= kMaxTlsBacklogBytes) {
      Fail(L"the broker sent something that is not TLS");
    }
  }

  // One InitializeSecurityContext step on what arrived; true when it may be called again.
  bool Handshake() {
    SecBuffer in[2] = {{static_cast<ULONG>(fromWire.size()), SECBUFFER_TOKEN, fromWire.data()},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    ULONG attributes = 0;
    SECURITY_STATUS status =
        InitializeSecurityContextW(&credentials, &context, host.data(), kContextRequest, 0, 0,
                                   &inDesc, 0, nullptr, &outDesc, &attributes, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      if (out.pvBuffer != nullptr) FreeContextBuffer(out.pvBuffer);
      return false;
    }
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
      if (out.pvBuffer != nullptr) FreeContextBuffer(out.pvBuffer);
      Fail(status == SEC_I_INCOMPLETE_CREDENTIALS
               ? std::wstring(
                     L"the broker asks for a client certificate, which Parvox does not have")
           : status == SEC_E_ALGORITHM_MISMATCH
               ? std::wstring(L"the broker offers no TLS version or cipher this computer accepts")
               : WithCode(L"the TLS handshake with the broker failed", status));
      return false;
    }
    TakeToken(out);
    size_t extra = in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0;
    fromWire.erase(0, fromWire.size() - std::min(extra, fromWire.size()));
    if (status == SEC_I_CONTINUE_NEEDED) return !fromWire.empty();

    // Wine ignores the disabled protocols of SCH_CREDENTIALS and would settle for TLS 1.0.
    SecPkgContext_ConnectionInfo connection{};
    if (QueryContextAttributesW(&context, SECPKG_ATTR_CONNECTION_INFO, &connection) != SEC_E_OK ||
        (connection.dwProtocol & (SP_PROT_TLS1_2 | SP_PROT_TLS1_3)) == 0) {
      Fail(L"the broker offers only TLS versions older than 1.2, which are not safe");
      return false;
    }
    // The broker may present another certificate when it renegotiates: checked every time.
    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesW(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) !=
            SEC_E_OK ||
        certificate == nullptr) {
      Fail(L"the broker sent no certificate");
      return false;
    }
    std::wstring refusal = CheckCertificate(certificate, host);
    CertFreeCertificateContext(certificate);
    if (!refusal.empty()) {
      Fail(refusal);
      return false;
    }
    if (renegotiating) {
      renegotiating = false;
      Seal();
    } else {
      Opened();
    }
    return phase != Phase::kClosed;
  }

  // Decrypts the record at the front of fromWire; true when it took one or a renegotiation
  // is to take what follows.
  bool Decrypt() {
    size_t before = fromWire.size();
    SecBuffer buffers[4] = {{static_cast<ULONG>(fromWire.size()), SECBUFFER_DATA, fromWire.data()},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    SECURITY_STATUS status = DecryptMessage(&context, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return false;
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
      Fail(WithCode(L"the broker's TLS data could not be read", status));
      return false;
    }
    // The plaintext lies inside fromWire: it is copied before what follows it moves up.
    size_t extra = 0;
    for (const SecBuffer& buffer : buffers) {
      if (buffer.BufferType == SECBUFFER_DATA && buffer.pvBuffer != nullptr) {
        received.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
      } else if (buffer.BufferType == SECBUFFER_EXTRA) {
        extra = std::min<size_t>(buffer.cbBuffer, fromWire.size());
      }
    }
    fromWire.erase(0, fromWire.size() - extra);
    if (status == SEC_I_CONTEXT_EXPIRED) {
      Fail(L"the broker closed the connection");
      return false;
    }
    if (status == SEC_I_RENEGOTIATE) {
      // A TLS 1.2 renegotiation or a TLS 1.3 message after the handshake (a session ticket, a
      // key update): the handshake takes what follows, and nothing is sent meanwhile.
      renegotiating = true;
    }
    return renegotiating || fromWire.size() < before;
  }

  // Encrypts what was written into records on the wire and sends them.
  void Seal() {
    if (phase != Phase::kOpen || renegotiating) return;
    if (!tls) {
      wire += unsent;
      unsent.clear();
      return SendWire();
    }
    size_t taken = 0;
    std::string record;
    while (taken < unsent.size()) {
      size_t length = std::min<size_t>(unsent.size() - taken, sizes.cbMaximumMessage);
      record.assign(sizes.cbHeader + length + sizes.cbTrailer, '\0');
      memcpy(record.data() + sizes.cbHeader, unsent.data() + taken, length);
      SecBuffer buffers[4] = {
          {sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
          {static_cast<ULONG>(length), SECBUFFER_DATA, record.data() + sizes.cbHeader},
          {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes.cbHeader + length},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      SECURITY_STATUS status = EncryptMessage(&context, 0, &desc, 0);
      if (status != SEC_E_OK) {
        return Fail(WithCode(L"the message for the broker could not be encrypted", status));
      }
      wire.append(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
      taken += length;
    }
    unsent.clear();
    SendWire();
  }

  // Best effort: the alert goes out only if it can at once and nothing else is half sent.
  void SendCloseNotify() {
    SendWire();
    if (phase != Phase::kOpen || !wire.empty()) return;
    DWORD shutdown = SCHANNEL_SHUTDOWN;
    SecBuffer token{sizeof shutdown, SECBUFFER_TOKEN, &shutdown};
    SecBufferDesc tokenDesc{SECBUFFER_VERSION, 1, &token};
    if (ApplyControlToken(&context, &tokenDesc) != SEC_E_OK) return;
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    ULONG attributes = 0;
    SECURITY_STATUS status =
        InitializeSecurityContextW(&credentials, &context, host.data(), kContextRequest, 0, 0,
                                   nullptr, 0, nullptr, &outDesc, &attributes, nullptr);
    if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) {
      TakeToken(out);
      SendWire();
    } else if (out.pvBuffer != nullptr) {
      FreeContextBuffer(out.pvBuffer);
    }
  }
};

BrokerConnection::BrokerConnection(std::wstring host, uint16_t port, bool tls)
    : impl_(std::make_unique<Impl>()) {
  impl_->host = std::move(host);
  impl_->port = port;
  impl_->tls = tls;
  impl_->Start();
}

BrokerConnection::~BrokerConnection() = default;

HANDLE BrokerConnection::Event() const { return impl_->shared->event.Get(); }

void BrokerConnection::Service(uint64_t nowMs) { impl_->Service(nowMs); }

BrokerConnection::State BrokerConnection::GetState() const {
  switch (impl_->phase) {
    case Impl::Phase::kOpen:
      return State::kOpen;
    case Impl::Phase::kClosed:
      return State::kClosed;
    default:
      return State::kConnecting;
  }
}

const std::wstring& BrokerConnection::FailureReason() const { return impl_->failure; }

bool BrokerConnection::Write(std::string_view bytes) {
  if (impl_->phase == Impl::Phase::kClosed || bytes.size() > kMaxUnsentBytes ||
      impl_->Unsent() + bytes.size() > kMaxUnsentBytes) {
    return false;
  }
  impl_->unsent.append(bytes);
  impl_->Seal();
  return impl_->phase != Impl::Phase::kClosed;
}

std::string BrokerConnection::TakeReceived() {
  std::string taken = std::exchange(impl_->received, {});
  // Reading paused for the caller: the event brings Service back to the socket.
  if (impl_->readingPaused && impl_->phase != Impl::Phase::kClosed) {
    impl_->readingPaused = false;
    SetEvent(impl_->shared->event.Get());
  }
  return taken;
}

}  // namespace parvox
