#pragma once
// A name lookup that its caller can give up on. getaddrinfo cannot be cut short, so it runs on a
// thread of its own, which frees its answer itself when nobody waits for it any more: a station
// whose name server does not answer never holds the thread that asked (nor the exit that joins
// that thread) longer than the connect time-out.
#include <atomic>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#endif

namespace kaldor {

// getaddrinfo's code and list (freed with freeaddrinfo), or EAI_AGAIN when timeoutMs passed or
// stop became true first.
int LookUpName(const std::string& host, const std::string& port, const addrinfo& hints,
               int timeoutMs, const std::atomic<bool>& stop, addrinfo** list);

} // namespace kaldor
