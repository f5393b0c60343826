#pragma once

namespace Velto::Net {

// Holds a TCP socket corked (TCP_CORK) for one scope: what is sent meanwhile
// leaves in full segments, and the rest when the cork is pulled on the way
// out. Failing to cork only costs packet sizes, so it is not reported.
class TcpCork {
public:
    explicit TcpCork(int socket);
    ~TcpCork();

    TcpCork(const TcpCork&) = delete;
    TcpCork& operator=(const TcpCork&) = delete;

private:
    int m_socket;
};

} // namespace Velto::Net
