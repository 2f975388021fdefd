// vrqsim: the stand-in queue manager's command line. Creates, starts, stops, deletes and
// reports on queue managers under $VRQSIM_DIR, runs one in the foreground, puts, gets and
// browses messages, displays, clears, defines, alters and deletes queues on a running one,
// and injects faults for tests (put-inhibit a queue, stop the command server, drop
// connections).
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "authentication.h"
#include "command_server.h"
#include "definitions.h"
#include "installation.h"
#include "message_commands.h"
#include "protocol.h"
#include "platform.h"
#include "qm_dir.h"
#include "recovery_log.h"
#include "server.h"
#include "socket_io.h"
#include "tcp_listener.h"
#include "tls_front.h"

namespace fs = std::filesystem;
using namespace vrqsim;

namespace {

constexpr const char* kUsage =
    "usage: vrqsim <command> [arguments]\n"
    "\n"
    "A stand-in queue manager for testing MQI programs without IBM MQ.\n"
    "\n"
    "Queue managers:\n"
    "  create <qm> [-d <definition file>] [-D]   create a queue manager (-D: make it the default;\n"
    "                                            the first one created is the default too)\n"
    "  start <qm>                                start it in the background\n"
    "  run <qm>                                  run it in the foreground (ends on SIGINT/SIGTERM)\n"
    "  stop <qm>                                 stop it; its connections end with 2009\n"
    "  delete <qm>                               delete a stopped queue manager\n"
    "  status [<qm>]                             running or stopped, with the queues of a running\n"
    "                                            one (exit status 0 when all are running)\n"
    "\n"
    "Messages (on a running queue manager):\n"
    "  put <qm> <queue> <text>|-f <file> [--reply-to <queue>] [--persistent] [--expiry <tenths>]\n"
    "      [--correl-id <hex>]                   put one message (a request when it has a reply-to)\n"
    "  get <qm> <queue> [--wait <ms>] [--count <n>|all]      take messages, printing each\n"
    "  browse <qm> <queue> [--wait <ms>] [--count <n>|all]   print messages, leaving them\n"
    "\n"
    "Queues (on a running queue manager):\n"
    "  display <qm> [<queue>|<prefix>*]          name, type, depth, maximum depth, open counts\n"
    "  depth <qm> [<queue>|<prefix>*]            the same\n"
    "  clear <qm> <queue>                        remove every message of a local queue\n"
    "  define <qm> QLOCAL(<q>)|QMODEL(<q>) [<attribute>...] [REPLACE]\n"
    "  alter <qm> QLOCAL(<q>)|QMODEL(<q>) <attribute>...\n"
    "  delete <qm> QLOCAL(<q>)|QMODEL(<q>) [PURGE]\n"
    "\n"
    "Faults for tests:\n"
    "  fault <qm> put-inhibit <queue>            puts to the queue fail with 2051\n"
    "  fault <qm> put-allow <queue>              puts to the queue are allowed again\n"
    "  fault <qm> cmdserver stop|start           stop or start the command server alone\n"
    "  fault <qm> cmdserver delay <ms>           answer one command per <ms> (0: at once)\n"
    "  fault <qm> drop-connections               break every client connection (2009)\n"
    "  fault <qm> crash                          end the queue manager process at once\n"
    "  fault <qm> log-write-fail|log-write-ok    recovery log writes fail as on a full disk, or not\n"
    "\n"
    "  help                                      this list\n"
    "\n"
    "Queue managers live in $VRQSIM_DIR (default /tmp/vrqsim-<uid>), one folder each, with\n"
    "the Unix-domain socket that MQCONN reaches. The definition file holds lines such as\n"
    "  DEFINE QLOCAL(APP.IN) MAXDEPTH(100) DESCR('requests')\n"
    "  DEFINE QMODEL(APP.MODEL) DEFTYPE(PERMDYN)\n"
    "  ALTER QLOCAL(SYSTEM.DEFAULT.LOCAL.QUEUE) MAXDEPTH(100000)\n"
    "read at every start; define, alter and delete take the same attributes. The system\n"
    "queues SYSTEM.ADMIN.COMMAND.QUEUE, SYSTEM.DEAD.LETTER.QUEUE, SYSTEM.DEFAULT.LOCAL.QUEUE\n"
    "and SYSTEM.DEFAULT.MODEL.QUEUE always exist.\n"
    "\n"
    "Exit status: 0 done, 1 failed (the reason on standard error), 2 unknown or no command.\n"
    "\n"
    "Persistent messages, units of work and queues defined, altered or deleted at run time are\n"
    "kept in the recovery log (<qm folder>/recovery.log) and come back at the next start, after\n"
    "a stop or a crash; non-persistent messages, temporary dynamic queues and subscriptions do\n"
    "not. A damaged log stops the start, naming the file and offset, and is left as it is.\n"
    "\n"
    "Limits: without channels a queue manager produces no EXCEPTION reports (a put to a\n"
    "missing or put-inhibited local queue fails at once with 2085 or 2051).\n";

int Fail(const std::string& text) {
  std::fprintf(stderr, "vrqsim: %s\n", text.c_str());
  return 1;
}

bool Running(const std::string& qm) {
  const int fd = ConnectUnix(SocketPath(qm));
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool Exists(const std::string& qm) { return fs::is_directory(QmDir(qm)); }

std::string Missing(const std::string& qm) { return "queue manager " + qm + " does not exist"; }

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Sends one admin request to a running queue manager.
bool AdminRequest(const std::string& qm, const std::string& command, std::string& text) {
  const int fd = ConnectUnix(SocketPath(qm));
  if (fd < 0) {
    text = "queue manager " + qm + " is not running";
    return false;
  }
  Writer w;
  Encode(w, vrqsim::AdminRequest{command});
  AdminReply reply;
  uint32_t code = 0;
  std::vector<uint8_t> payload;
  const bool ok = SendAll(fd, w.frame(static_cast<uint32_t>(Op::Admin))) && ReadFrame(fd, code, payload) &&
                  Decode(payload, reply);
  close(fd);
  text = ok ? reply.text : "no answer from queue manager " + qm;
  return ok && reply.ok;
}

int Create(const std::vector<std::string>& args) {
  if (args.empty() || !ValidObjectName(args[0])) return Fail("create needs a valid queue manager name");
  const std::string& qm = args[0];
  std::string defs;
  bool make_default = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "-D") {
      make_default = true;
    } else if (args[i] == "-d" && i + 1 < args.size()) {
      const std::string path = args[++i];
      if (!fs::is_regular_file(path)) return Fail("no definition file " + path);
      defs = ReadText(path);
    } else {
      return Fail("unknown option " + args[i]);
    }
  }
  std::vector<Definition> parsed;
  TlsSettings tls;
  std::string error;
  SecurityConfig security;
  if (!ParseQmDefinitions(defs, parsed, tls, security, error)) return Fail("definition file: " + error);
  std::error_code ec;
  fs::create_directories(SimDir(), ec);
  if (Exists(qm)) return Fail("queue manager " + qm + " already exists");
  if (!fs::create_directory(QmDir(qm), ec)) return Fail("cannot create " + QmDir(qm));
  std::ofstream(DefinitionsPath(qm), std::ios::binary) << defs;
  if (make_default || !DefaultQmName()) std::ofstream(DefaultQmPath()) << qm << "\n";
  if (!RegisterInInstallation(qm, make_default, error)) return Fail(error);
  std::printf("queue manager %s created\n", qm.c_str());
  return 0;
}

