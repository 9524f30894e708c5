// Where clients come from: a TCP port or a named pipe. A listener binds when
// it is made (so errors and ephemeral ports are known at once) and accepts on
// the host's I/O thread from Start to Stop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <asio.hpp>

#include "connection.h"

namespace simhost {

class Listener {
 public:
  using OnAccept = std::function<void(std::shared_ptr<Connection>)>;
  virtual ~Listener() = default;
  // Accepts one connection after another, handing each to `onAccept`. I/O thread.
  virtual void Start(OnAccept onAccept) = 0;
  // Stops accepting and releases the port or pipe. I/O thread.
  virtual void Stop() = 0;
  // "tcp4 127.0.0.1:500", "pipe \\.\pipe\Microsoft Flight Simulator\SimConnect".
  virtual std::string Describe() const = 0;
  // The bound TCP port; 0 for a pipe.
  virtual std::uint16_t Port() const { return 0; }
};

// The simulator's own pipe name, and the full path of a pipe name.
inline constexpr const char* kDefaultPipeName = "Microsoft Flight Simulator\\SimConnect";
inline std::string PipePath(const std::string& name) { return "\\\\.\\pipe\\" + name; }

// Listens on the loopback address (127.0.0.1, or ::1 when `v6`); port 0 takes
// an ephemeral port. Throws std::system_error when it cannot bind.
std::unique_ptr<Listener> MakeTcpListener(asio::io_context& io, bool v6, std::uint16_t port);

// Listens on the named pipe \\.\pipe\<name>: a Win32 named pipe on Windows, a
// Unix stream socket in Linux's abstract namespace named by the whole pipe
// path elsewhere. Throws std::system_error when it cannot.
std::unique_ptr<Listener> MakePipeListener(asio::io_context& io, const std::string& name);

}  // namespace simhost
