// Socket error codes as the engine logs them: POSIX errno values and resolver
// results are translated to the Winsock code of the same meaning, so every log
// line names errors the same way ("WSAECONNREFUSED", "WSAHOST_NOT_FOUND", ...).
//
// The socket layer keeps the last error per thread, like WSAGetLastError: each
// failing call sets it before it builds its log line.
#pragma once

#include <string>

namespace fw {

// The Winsock numbers of the errors the engine can name.
enum SocketError : int {
    kWsaEintr = 10004,
    kWsaEbadf = 10009,
    kWsaEacces = 10013,
    kWsaEfault = 10014,
    kWsaEinval = 10022,
    kWsaEmfile = 10024,
    kWsaEwouldblock = 10035,
    kWsaEinprogress = 10036,
    kWsaEalready = 10037,
    kWsaEnotsock = 10038,
    kWsaEdestaddrreq = 10039,
    kWsaEmsgsize = 10040,
    kWsaEprototype = 10041,
    kWsaEnoprotoopt = 10042,
    kWsaEprotonosupport = 10043,
    kWsaEsocktnosupport = 10044,
    kWsaEopnotsupp = 10045,
    kWsaEpfnosupport = 10046,
    kWsaEafnosupport = 10047,
    kWsaEaddrinuse = 10048,
    kWsaEaddrnotavail = 10049,
    kWsaEnetdown = 10050,
    kWsaEnetunreach = 10051,
    kWsaEnetreset = 10052,
    kWsaEconnaborted = 10053,
    kWsaEconnreset = 10054,
    kWsaEnobufs = 10055,
    kWsaEisconn = 10056,
    kWsaEnotconn = 10057,
    kWsaEshutdown = 10058,
    kWsaEtoomanyrefs = 10059,
    kWsaEtimedout = 10060,
    kWsaEconnrefused = 10061,
    kWsaEloop = 10062,
    kWsaEnametoolong = 10063,
    kWsaEhostdown = 10064,
    kWsaEhostunreach = 10065,
    kWsaEnotempty = 10066,
    kWsaEproclim = 10067,
    kWsaEusers = 10068,
    kWsaEdquot = 10069,
    kWsaEstale = 10070,
    kWsaEremote = 10071,
    kWsaSysnotready = 10091,
    kWsaVernotsupported = 10092,
    kWsaNotinitialised = 10093,
    kWsaEdiscon = 10101,
    kWsaHostNotFound = 11001,
    kWsaTryAgain = 11002,
    kWsaNoRecovery = 11003,
    kWsaNoData = 11004,
};

// The constant's name for a Winsock error code ("WSAETIMEDOUT"); "Unknown" for
// any code outside the list above.
const char* SocketErrorName(int code);

// The Winsock code for an errno value. Values without a counterpart are
// returned unchanged (and are therefore logged as "Unknown").
int SocketErrorFromErrno(int error);

// The Winsock code for a getaddrinfo() result; `saved_errno` is consulted for
// EAI_SYSTEM.
int SocketErrorFromResolver(int result, int saved_errno);

// The calling thread's last socket error.
int LastSocketError();
void SetLastSocketError(int code);

// Records errno (translated) as the calling thread's last socket error.
void SetLastSocketErrorFromErrno();

// Logs "<prefix><name of the calling thread's last socket error>".
void LogSocketError(const char* prefix);

}  // namespace fw
