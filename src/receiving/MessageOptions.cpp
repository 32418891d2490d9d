// Option bits against the sender's trust, and their words.
#include "receiving/MessageOptions.h"

#include "network/NetworkDatagram.h"

namespace parvox {

HonouredOptions HonourOptions(uint32_t options, Trust trust) {
  HonouredOptions honoured;
  bool askedUrgent = (options & kOptionUrgent) != 0;
  bool shown = trust == Trust::kVerified || trust == Trust::kFirstContact ||
               trust == Trust::kChangedKey || trust == Trust::kClockSkew;
  honoured.urgent = askedUrgent && trust == Trust::kVerified;
  honoured.urgentRefused = askedUrgent && !honoured.urgent && shown;
  honoured.acknowledgementRequested =
      shown && (askedUrgent || (options & kOptionAcknowledgementRequested) != 0);
  return honoured;
}

std::wstring OptionsNote(const HonouredOptions& options) {
  std::wstring note;
  if (options.urgent) note = L"URGENT: this message is urgent.";
  if (options.urgentRefused) {
    note =
        L"The sender asked for this message to be urgent; it is shown as an ordinary one, as "
        L"only a sender whose key is known here may send urgent messages.";
  }
  if (options.acknowledgementRequested) {
    note += std::wstring(note.empty() ? L"" : L" ") +
            L"The sender asks you to acknowledge it: press Acknowledge once you have read it.";
  }
  return note;
}

std::wstring ExpiredNote(std::wstring_view expiredTime) {
  return L"This message expired at " + std::wstring(expiredTime) + L".";
}

}  // namespace parvox
