// flood: load and soak figures for the whole receive path of the real Linux
// bridge. simhost runs in this process on a pipe of its own; the bridge runs
// as a copy in a work folder (its GLOBAL profile beside it registers N
// variables) with virtual_unit preloaded. simhost floods it with value
// messages for every request, plus the ticks, and this program measures:
//   - value messages per second taken by the bridge (read, cut, queued,
//     dispatched, stored), and how long its backlog took to drain after the
//     flood stopped: a menu pick sent after the last value is answered only
//     once everything before it went through dispatch;
//   - the bridge's CPU time (user + system) and resident memory every second;
//   - the same stream taken by a plain socket reader that only reads and
//     counts: the bridge's own client messages (up to the flood) are replayed
//     to simhost, so that it sends the identical stream.
//
//   flood --bridge PATH --unit LIBVIRTUAL_UNIT [--seconds S] [--reader-seconds R]
//         [--variables N] [--warmup W] [--curve FILE]
#include <signal.h>
#include <stddef.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "listener.h"
#include "sim_host.h"
#include "simlink/simconnect.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Settings {
  std::string bridge, unit, curve;
  int seconds = 30;
  int readerSeconds = -1;  // default: min(seconds, 30)
  int variables = 500;
  int warmup = 10;
};

[[noreturn]] void Die(const std::string& why) {
  std::cerr << "flood: " << why << std::endl;
  std::exit(1);
}

// ---- The bridge's set-up ------------------------------------------------------
// The variable of index i: Bool for even i, a number in feet for odd i, so
// that both value sizes (4 and 8 bytes) travel.
std::string Reference(int i) { return "A:FLOOD VALUE " + std::to_string(i) + (i % 2 ? ",feet" : ",Bool"); }

std::string Condition(int i) {
  return "{\"Condition\": \"" + Reference(i) + "\", \"ConditionValue\": " + (i % 2 ? "\">=100\"" : "true") + "}";
}

// The gate on variable 0, the other variables spread over the unit's 28 LEDs
// as OR lists.
std::string Profile(int variables) {
  std::vector<std::pair<int, int>> leds;
  for (int byte = 1; byte <= 4; ++byte)
    for (int bit = 0; bit < (byte == 4 ? 4 : 8); ++bit) leds.emplace_back(byte, bit);
  std::vector<std::vector<int>> lists(leds.size());
  for (int i = 1; i < variables; ++i) lists[(i - 1) % leds.size()].push_back(i);
  std::ostringstream s;
  s << "{\n  \"SaveName\": \"Flood\",\n  \"Language\": \"en\",\n  \"LEDs\": [\n";
  s << "    {\"ByteIndex\": 0, \"BitIndex\": 0, \"Condition\": \"" << Reference(0) << "\", \"ConditionValue\": false}";
  for (std::size_t l = 0; l < leds.size(); ++l) {
    if (lists[l].empty()) continue;
    s << ",\n    {\"ByteIndex\": " << leds[l].first << ", \"BitIndex\": " << leds[l].second << ", \"en\": \"LED "
      << l << "\", \"ConditionLogic\": \"OR\", \"Conditions\": [";
    for (std::size_t k = 0; k < lists[l].size(); ++k) s << (k ? ", " : "") << Condition(lists[l][k]);
    s << "]}";
  }
  s << "\n  ]\n}\n";
  return s.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  if (!out) Die("cannot write " + path.string());
}

// ---- /proc ---------------------------------------------------------------------
// User and system CPU seconds of a process.
struct Cpu {
  double user = 0, system = 0;
  double total() const { return user + system; }
};

Cpu CpuOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');  // the command name may hold blanks
  if (close == std::string::npos) return {};
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int n = 3; fields >> field; ++n) {  // field 3 is the state
    if (n == 14) utime = std::stoull(field);
    if (n == 15) {
      stime = std::stoull(field);
      break;
    }
  }
  const double tick = double(sysconf(_SC_CLK_TCK));
  return Cpu{double(utime) / tick, double(stime) / tick};
}

long RssKiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// ---- The plain reader ----------------------------------------------------------
// Connects to simhost's pipe (an abstract Unix socket named by the pipe path).
int ConnectPipe(const std::string& name) {
  const std::string path = simhost::PipePath(name);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() + 1 > sizeof address.sun_path) Die("pipe name too long");
  std::memcpy(address.sun_path + 1, path.data(), path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address),
                        socklen_t(offsetof(sockaddr_un, sun_path) + 1 + path.size())) != 0)
    Die("the plain reader cannot connect");
  return fd;
}