int Delete(const std::string& qm) {
  if (!Exists(qm)) return Fail(Missing(qm));
  if (Running(qm)) return Fail("queue manager " + qm + " is running; stop it first");
  std::error_code ec;
  fs::remove_all(QmDir(qm), ec);
  if (DefaultQmName() == qm) fs::remove(DefaultQmPath(), ec);
  std::printf("queue manager %s deleted\n", qm.c_str());
  return 0;
}

extern "C" void OnSignal(int) { Server::RequestStop(); }

// Runs the queue manager in this process until it is stopped.
int Serve(const std::string& qm) {
  if (!Exists(qm)) return Fail(Missing(qm));
  std::vector<Definition> defs;
  TlsSettings tls;
  std::string error;
  SecurityConfig config;
  if (!ParseQmDefinitions(ReadText(DefinitionsPath(qm)), defs, tls, config, error))
    return Fail("definition file: " + error);
  Security security(qm, config);
  if (!security.Load(error)) return Fail(error);
  QueueManager manager(qm);
  if (!ApplyDefinitions(manager, defs, error)) return Fail(error);
  if (Running(qm)) return Fail("queue manager " + qm + " is already running");
  RecoveryLog recovery(QmDir(qm));
  if (!recovery.Lock(error) || !recovery.Recover(manager, error) || !recovery.Start(manager, error))
    return Fail(error);
  manager.AttachLog(&recovery);

  const std::string path = SocketPath(qm);
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) return Fail("socket path too long: " + path);
  unlink(path.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 128) != 0)
    return Fail("cannot listen on " + path + ": " + std::strerror(errno));
  std::string tcp_error;
  // TLS connections reach the queue manager through its plain TCP listener (on loopback
  // unless VRQSIM_TCP_ADDRESS says otherwise), so the TLS port brings that one up too.
  if (std::getenv("VRQSIM_TLS_PORT") && !std::getenv(kTcpPortEnv)) setenv(kTcpPortEnv, "0", 1);
  const int tcp_fd = ListenLoopback(qm, tcp_error);
  std::unique_ptr<TlsListener> tls_listener;
  if (tcp_error.empty()) tls_listener = TlsListener::Start(qm, tls, tcp_fd, tcp_error);
  if (!tcp_error.empty()) {
    if (tcp_fd >= 0) close(tcp_fd);
    close(fd);
    unlink(path.c_str());
    return Fail(tcp_error);
  }
  std::ofstream(PidPath(qm)) << getpid() << "\n";

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  CommandServer cmd(manager);
  cmd.Start();
  Server server(manager, cmd, fd);
  if (tcp_fd >= 0) server.AlsoListen(tcp_fd);
  server.UseSecurity(&security);
  std::fprintf(stderr, "queue manager %s running (pid %d); recovery log %s: %zu messages restored, %zu units of work backed out\n",
               qm.c_str(), static_cast<int>(getpid()), recovery.path().c_str(), recovery.restored(), recovery.backed_out());
  const int status = server.Run();
  tls_listener.reset();
  cmd.Stop();
  close(fd);
  unlink(path.c_str());
  if (tcp_fd >= 0) {
    close(tcp_fd);
    unlink(PortPath(qm).c_str());
  }
  unlink(PidPath(qm).c_str());
  std::fprintf(stderr, "queue manager %s ended\n", qm.c_str());
  return status;
}

