#include "display.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace kelvane {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool ConnectUnix(const std::string& path, bool abstract) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;
  if (path.size() + offset >= sizeof address.sun_path) {
    ::close(fd);
    return false;
  }
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const socklen_t length =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
  const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
  ::close(fd);
  return connected;
}

bool ConnectTcp(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool connected = false;
  for (addrinfo* a = found; a && !connected; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    ::close(fd);
  }
  ::freeaddrinfo(found);
  return connected;
}

// DISPLAY is [host]:number[.screen]; an empty host or "unix" is the local
// socket (abstract or in /tmp/.X11-unix).
bool XServerReachable(const std::string& display) {
  const std::size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string host = display.substr(0, colon);
  const int number = std::atoi(display.c_str() + colon + 1);
  if (host.empty() || host == "unix") {
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
    return ConnectUnix(socket, true) || ConnectUnix(socket, false);
  }
  return ConnectTcp(host, 6000 + number);
}

}  // namespace

bool DisplayAvailable(std::string& why) {
  const std::string platform = Environment("QT_QPA_PLATFORM");
  if (!platform.empty() && platform.rfind("xcb", 0) != 0 && platform.rfind("wayland", 0) != 0) {
    return true;  // a platform of its own choosing, such as offscreen
  }
  const std::string wayland = Environment("WAYLAND_DISPLAY");
  if (!wayland.empty()) {
    const std::string socket =
        wayland[0] == '/' ? wayland : Environment("XDG_RUNTIME_DIR") + "/" + wayland;
    struct stat info {};
    if (::stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) return true;
  }
  const std::string display = Environment("DISPLAY");
  if (!display.empty() && XServerReachable(display)) return true;
  if (display.empty() && wayland.empty()) {
    why = "没有图形显示（DISPLAY 与 WAYLAND_DISPLAY 均未设置），无法打开窗口。";
  } else {
    why = "无法连接图形显示 “" + (display.empty() ? wayland : display) + "”，无法打开窗口。";
  }
  return false;
}

}  // namespace kelvane
