// The Send command and its two paths: the NET command per recipient, or the built-in mailslot
// send that logs each recipient's outcome.
#pragma once

namespace parvox {

class MainWindow;

// Checks that there is something to send and someone to send it to, then sends.
void SendCommand(MainWindow& main);
void SendViaWindows(MainWindow& main);
void SendViaBroadcast(MainWindow& main);

}  // namespace parvox
