// The Send command and its two paths: the NET command per recipient, or the built-in mailslot
// send that logs each recipient's outcome.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace parvox {

class NetworkSend;
class RelayClient;
class UdpEndpoint;

// What sending needs of the window it sends from.
class SendHost {
 public:
  virtual ~SendHost() = default;
  // The window the NET command is started for.
  virtual HWND Owner() const = 0;
  virtual HWND AddressList() const = 0;
  virtual std::wstring MessageText() const = 0;
  virtual void SetStatusText(const std::wstring& text) = 0;
  // The socket the receipts come back to; nullptr while nothing is received over the network.
  virtual std::shared_ptr<UdpEndpoint> NetworkEndpoint() const = 0;
  // The relay messages also go through; nullptr when none is set.
  virtual RelayClient* Relay() const = 0;
};

// A long walk over recipients still answers other programs, repaints and takes the receipts
// that are coming in, so none is dropped by a full socket; the user's input waits until the walk
// is done. The walk calls KeepAnswering every kKeepAnsweringEveryMs.
void KeepAnswering();

// Checks that there is something to send and someone to send it to, then sends. A message with
// `options` (urgent, acknowledgement requested) goes by the built-in send whatever the setting:
// the NET command carries neither.
void SendCommand(SendHost& host, uint32_t options = 0);
void SendViaWindows(SendHost& host);
void SendViaBroadcast(SendHost& host, uint32_t options = 0);

}  // namespace parvox
