// What the broker fixture (tests/relay/broker_fixture.sh) started: the ports of its listeners and
// the test CA, from the NAME=VALUE file that PARVOX_TEST_BROKER names.
#pragma once

#include <windows.h>

#include <fstream>
#include <map>
#include <string>

namespace parvox::test {

using BrokerSetup = std::map<std::string, std::string>;

// Empty when the test runs without the fixture.
inline BrokerSetup ReadBrokerSetup() {
  BrokerSetup setup;
  char path[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("PARVOX_TEST_BROKER", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return setup;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    size_t equals = line.find('=');
    if (equals != std::string::npos) setup[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return setup;
}

}  // namespace parvox::test