int Start(const std::string& qm) {
  if (!Exists(qm)) return Fail(Missing(qm));
  if (Running(qm)) return Fail("queue manager " + qm + " is already running");
  std::vector<Definition> defs;
  TlsSettings tls;
  std::string error;
  SecurityConfig config;
  if (!ParseQmDefinitions(ReadText(DefinitionsPath(qm)), defs, tls, config, error))
    return Fail("definition file: " + error);
  if (Security security(qm, config); !security.Load(error)) return Fail(error);
  // Definitions that cannot be carried out (ALTER of a missing queue, a name taken) are
  // reported here rather than only in the log of a server that did not start.
  QueueManager trial(qm);
  if (!ApplyDefinitions(trial, defs, error)) return Fail("definition file: " + error);
  if (!RecoveryLog(QmDir(qm)).Recover(trial, error)) return Fail(error);
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return Fail("fork failed");
  if (child == 0) {
    // The server runs detached, its output in the log, holding none of the caller's files.
    setsid();
    const int log = open(LogPath(qm).c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    dup2(log, 1);
    dup2(log, 2);
    for (int f = 3; f < 1024; ++f) close(f);
    _exit(Serve(qm));
  }
  for (int i = 0; i < 200; ++i) {
    if (Running(qm)) {
      std::printf("queue manager %s started\n", qm.c_str());
      return 0;
    }
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return Fail("queue manager " + qm + " did not start; see " + LogPath(qm));
}

int Stop(const std::string& qm) {
  std::string text;
  const std::string pid_text = ReadText(PidPath(qm));
  if (!AdminRequest(qm, "stop", text)) return Fail(text);
  const pid_t pid = static_cast<pid_t>(std::atoi(pid_text.c_str()));
  for (int i = 0; i < 200 && (Running(qm) || (pid > 0 && kill(pid, 0) == 0)); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::printf("queue manager %s stopped\n", qm.c_str());
  return 0;
}

int Status(const std::vector<std::string>& args) {
  std::vector<std::string> names;
  if (!args.empty()) {
    if (!Exists(args[0])) return Fail(Missing(args[0]));
    names.push_back(args[0]);
  } else {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(SimDir(), ec))
      if (e.is_directory()) names.push_back(e.path().filename().string());
  }
  bool all_running = true;
  for (const auto& qm : names) {
    const bool up = Running(qm);
    all_running = all_running && up;
    std::printf("%s %s%s\n", qm.c_str(), up ? "running" : "stopped", DefaultQmName() == qm ? " (default)" : "");
    std::string table;
    if (up && AdminRequest(qm, "display *", table)) {
      std::istringstream lines(table);
      for (std::string line; std::getline(lines, line);) std::printf("  %s\n", line.c_str());
    }
  }
  return all_running ? 0 : 1;
}

int Fault(const std::vector<std::string>& args) {
  if (args.size() < 2) return Fail("fault needs a queue manager and a fault");
  if (!Exists(args[0])) return Fail(Missing(args[0]));
  std::string command = args[1];
  for (size_t i = 2; i < args.size(); ++i) command += " " + args[i];
  if (args[1] == "crash") {
    // The process ends without answering, so success is judged by its socket going away.
    if (!Running(args[0])) return Fail("queue manager " + args[0] + " is not running");
    std::string ignored;
    AdminRequest(args[0], command, ignored);
    // Gone once its socket refuses connections: a start that follows finds it stopped.
    for (int i = 0; i < 200 && Running(args[0]); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::printf("queue manager %s crashed\n", args[0].c_str());
    return 0;
  }
  std::string text;
  const bool ok = AdminRequest(args[0], command, text);
  std::printf("%s\n", text.c_str());
  return ok ? 0 : 1;
}

// An operator command answered by the running queue manager: its text is printed, on
// standard output when it succeeded.
int Ask(const std::string& qm, const std::string& command) {
  if (!Exists(qm)) return Fail(Missing(qm));
  std::string text;
  if (!AdminRequest(qm, command, text)) return Fail(text);
  std::printf("%s\n", text.c_str());
  return 0;
}

std::string Joined(const std::vector<std::string>& args, size_t from) {
  std::string text;
  for (size_t i = from; i < args.size(); ++i) text += (text.empty() ? "" : " ") + args[i];
  return text;
}

// Commands on one queue manager that has to exist and, but for delete, run.
int OnQueueManager(const std::string& command, const std::vector<std::string>& args) {
  const std::string& qm = args[0];
  if (command == "start") return Start(qm);
  if (command == "run") return Serve(qm);
  if (command == "stop") return Exists(qm) ? Stop(qm) : Fail(Missing(qm));
  if (command == "fault") return Fault(args);
  if (command == "display" || command == "depth") {
    if (args.size() > 2) return Fail(command + " takes one queue name or prefix*");
    return Ask(qm, "display " + (args.size() > 1 ? args[1] : std::string("*")));
  }
  if (command == "clear") {
    if (args.size() != 2) return Fail("clear needs a queue manager and a queue");
    return Ask(qm, "clear " + args[1]);
  }
  if (command == "define" || command == "alter" || (command == "delete" && args.size() > 1)) {
    if (args.size() < 2) return Fail(command + " needs QLOCAL(name) or QMODEL(name)");
    std::string verb = command;
    for (char& c : verb) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return Ask(qm, "mqsc " + verb + " " + Joined(args, 1));
  }
  if (command == "delete") return Delete(qm);
  if (!Exists(qm)) return Fail(Missing(qm));
  if (command == "put") return PutCommand(args);
  return GetCommand(args, command == "browse");
}

constexpr const char* kQmCommands[] = {"start", "run",   "stop",  "delete", "fault",  "put",   "get",
                                       "browse", "display", "depth", "clear", "define", "alter"};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "help" || command == "-h" || command == "--help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "create") return Create(args);
  if (command == "status") return Status(args);
  if (std::find(std::begin(kQmCommands), std::end(kQmCommands), command) == std::end(kQmCommands)) {
    std::fprintf(stderr, "vrqsim: unknown command %s (vrqsim help lists the commands)\n", command.c_str());
    return 2;
  }
  if (args.empty() || !ValidObjectName(args[0])) return Fail(command + " needs a valid queue manager name");
  return OnQueueManager(command, args);
}
