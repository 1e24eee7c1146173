// A stand-in for an X session manager (XSMP over ICE, as a desktop's session
// manager runs it) for one client. Prints "SESSION_MANAGER=<ids>" once it
// listens (local connections only), then one line for each step of the
// client's side: "registered", "save-yourself-done <0|1>",
// "interact-request", "interact-done <cancel 0|1>", "restart-hint <0..3>",
// "close-connection" or "connection-lost". On SIGUSR1 it ends the session as a logout does:
// SaveYourself (save both, shutdown, no interaction, not fast), and after
// the client's SaveYourselfDone, Die a second later ("save-yourself-sent",
// "die-sent").
// Exits 0 once the client is gone after Die, 1 on any other end or after
// two minutes.

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t g_endSession = 0;
extern "C" void onUsr1(int /*signal*/) {
    g_endSession = 1;
}

struct Client {
    SmsConn sms = nullptr;
    IceConn ice = nullptr;
    bool registered = false;
    bool saving = false;
    bool dieSent = false;
    // When the client said it saved; Die follows a second later, as a
    // manager waits for its other clients, so a client that leaves before
    // Die is seen.
    std::time_t doneAt = 0;
    bool gone = false;
};
Client g_client;

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

void sayNumber(const char* what, int value) {
    std::printf("%s %d\n", what, value);
    std::fflush(stdout);
}

// Anyone on the local socket may talk to this manager: the test's own
// program has no ICE authority file.
Bool acceptAnyHost(char* /*hostname*/) {
    return True;
}

// The default handler exits the whole process on a broken connection.
void ignoreIoError(IceConn /*conn*/) {}

Status registerClient(SmsConn conn, SmPointer /*data*/, char* previousId) {
    std::free(previousId);
    char* id = SmsGenerateClientID(conn);
    std::string fallback = "1zvfakesm000000000000000000";
    SmsRegisterClientReply(conn, id != nullptr ? id : fallback.data());
    std::free(id);
    g_client.registered = true;
    say("registered");
    return 1;
}

void interactRequest(SmsConn /*conn*/, SmPointer /*data*/, int /*dialogType*/) {
    say("interact-request");
}

void interactDone(SmsConn /*conn*/, SmPointer /*data*/, Bool cancelShutdown) {
    sayNumber("interact-done", cancelShutdown != 0 ? 1 : 0);
}

void saveYourselfRequest(SmsConn /*conn*/, SmPointer /*data*/, int /*saveType*/, Bool /*shutdown*/,
                         int /*interactStyle*/, Bool /*fast*/, Bool /*global*/) {
    say("save-yourself-request");
}

void saveYourselfPhase2Request(SmsConn conn, SmPointer /*data*/) {
    say("phase2-request");
    SmsSaveYourselfPhase2(conn);
}

void saveYourselfDone(SmsConn /*conn*/, SmPointer /*data*/, Bool success) {
    sayNumber("save-yourself-done", success != 0 ? 1 : 0);
    if (g_client.saving && !g_client.dieSent)
        g_client.doneAt = std::time(nullptr);
}

void closeConnection(SmsConn conn, SmPointer /*data*/, int count, char** reasons) {
    SmFreeReasons(count, reasons);
    say("close-connection");
    IceConn ice = SmsGetIceConnection(conn);
    SmsCleanUp(conn);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    g_client.gone = true;
}

void setProperties(SmsConn /*conn*/, SmPointer /*data*/, int count, SmProp** props) {
    for (int i = 0; i < count; ++i) {
        const SmProp* prop = props[i];
        if (std::strcmp(prop->name, SmRestartStyleHint) == 0 && prop->num_vals == 1 &&
            prop->vals[0].length >= 1)
            sayNumber("restart-hint", *static_cast<const unsigned char*>(prop->vals[0].value));
        SmFreeProperty(props[i]);
    }
    std::free(props);
}

void deleteProperties(SmsConn /*conn*/, SmPointer /*data*/, int count, char** names) {
    for (int i = 0; i < count; ++i)
        std::free(names[i]);
    std::free(names);
}

void getProperties(SmsConn conn, SmPointer /*data*/) {
    SmsReturnProperties(conn, 0, nullptr);
}

