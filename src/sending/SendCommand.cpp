// Both send loops walk the ticked rows in list order, report each recipient in the status line
// and end with the count of recipients the message was handed on for.
#include "sending/SendCommand.h"

#include <string>

#include "addressbook/AddressList.h"
#include "addressbook/EntryRecord.h"
#include "components/ListViewChecks.h"
#include "components/WaitSources.h"
#include "identity/ThisComputer.h"
#include "log/Log.h"
#include "sending/AwaitedAcknowledgements.h"
#include "sending/BuiltInSend.h"
#include "sending/NetworkDelivery.h"
#include "sending/SendText.h"
#include "sending/ShellCommand.h"
#include "settings/AppState.h"

namespace parvox {

void KeepAnswering() {
  // A few rounds, not until nothing is signalled: under a flood the receivers signal again at
  // once, and the walk must go on.
  for (int round = 0; round < 4 && ServiceWaitSources(); ++round) {
  }
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
    DispatchMessageW(&message);
  }
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
}

namespace {

template <typename SendOne>
void ForEachTickedRow(SendHost& host, SendOne sendOne) {
  HWND list = host.AddressList();
  long count = 0;
  ULONGLONG answered = GetTickCount64();
  for (int row = 0, rows = RowCount(list); row < rows; ++row) {
    if (GetTickCount64() - answered >= kKeepAnsweringEveryMs) {
      KeepAnswering();
      answered = GetTickCount64();
    }
    if (!IsItemChecked(list, row)) continue;
    std::wstring address = RowText(list, row);
    host.SetStatusText(L"Sending message to " + address + L" ...");
    if (sendOne(list, row, address)) ++count;
  }
  host.SetStatusText(L"Message sent to the " + std::to_wstring(count) + L" selected recipient(s).");
}

}  // namespace

void SendCommand(SendHost& host, uint32_t options) {
  HWND list = host.AddressList();
  if (RowCount(list) == 0) {
    host.SetStatusText(L"You need to have at least one entry in your address book.");
  } else if (CountCheckedItems(list) == 0) {
    host.SetStatusText(L"You need to select at least one recipient to send your message to.");
  } else if (host.MessageText().empty()) {
    host.SetStatusText(L"You need to enter a message before you can send..");
  } else if (App().internalSend || options != 0) {
    SendViaBroadcast(host, options);
  } else {
    SendViaWindows(host);
  }
}

void SendViaWindows(SendHost& host) {
  std::wstring text = host.MessageText();
  ForEachTickedRow(host, [&](HWND list, int row, const std::wstring& address) {
    bool domain = EntryTypeOf(RowTag(list, row)) == EntryType::kDomain;
    // No user, machine or domain name holds a double quote; one from a hand-edited file would
    // close the quotes around the name and add arguments of its own to the NET command.
    if (address.find(L'"') != std::wstring::npos) {
      AppendLog(true, SendErrorLine(address,
                                    L"A user, machine or domain name cannot contain a "
                                    L"double quote (\")."));
      return false;
    }
    std::wstring parameters = NetSendParameters(address, domain, text);
    // Windows refuses a longer command line (the shell then reports nothing) and Wine cuts it
    // short: either way the recipient would not get the message that was typed.
    if (parameters.size() > kMaxNetParameterChars) {
      AppendLog(true, SendErrorLine(address, TooLongReason(L"the NET command", parameters.size(),
                                                           L"characters", kMaxNetParameterChars)));
      return false;
    }
    if (!ShellOpen(L"NET", parameters, L"", host.Owner())) {
      AppendLog(true, SendErrorLine(address, kUnconvertibleText));
      return false;
    }
    return true;
  });
}

void SendViaBroadcast(SendHost& host, uint32_t options) {
  std::wstring user = GetCurrentUserName(), text = host.MessageText();
  NetworkSend& network = StartNetworkSend(host.NetworkEndpoint(), App().networkPort,
                                          App().trustedNetworks, user, text);
  if (host.Relay() != nullptr) network.UseRelay(host.Relay(), true);
  if (options != 0) {
    network.AskForAcknowledgement(options, WindowAcknowledgements(),
                                  [](const std::wstring& line) { AppendLog(false, line); });
  }
  ForEachTickedRow(host, [&](HWND list, int row, const std::wstring& address) {
    AddBuiltInRecipient(network, user, text, address,
                        EntryTypeOf(RowTag(list, row)) == EntryType::kDomain, true);
    return true;  // every recipient was tried, and the log says how each went
  });
  // The lines are logged once the receipts are in.
  WaitForReceipts(network);
}

}  // namespace parvox
