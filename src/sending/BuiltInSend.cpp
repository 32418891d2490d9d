// The built-in send of one recipient, shared by the window's Send and a script's send.
#include "sending/BuiltInSend.h"

#include <optional>

#include "components/AnsiText.h"
#include "components/SystemErrorText.h"
#include "network/MessengerDatagram.h"
#include "sending/DeliveryOutcome.h"
#include "sending/MailslotSender.h"
#include "sending/NetworkDelivery.h"
#include "sending/SendText.h"

namespace parvox {
namespace {

size_t DatagramBytes(const MailslotMessage& message) {
  return ToAnsi(message.From).size() + ToAnsi(message.To).size() + ToAnsi(message.Text).size() + 4;
}

// The line of a mailslot outcome the tracker does not word itself; nothing for a plain success
// or failure.
std::optional<OutcomeLine> MailslotOnlyLine(const std::wstring& address,
                                            const MailslotMessage& message, int result) {
  switch (result) {
    case kMailslotNoText:
      return OutcomeLine{L"There was no message to send to " + address + L".", true};
    case kMailslotFailed:
      if (size_t bytes = DatagramBytes(message); bytes > kMaxDatagramBytes) {
        return OutcomeLine{SendErrorLine(address, TooLongReason(L"the built-in protocol", bytes,
                                                                L"bytes", kMaxDatagramBytes)),
                           true};
      }
      return std::nullopt;
    case kMailslotUnconvertible:
      return OutcomeLine{SendErrorLine(address, kUnconvertibleText), true};
    case kMailslotRefusedName:
      return OutcomeLine{
          SendErrorLine(address, L"They may not be online. " + NoMailslotReason(address)), true};
    case kMailslotSent:
      return std::nullopt;
    default:  // a short write is counted but not reported
      return OutcomeLine{};
  }
}

}  // namespace

void AddBuiltInRecipient(NetworkSend& network, const std::wstring& user, const std::wstring& text,
                         const std::wstring& address, bool domain, bool mailslot) {
  DeliveryTracker& tracker = network.Tracker();
  MailslotMessage message{user, address, text};
  bool broadcast = IsBroadcastRecipient(address, domain);
  size_t recipient = network.AddRecipient(address, broadcast);
  if (!mailslot) return;
  // Windows drops a longer broadcast without telling the sender: refuse it here and say why.
  if (size_t bytes = broadcast && !text.empty() ? DatagramBytes(message) : 0;
      bytes > kMaxBroadcastDatagramBytes) {
    tracker.SetMailslotLine(
        recipient, {SendErrorLine(address, TooLongReason(L"a broadcast to a domain", bytes,
                                                         L"bytes", kMaxBroadcastDatagramBytes)),
                    true});
    return;
  }
  unsigned long error = 0;
  int result = SendMailslotMessage(kMessengerSlot, message, &error);
  if (std::optional<OutcomeLine> line = MailslotOnlyLine(address, message, result)) {
    tracker.SetMailslotLine(recipient, std::move(*line));
  } else {
    tracker.SetMailslotResult(recipient, result == kMailslotSent,
                              SendFailureReason(error, error != 0 ? SystemErrorText(error) : L""));
  }
}

}  // namespace parvox