Status newClient(SmsConn conn, SmPointer /*data*/, unsigned long* mask, SmsCallbacks* callbacks,
                 char** /*failureReason*/) {
    if (g_client.sms != nullptr)
        return 0;
    g_client.sms = conn;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask |
            SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask |
            SmsDeletePropertiesProcMask | SmsGetPropertiesProcMask;
    callbacks->register_client.callback = registerClient;
    callbacks->interact_request.callback = interactRequest;
    callbacks->interact_done.callback = interactDone;
    callbacks->save_yourself_request.callback = saveYourselfRequest;
    callbacks->save_yourself_phase2_request.callback = saveYourselfPhase2Request;
    callbacks->save_yourself_done.callback = saveYourselfDone;
    callbacks->close_connection.callback = closeConnection;
    callbacks->set_properties.callback = setProperties;
    callbacks->delete_properties.callback = deleteProperties;
    callbacks->get_properties.callback = getProperties;
    return 1;
}

void acceptConnection(IceListenObj listener) {
    IceAcceptStatus status = IceAcceptSuccess;
    IceConn ice = IceAcceptConnection(listener, &status);
    if (ice == nullptr || status != IceAcceptSuccess)
        return;
    IceConnectStatus connected = IceConnectPending;
    while ((connected = IceConnectionStatus(ice)) == IceConnectPending) {
        if (IceProcessMessages(ice, nullptr, nullptr) != IceProcessMessagesSuccess)
            break;
    }
    if (connected != IceConnectAccepted || g_client.ice != nullptr) {
        IceSetShutdownNegotiation(ice, False);
        IceCloseConnection(ice);
        return;
    }
    g_client.ice = ice;
}

} // namespace

int main() {
    std::array<char, 256> error{};
    if (SmsInitialize("zvonarka-fake-sm", "1.0", newClient, nullptr, acceptAnyHost,
                      static_cast<int>(error.size()), error.data()) == 0) {
        std::fprintf(stderr, "SmsInitialize: %s\n", error.data());
        return 1;
    }
    IceSetIOErrorHandler(ignoreIoError);
    int count = 0;
    IceListenObj* listeners = nullptr;
    if (IceListenForConnections(&count, &listeners, static_cast<int>(error.size()), error.data()) ==
        0) {
        std::fprintf(stderr, "IceListenForConnections: %s\n", error.data());
        return 1;
    }
    std::string ids;
    std::vector<IceListenObj> local;
    for (int i = 0; i < count; ++i) {
        IceSetHostBasedAuthProc(listeners[i], acceptAnyHost);
        char* id = IceGetListenConnectionString(listeners[i]);
        if (std::strncmp(id, "local/", 6) == 0) {
            ids += (ids.empty() ? "" : ",") + std::string(id);
            local.push_back(listeners[i]);
        }
        std::free(id);
    }
    if (local.empty()) {
        std::fprintf(stderr, "no local listener\n");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onUsr1;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGUSR1, &action, nullptr);
    std::printf("SESSION_MANAGER=%s\n", ids.c_str());
    std::fflush(stdout);

    const std::time_t deadline = std::time(nullptr) + 120;
    while (!g_client.gone && std::time(nullptr) < deadline) {
        if (g_endSession != 0 && g_client.registered && !g_client.saving) {
            g_client.saving = true;
            SmsSaveYourself(g_client.sms, SmSaveBoth, True, SmInteractStyleNone, False);
            say("save-yourself-sent");
        }
        if (g_client.doneAt != 0 && !g_client.dieSent && !g_client.gone &&
            std::time(nullptr) > g_client.doneAt) {
            SmsDie(g_client.sms);
            g_client.dieSent = true;
            say("die-sent");
        }
        std::vector<pollfd> fds;
        fds.reserve(local.size() + 1);
        for (IceListenObj listener : local)
            fds.push_back({IceGetListenConnectionNumber(listener), POLLIN, 0});
        if (g_client.ice != nullptr)
            fds.push_back({IceConnectionNumber(g_client.ice), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 100) <= 0)
            continue;
        for (std::size_t i = 0; i < local.size(); ++i) {
            if ((fds[i].revents & POLLIN) != 0)
                acceptConnection(local[i]);
        }
        if (g_client.ice != nullptr && fds.size() > local.size() && fds.back().revents != 0) {
            const IceProcessMessagesStatus status =
                IceProcessMessages(g_client.ice, nullptr, nullptr);
            if (status == IceProcessMessagesIOError && !g_client.gone) {
                say("connection-lost");
                IceSetShutdownNegotiation(g_client.ice, False);
                IceCloseConnection(g_client.ice);
                g_client.gone = true;
            } else if (status == IceProcessMessagesConnectionClosed) {
                g_client.gone = true;
            }
        }
    }
    IceFreeListenObjs(count, listeners);
    return g_client.gone && g_client.dieSent ? 0 : 1;
}
