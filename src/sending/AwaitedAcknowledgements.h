// Acknowledgements as the sender takes them: checked cheaply against what a ledger awaits, then
// by signature against the keys known here, and worded for the log. The window keeps one ledger
// for all its sends, in this user's file while it is closed, so that acknowledgements the relay
// held meanwhile still find their message; a script's send keeps its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "network/NetworkDatagram.h"
#include "sending/AcknowledgementLedger.h"

namespace parvox {

AcknowledgementLedger& WindowAcknowledgements();

// The log's line for an acknowledgement of a message `ledger` awaits (the sender's
// acknowledgement, or why it proves nothing); none for one that answers nothing awaited, or is
// not what it claims. When the last one awaited comes, the line says everyone acknowledged.
std::optional<std::wstring> TakeAcknowledgement(AcknowledgementLedger& ledger,
                                                const SignedReceipt& acknowledgement);
// Who has not acknowledged each send awaited, a line per send: what the log shows when asked.
std::vector<std::wstring> AwaitedAcknowledgementLines(const AcknowledgementLedger& ledger);
// The lines of the sends whose messages expired since, which are then no longer awaited.
std::vector<std::wstring> TakeExpiredAcknowledgementLines(AcknowledgementLedger& ledger);

// The window's ledger from (in place of what it held) and to
// %LOCALAPPDATA%\Parvox\Awaited Acknowledgements.dat.
void LoadWindowAcknowledgements();
void SaveWindowAcknowledgements();

}  // namespace parvox
