// The relay's connection kept up from the window thread (or a script's wait): the session decides,
// the connection carries bytes, a waitable timer wakes it for pings and reconnecting.
#include "relay/RelayClient.h"

#include "components/AnsiText.h"
#include "components/VisibleText.h"
#include "components/WaitSources.h"
#include "log/Log.h"
#include "network/MessageIds.h"

namespace parvox {

IpAddress RelaySourceAddress() {
  IpAddress address;
  address.family = IpAddress::Family::kV6;
  address.bytes[0] = 0x01;
  return address;
}

RelayClient::RelayClient(RelayServer server, RelaySessionConfig config, MessageHandler onMessage)
    : server_(std::move(server)),
      name_((server_.tls ? L"mqtts://" : L"mqtt://") +
            (server_.host.find(L':') != std::wstring::npos ? L"[" + server_.host + L"]"
                                                           : server_.host) +
            L":" + std::to_wstring(server_.port)),
      session_(std::move(config)),
      onMessage_(std::move(onMessage)),
      timer_(CreateWaitableTimerW(nullptr, FALSE, nullptr)) {}

RelayClient::~RelayClient() {
  if (timer_.Valid()) RemoveWaitSource(timer_.Get());
  if (connection_) RemoveWaitSource(connection_->Event());
}

bool RelayClient::Start() {
  if (!timer_.Valid() || !AddWaitSource(timer_.Get(), [this] { OnTimer(); })) return false;
  Connect();
  return true;
}

void RelayClient::Connect() {
  reconnectAtMs_.reset();
  connection_ = std::make_unique<BrokerConnection>(server_.host, server_.port, server_.tls);
  if (!AddWaitSource(connection_->Event(), [this] { OnConnection(); })) {
    connection_.reset();
    return Lost(L"Parvox could not wait for the connection");
  }
  std::string connect = session_.Start(GetTickCount64());
  if (connect.empty()) {
    // The session says why in its events.
    Pump();
    return;
  }
  connection_->Write(connect);
  Pump();
}

void RelayClient::OnConnection() {
  if (!connection_) return;
  connection_->Service(GetTickCount64());
  Pump();
}

void RelayClient::OnTimer() {
  pumpDue_ = false;
  uint64_t now = GetTickCount64();
  if (reconnectAtMs_) {
    if (now >= *reconnectAtMs_) Connect();
    ArmTimer();
    return;
  }
  if (connection_) session_.Tick(now);
  Pump();
}

void RelayClient::Pump() {
  if (pumping_) return;
  pumping_ = true;
  for (;;) {
    uint64_t now = GetTickCount64();
    if (connection_) {
      // What the broker sends beyond the messages waiting for acknowledgement stays in the
      // connection, which then stops reading: TCP holds the broker back.
      if (session_.WantsInput()) session_.Receive(connection_->TakeReceived(), now);
      std::string output = session_.TakeOutput();
      // A broker that takes nothing for a megabyte is no use: start again.
      if (!output.empty() && !connection_->Write(output)) {
        pumping_ = false;
        return Lost(L"the broker takes nothing more");
      }
      connection_->Service(now);
      // Servicing reads too, and takes the socket's signal with it: what it read is the
      // session's now, or it would wait for the broker's next packet (a minute's ping, say).
      if (session_.WantsInput()) session_.Receive(connection_->TakeReceived(), now);
    }
    std::vector<RelayEvent> events = session_.TakeEvents();
    if (events.empty()) break;
    for (RelayEvent& event : events) {
      if (auto* message = std::get_if<RelayMessage>(&event)) {
        if (onMessage_) onMessage_(std::move(*message));
      } else if (auto* published = std::get_if<RelayPublished>(&event)) {
        auto handler = onPublished_.find(published->token);
        if (handler == onPublished_.end()) continue;
        PublishedHandler call = std::move(handler->second);
        onPublished_.erase(handler);
        if (call) call(*published);
      } else if (std::holds_alternative<RelaySubscribed>(event)) {
        backoff_.Up(now);
        if (outageLogged_) AppendLog(false, L"The relay " + name_ + L" is connected again.");
        outageLogged_ = false;
      } else if (auto* refused = std::get_if<RelayRefused>(&event)) {
        pumping_ = false;
        return Lost(FromUtf8(refused->reason));
      } else if (auto* closed = std::get_if<RelayClosed>(&event)) {
        pumping_ = false;
        return Lost(FromUtf8(closed->reason));
      }
    }
  }
  pumping_ = false;
  if (connection_ && connection_->GetState() == BrokerConnection::State::kClosed) {
    std::wstring reason = connection_->FailureReason();
    return Lost(reason.empty() ? L"the broker closed the connection" : reason);
  }
  ArmTimer();
}

void RelayClient::Lost(const std::wstring& reason) {
  uint64_t now = GetTickCount64();
  if (connection_) {
    connection_->Write(session_.TakeOutput());
    connection_->Service(now);
    RemoveWaitSource(connection_->Event());
    connection_.reset();
  }
  session_.ConnectionLost();
  backoff_.Down(now);
  if (!outageLogged_) {
    AppendLog(false, L"The relay " + name_ + L" cannot be reached: " + ShownName(reason) +
                         L". Messages go over the local network only, and those for the relay "
                         L"wait for it (as long as they may live); Parvox keeps trying.");
    outageLogged_ = true;
  }
  reconnectAtMs_ = now + backoff_.NextWaitMs(NewMessageId());
  ArmTimer();
}

void RelayClient::ArmTimer() {
  if (pumpDue_) return;  // due at once already
  std::optional<uint64_t> due = reconnectAtMs_ ? reconnectAtMs_ : session_.NextDeadlineMs();
  if (!due) {
    CancelWaitableTimer(timer_.Get());
    return;
  }
  uint64_t now = GetTickCount64();
  // Relative, in 100 ns units.
  LARGE_INTEGER when;
  when.QuadPart = -static_cast<LONGLONG>((*due > now ? *due - now : 0) * 10000 + 1);
  SetWaitableTimer(timer_.Get(), &when, 0, nullptr, nullptr, FALSE);
}

RelayPublishResult RelayClient::Publish(RelayPublish publish, PublishedHandler onPublished) {
  RelayPublishResult result = session_.Publish(std::move(publish), GetTickCount64());
  if (result.status == RelayPublishResult::Status::kQueued && onPublished) {
    onPublished_[result.token] = std::move(onPublished);
  }
  // Written on the timer's next turn, with whatever else a send publishes meanwhile: one write
  // for many recipients rather than one each.
  if (connection_ && !pumpDue_) {
    pumpDue_ = true;
    LARGE_INTEGER now{};
    now.QuadPart = -1;
    SetWaitableTimer(timer_.Get(), &now, 0, nullptr, nullptr, FALSE);
  }
  return result;
}

void RelayClient::Acknowledge(uint64_t receipt) {
  session_.Acknowledge(receipt, GetTickCount64());
  if (connection_) Pump();
}

}  // namespace parvox
