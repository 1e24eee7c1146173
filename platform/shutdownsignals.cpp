#include "platform/shutdownsignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler may only write a byte: everything else waits for the event loop.
int g_fds[2] = {-1, -1};
volatile std::sig_atomic_t g_requested = 0;
constexpr std::array kSignals = {SIGTERM, SIGHUP, SIGINT};

extern "C" void onSignal(int number) {
    const int saved = errno;
    g_requested = 1;
    const auto byte = static_cast<char>(number);
    // A full pipe means the loop has plenty to read already.
    [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &byte, 1);
    errno = saved;
}

} // namespace

void ShutdownSignals::catchSignals() {
    if (g_fds[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_fds) != 0) {
        g_fds[0] = g_fds[1] = -1;
        return;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kSignals)
        ::sigaction(number, &action, nullptr);
}

bool ShutdownSignals::requested() {
    return g_requested != 0;
}

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {
    catchSignals();
    if (g_fds[0] < 0)
        return;
    m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::readPending);
}

ShutdownSignals::~ShutdownSignals() {
    if (g_fds[0] < 0)
        return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int number : kSignals)
        ::sigaction(number, &action, nullptr);
    delete m_notifier;
    ::close(g_fds[0]);
    ::close(g_fds[1]);
    g_fds[0] = g_fds[1] = -1;
    g_requested = 0;
}

void ShutdownSignals::readPending() {
    std::array<char, 16> bytes{};
    const ssize_t n = ::read(g_fds[1], bytes.data(), bytes.size());
    for (ssize_t i = 0; i < n; ++i)
        Q_EMIT received(static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]));
}
