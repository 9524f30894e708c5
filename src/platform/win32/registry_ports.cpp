// Registered ports: the values SimConnect_Port_IPv4 and SimConnect_Port_IPv6
// under HKEY_CURRENT_USER\SOFTWARE\Microsoft\Microsoft Games\KittyHawk.
#include "platform/registry_ports.h"

#include <windows.h>

namespace platform {

std::string ReadRegisteredPort(AddressFamily family) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegisteredPortsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  // One byte more than is asked for stays zero, so the text always ends even
  // when the stored value carries no terminator.
  char data[kRegisteredPortBytes + 1] = {};
  DWORD length = kRegisteredPortBytes;
  const LONG result =
      RegQueryValueExA(key, RegisteredPortName(family), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &length);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return {};
  return data;
}

}  // namespace platform
