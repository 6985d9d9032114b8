// Started by tst_wine under Wine, with a pseudo-terminal behind the COM port it
// is given: waits for the bytes the test sends as Qt Serial Port waits for
// them on Windows, and says on standard output what the system told it, one
// "name=value" line each, so that the test can show where the notice of
// arriving bytes goes missing.
//
// Usage: trv-commeventprobe COMn MILLISECONDS
//
//   ready=1            the waits are set up: the test sends its bytes now
//   completion=0|1     whether the wait pending on an I/O completion port (as
//                      Qt's) completed within MILLISECONDS
//   completionMask=N   the event mask it completed with
//   eventWait=0|1      whether a wait on an event, pending when the bytes came, completed
//   eventMask=N        ... with this mask
//   laterMask=N        the mask of a wait issued once the bytes are there
//   read=TEXT          what a read takes then, CR and LF as \r and \n

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void say(const char* name, unsigned long value)
{
    std::printf("%s=%lu\n", name, value);
    std::fflush(stdout);
}

HANDLE openPort(const std::wstring& name)
{
    const HANDLE port = ::CreateFileW((L"\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return port;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ::GetCommState(port, &dcb);
    dcb.BaudRate = 57600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    ::SetCommState(port, &dcb);
    // As Qt Serial Port sets a port up for reading: reads return what is there, and the
    // events asked for are the arrival of bytes.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    ::SetCommTimeouts(port, &timeouts);
    ::SetCommMask(port, EV_RXCHAR);
    return port;
}

// What the port holds to be read.
DWORD bytesWaiting(HANDLE port)
{
    DWORD errors = 0;
    COMSTAT status{};
    return ::ClearCommError(port, &errors, &status) ? status.cbInQue : 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: trv-commeventprobe COMn MILLISECONDS\n");
        return 2;
    }
    const std::string name = argv[1];
    const DWORD wait = DWORD(std::strtoul(argv[2], nullptr, 10));
    const HANDLE port = openPort(std::wstring(name.begin(), name.end()));
    if (port == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s: error %lu\n", name.c_str(), ::GetLastError());
        return 1;
    }

    // Qt's way: the port's handle on an I/O completion port, a wait without an event.
    const HANDLE completions = ::CreateIoCompletionPort(port, nullptr, 1, 0);
    OVERLAPPED queued{};
    DWORD queuedMask = 0;
    ::WaitCommEvent(port, &queuedMask, &queued);
    say("ready", 1);

    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* completed = nullptr;
    const bool completion =
        ::GetQueuedCompletionStatus(completions, &bytes, &key, &completed, wait) && completed == &queued;
    say("completion", completion);
    say("completionMask", queuedMask);

    // A wait with an event of its own (the low bit of the event keeps it off the completion
    // port), issued while nothing waits to be read. On a busy machine the bytes sent after
    // "ready=1" may come only after the wait above gave up: they are waited for (a minute at
    // most) before they are cleared away, so that they cannot come after.
    for (int tenths = 0; tenths < 600 && bytesWaiting(port) == 0; ++tenths)
        ::Sleep(100);
    ::PurgeComm(port, PURGE_RXCLEAR);
    OVERLAPPED signalled{};
    signalled.hEvent = HANDLE(ULONG_PTR(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) | 1);
    DWORD eventMask = 0;
    ::WaitCommEvent(port, &eventMask, &signalled);
    say("ready", 2);
    DWORD transferred = 0;
    const bool eventWait =
        ::WaitForSingleObject(HANDLE(ULONG_PTR(signalled.hEvent) & ~ULONG_PTR(1)), wait) == WAIT_OBJECT_0 &&
        ::GetOverlappedResult(port, &signalled, &transferred, FALSE);
    say("eventWait", eventWait);
    say("eventMask", eventMask);

    // Once the bytes are there, a new wait sees them at once, and a read takes them.
    OVERLAPPED later{};
    later.hEvent = HANDLE(ULONG_PTR(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) | 1);
    DWORD laterMask = 0;
    if (!::WaitCommEvent(port, &laterMask, &later))
        ::GetOverlappedResult(port, &later, &transferred, TRUE);
    say("laterMask", laterMask);
    char buffer[64] = {};
    OVERLAPPED read{};
    read.hEvent = HANDLE(ULONG_PTR(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) | 1);
    DWORD got = 0;
    if (!::ReadFile(port, buffer, sizeof buffer, nullptr, &read))
        ::GetOverlappedResult(port, &read, &got, TRUE);
    else
        ::GetOverlappedResult(port, &read, &got, FALSE);
    std::string text;
    for (DWORD i = 0; i < got; ++i)
        text += buffer[i] == '\r'   ? std::string("\\r")
                : buffer[i] == '\n' ? std::string("\\n")
                                    : std::string(1, buffer[i]);
    std::printf("read=%s\n", text.c_str());
    std::fflush(stdout);
    ::CloseHandle(port);
    return 0;
}
