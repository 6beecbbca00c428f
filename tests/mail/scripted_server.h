#pragma once
// A scripted SMTP peer on 127.0.0.1 for tests run inside their own network
// namespace. Each accepted connection plays one script, then keeps reading
// (without answering) until the client closes, recording every byte received.

#include <QByteArray>
#include <atomic>
#include <thread>
#include <vector>

namespace mailtest {

struct Action {
    enum Kind { Send, Expect, Trickle, Pause, Close } kind;
    QByteArray bytes; // Send, Trickle
    int ms = 0;       // Trickle: between bytes; Pause
};

// Expect waits for one command line, or, after a "354" was sent, for the whole
// message up to its terminating ".".
inline Action send(const QByteArray& b) {
    return {Action::Send, b, 0};
}
inline Action expect() {
    return {Action::Expect, {}, 0};
}
inline Action trickle(const QByteArray& b, int ms) {
    return {Action::Trickle, b, ms};
}
inline Action pause(int ms) {
    return {Action::Pause, {}, ms};
}
inline Action hangUp() {
    return {Action::Close, {}, 0};
}

using Script = std::vector<Action>;

class ScriptedServer {
public:
    // Listens at once; plays the scripts on the connections in the order they come.
    explicit ScriptedServer(std::vector<Script> scripts, unsigned short port = 25);
    ~ScriptedServer();

    bool listening() const { return m_listen >= 0; }
    // Waits (bounded) until every connection that came has ended; then the records are complete.
    void finish();
    int accepted() const { return m_accepted; }
    QByteArray received(int connection) const;

private:
    void run();
    void play(int fd, const Script& script, QByteArray& record);

    std::vector<Script> m_scripts;
    std::vector<QByteArray> m_records;
    int m_listen = -1;
    std::atomic<int> m_accepted{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace mailtest
