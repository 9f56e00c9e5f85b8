// Local channel on a Unix-domain stream socket.
#include "app/ui/local_channel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace terva::app::local_channel {

namespace {

bool addressFor(const std::string& name, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (name.empty() || name.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, name.data(), name.size());
  return true;
}

int streamSocket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0); }

// Connects to name: the descriptor, or -1 with errno of the failed step.
int connectTo(const std::string& name) {
  sockaddr_un address;
  if (!addressFor(name, address)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = streamSocket();
  if (fd < 0) return -1;
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Binds and listens on name: the descriptor, or -1 with errno of the failed step.
int bindAndListen(const std::string& name) {
  sockaddr_un address;
  if (!addressFor(name, address)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  // Only the user: the socket is made without access for others.
  const mode_t oldMask = ::umask(0077);
  const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int bindErr = errno;
  ::umask(oldMask);
  if (bound != 0 || ::listen(fd, 8) != 0) {
    const int err = bound != 0 ? bindErr : errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

}  // namespace

bool send(const std::string& name, const std::string& message) {
  const int fd = connectTo(name);
  if (fd < 0) return false;
  const bool sent = writeAll(fd, message);
  ::close(fd);
  return sent;
}

int listenAt(const std::string& name) {
  const int fd = bindAndListen(name);
  if (fd >= 0 || errno != EADDRINUSE) return fd;
  // Something is there already: a copy that answers keeps it; anything else
  // (a socket left by a copy that crashed, a stray file) is replaced.
  const int other = connectTo(name);
  if (other >= 0) {
    ::close(other);
    return -1;
  }
  ::unlink(name.c_str());
  return bindAndListen(name);
}

int acceptOne(int listening) {
  int fd;
  do {
    fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

long readSome(int connection, char* buffer, std::size_t size) {
  ssize_t n;
  do {
    n = ::recv(connection, buffer, size, 0);
  } while (n < 0 && errno == EINTR);
  if (n >= 0) return static_cast<long>(n);
  return errno == EAGAIN || errno == EWOULDBLOCK ? -1 : -2;
}

void closeChannel(int fd) {
  if (fd >= 0) ::close(fd);
}

void removeName(const std::string& name) { ::unlink(name.c_str()); }

}  // namespace terva::app::local_channel
