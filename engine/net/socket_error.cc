#include "engine/net/socket_error.h"

#include <netdb.h>

#include <cerrno>
#include <string>

#include "engine/support/log.h"

namespace fw {
namespace {

thread_local int last_error = 0;

struct NamedError {
    int code;
    const char* name;
};

constexpr NamedError kNames[] = {
    {kWsaEintr, "WSAEINTR"},
    {kWsaEbadf, "WSAEBADF"},
    {kWsaEacces, "WSAEACCES"},
    {kWsaEfault, "WSAEFAULT"},
    {kWsaEinval, "WSAEINVAL"},
    {kWsaEmfile, "WSAEMFILE"},
    {kWsaEwouldblock, "WSAEWOULDBLOCK"},
    {kWsaEinprogress, "WSAEINPROGRESS"},
    {kWsaEalready, "WSAEALREADY"},
    {kWsaEnotsock, "WSAENOTSOCK"},
    {kWsaEdestaddrreq, "WSAEDESTADDRREQ"},
    {kWsaEmsgsize, "WSAEMSGSIZE"},
    {kWsaEprototype, "WSAEPROTOTYPE"},
    {kWsaEnoprotoopt, "WSAENOPROTOOPT"},
    {kWsaEprotonosupport, "WSAEPROTONOSUPPORT"},
    {kWsaEsocktnosupport, "WSAESOCKTNOSUPPORT"},
    {kWsaEopnotsupp, "WSAEOPNOTSUPP"},
    {kWsaEpfnosupport, "WSAEPFNOSUPPORT"},
    {kWsaEafnosupport, "WSAEAFNOSUPPORT"},
    {kWsaEaddrinuse, "WSAEADDRINUSE"},
    {kWsaEaddrnotavail, "WSAEADDRNOTAVAIL"},
    {kWsaEnetdown, "WSAENETDOWN"},
    {kWsaEnetunreach, "WSAENETUNREACH"},
    {kWsaEnetreset, "WSAENETRESET"},
    {kWsaEconnaborted, "WSAECONNABORTED"},
    {kWsaEconnreset, "WSAECONNRESET"},
    {kWsaEnobufs, "WSAENOBUFS"},
    {kWsaEisconn, "WSAEISCONN"},
    {kWsaEnotconn, "WSAENOTCONN"},
    {kWsaEshutdown, "WSAESHUTDOWN"},
    {kWsaEtoomanyrefs, "WSAETOOMANYREFS"},
    {kWsaEtimedout, "WSAETIMEDOUT"},
    {kWsaEconnrefused, "WSAECONNREFUSED"},
    {kWsaEloop, "WSAELOOP"},
    {kWsaEnametoolong, "WSAENAMETOOLONG"},
    {kWsaEhostdown, "WSAEHOSTDOWN"},
    {kWsaEhostunreach, "WSAEHOSTUNREACH"},
    {kWsaEnotempty, "WSAENOTEMPTY"},
    {kWsaEproclim, "WSAEPROCLIM"},
    {kWsaEusers, "WSAEUSERS"},
    {kWsaEdquot, "WSAEDQUOT"},
    {kWsaEstale, "WSAESTALE"},
    {kWsaEremote, "WSAEREMOTE"},
    {kWsaSysnotready, "WSASYSNOTREADY"},
    {kWsaVernotsupported, "WSAVERNOTSUPPORTED"},
    {kWsaNotinitialised, "WSANOTINITIALISED"},
    {kWsaEdiscon, "WSAEDISCON"},
    {kWsaHostNotFound, "WSAHOST_NOT_FOUND"},
    {kWsaTryAgain, "WSATRY_AGAIN"},
    {kWsaNoRecovery, "WSANO_RECOVERY"},
    {kWsaNoData, "WSANO_DATA"},
};

}  // namespace

const char* SocketErrorName(int code) {
    for (const NamedError& e : kNames) {
        if (e.code == code) return e.name;
    }
    return "Unknown";
}

int SocketErrorFromErrno(int error) {
    switch (error) {
        case EINTR: return kWsaEintr;
        case EBADF: return kWsaEbadf;
        case EACCES:
        case EPERM: return kWsaEacces;
        case EFAULT: return kWsaEfault;
        case EINVAL: return kWsaEinval;
        case EMFILE:
        case ENFILE: return kWsaEmfile;
        case EAGAIN: return kWsaEwouldblock;
        case EINPROGRESS: return kWsaEinprogress;
        case EALREADY: return kWsaEalready;
        case ENOTSOCK: return kWsaEnotsock;
        case EDESTADDRREQ: return kWsaEdestaddrreq;
        case EMSGSIZE: return kWsaEmsgsize;
        case EPROTOTYPE: return kWsaEprototype;
        case ENOPROTOOPT: return kWsaEnoprotoopt;
        case EPROTONOSUPPORT: return kWsaEprotonosupport;
        case ESOCKTNOSUPPORT: return kWsaEsocktnosupport;
        case EOPNOTSUPP: return kWsaEopnotsupp;
        case EPFNOSUPPORT: return kWsaEpfnosupport;
        case EAFNOSUPPORT: return kWsaEafnosupport;
        case EADDRINUSE: return kWsaEaddrinuse;
        case EADDRNOTAVAIL: return kWsaEaddrnotavail;
        case ENETDOWN: return kWsaEnetdown;
        case ENETUNREACH: return kWsaEnetunreach;
        case ENETRESET: return kWsaEnetreset;
        case ECONNABORTED: return kWsaEconnaborted;
        // Writing to a connection the peer has dropped: Winsock reports a reset.
        case EPIPE:
        case ECONNRESET: return kWsaEconnreset;
        case ENOBUFS:
        case ENOMEM: return kWsaEnobufs;
        case EISCONN: return kWsaEisconn;
        case ENOTCONN: return kWsaEnotconn;
        case ESHUTDOWN: return kWsaEshutdown;
        case ETOOMANYREFS: return kWsaEtoomanyrefs;
        case ETIMEDOUT: return kWsaEtimedout;
        case ECONNREFUSED: return kWsaEconnrefused;
        case ELOOP: return kWsaEloop;
        case ENAMETOOLONG: return kWsaEnametoolong;
        case EHOSTDOWN: return kWsaEhostdown;
        case EHOSTUNREACH: return kWsaEhostunreach;
        case ENOTEMPTY: return kWsaEnotempty;
        case EUSERS: return kWsaEusers;
        case EDQUOT: return kWsaEdquot;
        case ESTALE: return kWsaEstale;
        case EREMOTE: return kWsaEremote;
        default: return error;
    }
}

int SocketErrorFromResolver(int result, int saved_errno) {
    switch (result) {
        case EAI_NONAME: return kWsaHostNotFound;
        case EAI_AGAIN: return kWsaTryAgain;
#ifdef EAI_NODATA
        case EAI_NODATA: return kWsaNoData;
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY: return kWsaNoData;
#endif
        case EAI_MEMORY: return kWsaEnobufs;
        case EAI_SYSTEM: return SocketErrorFromErrno(saved_errno);
        default: return kWsaNoRecovery;
    }
}

int LastSocketError() { return last_error; }

void SetLastSocketError(int code) { last_error = code; }

void SetLastSocketErrorFromErrno() { last_error = SocketErrorFromErrno(errno); }

void LogSocketError(const char* prefix) {
    std::string line(prefix);
    line += SocketErrorName(last_error);
    LogMessage(line);
}

}  // namespace fw
