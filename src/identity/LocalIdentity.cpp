// Reads this computer's names from the system: NetBIOS and DNS names, the domain or workgroup it
// joined, and the logged-on user.
#include "identity/LocalIdentity.h"

#include <windows.h>
// lm.h needs the base types first.
#include <lm.h>

#include "identity/ThisComputer.h"

namespace parvox {
namespace {

std::wstring ComputerName(COMPUTER_NAME_FORMAT format) {
  wchar_t buffer[256];
  DWORD length = static_cast<DWORD>(std::size(buffer));
  if (!GetComputerNameExW(format, buffer, &length)) return std::wstring();
  return std::wstring(buffer, length);
}

}  // namespace

std::wstring JoinedDomainOrWorkgroup() {
  wchar_t* name = nullptr;
  NETSETUP_JOIN_STATUS status = NetSetupUnknownStatus;
  if (NetGetJoinInformation(nullptr, &name, &status) != NERR_Success) return std::wstring();
  std::wstring joined =
      name != nullptr && (status == NetSetupDomainName || status == NetSetupWorkgroupName) ? name
                                                                                           : L"";
  NetApiBufferFree(name);
  return joined;
}

LocalIdentity ReadLocalIdentity(const std::vector<InterfaceAddress>& interfaces) {
  LocalIdentity identity;
  identity.computerName = GetThisComputerName();
  // The name this computer's own messages carry as From.
  identity.userName = GetCurrentUserName();
  for (std::wstring alias :
       {JoinedDomainOrWorkgroup(), ComputerName(ComputerNameDnsDomain),
        ComputerName(ComputerNameDnsHostname), ComputerName(ComputerNameDnsFullyQualified)}) {
    if (!alias.empty()) identity.aliases.push_back(std::move(alias));
  }
  // Loopback addresses stay out: they name this computer only to itself.
  for (const InterfaceAddress& entry : interfaces) {
    if (!IsLoopback(entry.address)) identity.aliases.push_back(FormatIpAddress(entry.address));
  }
  return identity;
}

}  // namespace parvox
