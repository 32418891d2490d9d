// Wire times in the user's own time zone and format.
#include "components/LocalTime.h"

#include <windows.h>

#include <algorithm>

namespace parvox {

std::wstring LocalTimeText(uint64_t secondsSince1970) {
  constexpr uint64_t kFrom1601 = 11644473600;
  // Far beyond any real time: held where FILETIME still counts.
  ULARGE_INTEGER ticks;
  ticks.QuadPart = (std::min<uint64_t>(secondsSince1970, 1ull << 34) + kFrom1601) * 10000000;
  FILETIME utc{ticks.LowPart, ticks.HighPart};
  SYSTEMTIME universal, local, today;
  if (!FileTimeToSystemTime(&utc, &universal) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
    return {};
  }
  wchar_t time[128] = L"", date[128] = L"";
  GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, time, 128);
  GetLocalTime(&today);
  if (today.wYear == local.wYear && today.wMonth == local.wMonth && today.wDay == local.wDay) {
    return time;
  }
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 128);
  return std::wstring(date) + L" " + time;
}

}  // namespace parvox