// Reads until the stream ends and counts messages by kind, walking the size
// fields without copying anything.
struct PlainReader {
  std::atomic<std::uint64_t> values{0}, others{0}, bytes{0};
  std::atomic<bool> broken{false};

  void Run(int fd) {
    std::vector<std::uint8_t> buffer(1 << 16);
    std::uint8_t head[12];
    std::size_t headLength = 0;
    std::uint64_t skip = 0;
    for (;;) {
      const ssize_t n = read(fd, buffer.data(), buffer.size());
      if (n <= 0) return;
      bytes += std::uint64_t(n);
      for (std::size_t at = 0; at < std::size_t(n);) {
        if (skip > 0) {
          const std::size_t take = std::size_t(std::min<std::uint64_t>(skip, std::size_t(n) - at));
          skip -= take;
          at += take;
          continue;
        }
        head[headLength++] = buffer[at++];
        if (headLength < sizeof head) continue;
        headLength = 0;
        const std::uint32_t size = simhost::ReadU32(head), id = simhost::ReadU32(head + 8);
        if (size < sizeof head) {
          broken = true;
          return;
        }
        (id == SIMCONNECT_RECV_ID_SIMOBJECT_DATA ? values : others) += 1;
        skip = size - sizeof head;
      }
    }
  }
};

// ---- Phases --------------------------------------------------------------------
struct Sample {
  int second = 0;
  std::uint64_t values = 0;  // in that second
  double cpu = 0;            // CPU seconds in that second
  long rss = 0;
};

struct Phase {
  double seconds = 0;         // flood time, measured
  std::uint64_t values = 0;   // value messages simhost wrote during it
  double drainSeconds = 0;    // until the marker's answer after the flood
  Cpu cpu;                    // the bridge's, during flood and drain
  std::vector<Sample> samples;
};

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// Floods for `seconds`, calling `each` once a second with the values of that second.
Phase Flood(simhost::SimHost& host, int seconds, const std::function<void(Sample&)>& each) {
  Phase phase;
  const std::uint64_t start = host.Flood().valueMessages;
  const auto t0 = Clock::now();
  host.SetFlood(true);
  std::uint64_t last = start;
  for (int s = 1; s <= seconds; ++s) {
    std::this_thread::sleep_until(t0 + std::chrono::seconds(s));
    Sample sample;
    sample.second = s;
    const std::uint64_t now = host.Flood().valueMessages;
    sample.values = now - last;
    last = now;
    each(sample);
    phase.samples.push_back(sample);
  }
  host.SetFlood(false);
  phase.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  phase.values = host.Flood().valueMessages - start;
  return phase;
}

void PrintCurve(std::ostream& out, const std::vector<Sample>& samples, bool all) {
  out << "  second   values/s   bridge CPU %   VmRSS kB\n";
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (!all && i == 60) out << "  ...\n";
    if (!all && i >= 60 && i + 60 < samples.size()) continue;
    const Sample& s = samples[i];
    char line[96];
    std::snprintf(line, sizeof line, "  %6d %10llu %14.1f %10ld\n", s.second, (unsigned long long)s.values,
                  s.cpu * 100.0, s.rss);
    out << line;
  }
}

