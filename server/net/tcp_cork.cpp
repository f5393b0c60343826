#include "server/net/tcp_cork.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace Velto::Net {
namespace {

void SetCork(int socket, int on) {
    (void)::setsockopt(socket, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
}

} // namespace

TcpCork::TcpCork(int socket) : m_socket(socket) {
    SetCork(m_socket, 1);
}

TcpCork::~TcpCork() {
    SetCork(m_socket, 0);
}

} // namespace Velto::Net
