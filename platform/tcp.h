#pragma once
// TCP client sockets, the local host name and the local time, for the SMTP client.
//
// Error contract: nothing throws and no errno escapes. connect() and sendAll()
// return false on failure; receive() returns a ReceiveStatus. After a failure
// the socket stays usable only for close(); a socket whose peer has closed the
// stream reports Closed at once on every later receive().
//
// Timeouts: connect() is bounded by its own timeout (the system's own limit is
// minutes, during which the caller's thread would be frozen). receive() waits
// at most timeoutMs for the next data; a caller that loops over receive()
// therefore counts its timeout from the last data received. Writes never raise
// SIGPIPE.

#include "platform/controls.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace platform {

class TcpSocket {
public:
    TcpSocket() = default;
    ~TcpSocket(); // closes
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // host: a dotted IPv4 address, else a host name whose first IPv4 address is used.
    // Closes a connection that is still open first.
    bool connect(const Text& host, quint16 port, int timeoutMs);
    bool isOpen() const { return m_fd >= 0; }
    void close();

    bool sendAll(QByteArrayView data);

    enum class ReceiveStatus { Data, Timeout, Closed, Error };
    // Appends what arrives (at most maxBytes) to out; waits at most timeoutMs for it.
    ReceiveStatus receive(QByteArray& out, int timeoutMs, qsizetype maxBytes = 4096);

    // Totals over the life of the socket object, for measurements.
    quint64 bytesSent() const { return m_bytesSent; }
    quint64 bytesReceived() const { return m_bytesReceived; }

private:
    int m_fd = -1;
    bool m_peerClosed = false;
    quint64 m_bytesSent = 0;
    quint64 m_bytesReceived = 0;
};

// The machine's own name as the system reports it ("localhost" when it reports none).
Text localHostName();

struct LocalTime {
    int year = 1970;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int weekday = 4; // 0 = Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
    int utcOffsetMinutes = 0; // east of UTC is positive
};

LocalTime localTime();

} // namespace platform