void Usage() {
  std::cerr << "usage: flood --bridge PATH --unit LIBVIRTUAL_UNIT [--seconds S] [--reader-seconds R]\n"
               "             [--variables N] [--warmup W] [--curve FILE]\n";
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) Usage();
    const std::string value = argv[++i];
    if (arg == "--bridge") settings.bridge = value;
    else if (arg == "--unit") settings.unit = value;
    else if (arg == "--curve") settings.curve = value;
    else if (arg == "--seconds") settings.seconds = std::atoi(value.c_str());
    else if (arg == "--reader-seconds") settings.readerSeconds = std::atoi(value.c_str());
    else if (arg == "--variables") settings.variables = std::atoi(value.c_str());
    else if (arg == "--warmup") settings.warmup = std::atoi(value.c_str());
    else Usage();
  }
  if (settings.bridge.empty() || settings.unit.empty() || settings.seconds < 1 || settings.variables < 1) Usage();
  if (settings.readerSeconds < 0) settings.readerSeconds = std::min(settings.seconds, 30);
  signal(SIGPIPE, SIG_IGN);

  // The work folder: the bridge copy, its GLOBAL profile, a SimConnect.cfg
  // naming a pipe of this run's own.
  char pattern[] = "/tmp/nimbra-flood-XXXXXX";
  if (mkdtemp(pattern) == nullptr) Die("cannot make a work folder");
  const fs::path work = pattern;
  const std::string pipe = "nimbra-flood-" + std::to_string(getpid());
  fs::copy_file(settings.bridge, work / "Nimbra_Bridge");
  fs::permissions(work / "Nimbra_Bridge", fs::perms::owner_all);
  WriteFile(work / "Velk_Throttle_Config.json", Profile(settings.variables));
  WriteFile(work / "SimConnect.cfg", "[SimConnect]\nProtocol=Pipe\nPort=" + pipe + "\n");

  simhost::Options options;
  options.pipeName = pipe;
  options.quiet = true;
  options.knownNamesOnly = false;  // placeholder names: the load is the point
  simhost::SimHost host(options);
  host.Start();

  // ---- The bridge -----------------------------------------------------------
  child::ChildProcess bridgeProcess;
  child::Launch launch;
  launch.executable = (work / "Nimbra_Bridge").string();
  launch.folder = work.string();
  launch.environment = {"LD_PRELOAD=" + fs::absolute(settings.unit).string(), "HOME=" + work.string()};
  launch.outFile = launch.errFile = (work / "bridge.err").string();
  std::string error;
  if (!bridgeProcess.Start(launch, &error)) Die(error);
  const pid_t bridge = bridgeProcess.pid();
  std::optional<int> exitCode;  // once it ended
  if (!host.WaitForClient(10s)) Die("the bridge did not connect (see " + work.string() + "/bridge.err)");
  auto showHideItem = [&]() -> std::optional<std::uint32_t> {
    for (const simhost::MenuItem& item : host.Menu())
      for (const simhost::MenuSubItem& sub : item.subItems)
        if (sub.text.find("Bindings") != std::string::npos && sub.text.find("Reload") == std::string::npos) return sub.id;
    return std::nullopt;
  };
  if (!WaitFor([&] { return host.Subscriptions().size() >= 4 && showHideItem(); }, 10s))
    Die("the bridge did not subscribe and add its menu");
  host.SendEvent("Sim", 1);
  host.SendAircraftLoaded("C:\\FloodSim\\SimObjects\\Airplanes\\Flood\\aircraft.cfg");
  if (!WaitFor([&] { return host.Requests().size() >= std::size_t(settings.variables); }, 60s))
    Die("the bridge registered " + std::to_string(host.Requests().size()) + " of " +
        std::to_string(settings.variables) + " variables (see " + work.string() + "/bridge.err)");
  const std::vector<simhost::ClientMessage> setUp = host.Messages();  // replayed to the plain reader

  const Cpu cpuBefore = CpuOf(bridge);
  double cpuLast = cpuBefore.total();
  bool bridgeGone = false;
  Phase through = Flood(host, settings.seconds, [&](Sample& s) {
    const double cpu = CpuOf(bridge).total();
    s.cpu = cpu - cpuLast;
    cpuLast = cpu;
    s.rss = RssKiB(bridge);
    if (!bridgeGone && (exitCode = bridgeProcess.Wait(0ms))) bridgeGone = true;
  });
  // Everything sent before the pick is dispatched before the pick: its answer
  // (the renamed item) marks the end of the backlog.
  const auto floodEnd = Clock::now();
  const std::size_t before = host.MessageCount();
  const auto item = showHideItem();
  bool drained = false;
  if (!bridgeGone && item && host.SendMenuPick(*item))
    drained = host.WaitForMessage(kSendMenuAddSubItem, before, 300s).has_value();
  through.drainSeconds = std::chrono::duration<double>(Clock::now() - floodEnd).count();
  const Cpu cpuAfter = CpuOf(bridge);
  through.cpu = Cpu{cpuAfter.user - cpuBefore.user, cpuAfter.system - cpuBefore.system};
  const long rssEnd = RssKiB(bridge);
  host.CloseClient();
  if (!exitCode) exitCode = bridgeProcess.Wait(30s);
  const bool exited = exitCode.has_value();
  if (!exited) bridgeProcess.Kill();
  host.WaitForDisconnect(10s);

  // ---- The plain reader on the identical stream ----------------------------
  PlainReader reader;
  const int fd = ConnectPipe(pipe);
  if (!host.WaitForConnections(2, 10s)) Die("simhost did not take the plain reader");
  std::thread readerThread([&] { reader.Run(fd); });
  for (const simhost::ClientMessage& m : setUp) {
    if (m.connection != 1 || m.refused) continue;
    for (std::size_t at = 0; at < m.bytes.size();) {
      const ssize_t n = write(fd, m.bytes.data() + at, m.bytes.size() - at);
      if (n <= 0) Die("the plain reader cannot write");
      at += std::size_t(n);
    }
  }
  if (!WaitFor([&] { return host.Requests().size() >= std::size_t(settings.variables); }, 30s))
    Die("the replayed requests did not arrive");
  const std::uint64_t readBefore = reader.values;
  Phase plain = Flood(host, settings.readerSeconds, [](Sample&) {});
  const auto plainEnd = Clock::now();
  // The values written during the flood, plus the first value of each request.
  WaitFor([&] { return reader.values - readBefore >= plain.values; }, 30s);
  plain.drainSeconds = std::chrono::duration<double>(Clock::now() - plainEnd).count();
  const std::uint64_t plainRead = reader.values - readBefore;
  shutdown(fd, SHUT_RDWR);
  readerThread.join();
  close(fd);
  host.Stop();

  // ---- Figures ---------------------------------------------------------------
  const double bridgeRate = double(through.values) / (through.seconds + through.drainSeconds);
  const double plainRate = double(plain.values) / (plain.seconds + plain.drainSeconds);
  std::vector<long> warm;
  for (const Sample& s : through.samples)
    if (s.second > settings.warmup) warm.push_back(s.rss);
  auto minmax = std::minmax_element(warm.begin(), warm.end());
  std::ostringstream out;
  char line[200];
  out << "flood: " << settings.variables << " variables, bridge " << settings.bridge << "\n";
  std::snprintf(line, sizeof line,
                "bridge (through dispatch): %llu value messages in %.1f s flood + %.3f s drain = %.0f msg/s%s\n",
                (unsigned long long)through.values, through.seconds, through.drainSeconds, bridgeRate,
                drained ? "" : " (NOT DRAINED: no answer to the marker)");
  out << line;
  std::snprintf(line, sizeof line, "plain reader:               %llu value messages in %.1f s flood + %.3f s drain = %.0f msg/s (read %llu)%s\n",
                (unsigned long long)plain.values, plain.seconds, plain.drainSeconds, plainRate,
                (unsigned long long)plainRead, reader.broken ? " (STREAM BROKEN)" : "");
  out << line;
  std::snprintf(line, sizeof line, "ratio bridge / plain reader: %.3f\n", plainRate > 0 ? bridgeRate / plainRate : 0.0);
  out << line;
  const double elapsed = through.seconds + through.drainSeconds;
  std::snprintf(line, sizeof line,
                "bridge CPU: %.2f s user + %.2f s sys = %.2f s over %.1f s (%.1f %% of one core); %.3f us per message\n",
                through.cpu.user, through.cpu.system, through.cpu.total(), elapsed, 100.0 * through.cpu.total() / elapsed,
                through.values ? 1e6 * through.cpu.total() / double(through.values) : 0.0);
  out << line;
  if (!warm.empty()) {
    std::snprintf(line, sizeof line, "bridge VmRSS after %d s warm-up: min %ld kB, max %ld kB, end of flood %ld kB, after drain %ld kB\n",
                  settings.warmup, *minmax.first, *minmax.second, through.samples.back().rss, rssEnd);
    out << line;
  }
  out << "bridge exit: "
      << (bridgeGone ? "ended during the flood"
          : !exited ? "killed after 30 s"
          : *exitCode < 128 ? "status " + std::to_string(*exitCode)
                            : "signal " + std::to_string(*exitCode - 128))
      << "\n";
  out << "per second (first and last minute):\n";
  PrintCurve(out, through.samples, false);
  std::cout << out.str() << std::flush;
  if (!settings.curve.empty()) {
    std::ofstream curve(settings.curve);
    PrintCurve(curve, through.samples, true);
  }
  fs::remove_all(work);
  const bool ok = drained && !bridgeGone && exited && *exitCode == 0 && !reader.broken;
  return ok ? 0 : 1;
}
