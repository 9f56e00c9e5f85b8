#pragma once
// A local stream socket between copies of the program, by name (a path), in
// the operating system's own calls. The backend is local_channel_<platform>.cpp.
#include <cstddef>
#include <string>

namespace terva::app::local_channel {

// Sends message to the copy listening at name. True when one was listening
// and took the whole message.
bool send(const std::string& name, const std::string& message);

// Listens at name; a socket left there by a copy that no longer answers is
// replaced. Returns the listening descriptor, or -1 when the name cannot be
// used (too long, folder not writable) or another copy took it meanwhile.
// Only the user may connect.
int listenAt(const std::string& name);

// A waiting connection of a listening descriptor, non-blocking; -1 when none.
int acceptOne(int listening);

// Up to size bytes from a connection without waiting: the count, 0 at the end
// of the stream, -1 when nothing is there yet, -2 on an error.
long readSome(int connection, char* buffer, std::size_t size);

void closeChannel(int fd);
// Removes the name a listening copy used.
void removeName(const std::string& name);

}  // namespace terva::app::local_channel
