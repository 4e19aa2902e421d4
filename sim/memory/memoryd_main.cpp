// mb_memoryd: the simulated player's memories.
//
//   mb_memoryd serve --control SOCKET --memory NAME IMAGE FILES_DIR RAW_DIR [--memory ...]
//       serves each image as its files and folders under FILES_DIR and as the
//       single file RAW_DIR/image, until told to quit or sent SIGTERM.
//   mb_memoryd pull|insert --control SOCKET NAME
//       unplugs a memory (both views fail with "no medium") or plugs it back.
//   mb_memoryd status|quit --control SOCKET
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "memory_device.h"

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: mb_memoryd serve --control SOCKET --memory NAME IMAGE FILES_DIR RAW_DIR [--memory ...]\n"
                 "       mb_memoryd pull|insert --control SOCKET NAME\n"
                 "       mb_memoryd status|quit --control SOCKET\n");
    return 2;
}

bool MakeAddress(const std::string& path, sockaddr_un* addr)
{
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    if (path.size() >= sizeof addr->sun_path)
        return false;
    std::memcpy(addr->sun_path, path.c_str(), path.size());
    return true;
}

std::string ReadLine(int fd)
{
    std::string line;
    char c;
    while (line.size() < 4096 && ::read(fd, &c, 1) == 1 && c != '\n')
        line.push_back(c);
    return line;
}

void Reply(int fd, const std::string& text)
{
    std::string line = text + "\n";
    ssize_t ignored = ::write(fd, line.data(), line.size());
    (void)ignored;
}

int Client(const std::string& control, const std::string& command)
{
    sockaddr_un addr;
    if (!MakeAddress(control, &addr))
        return 2;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "mb_memoryd: no daemon answers at %s\n", control.c_str());
        if (fd >= 0)
            ::close(fd);
        return 1;
    }
    Reply(fd, command);
    std::string answer = ReadLine(fd);
    ::close(fd);
    std::printf("%s\n", answer.c_str());
    return answer.compare(0, 2, "ok") == 0 ? 0 : 1;
}

CMemoryDevice* FindMemory(std::vector<std::unique_ptr<CMemoryDevice>>& memories, const std::string& name)
{
    for (auto& m : memories)
        if (m->Name == name)
            return m.get();
    return nullptr;
}

// Answers one command; false when the daemon is to quit.
bool Serve(int fd, std::vector<std::unique_ptr<CMemoryDevice>>& memories)
{
    std::string line = ReadLine(fd);
    std::string verb = line.substr(0, line.find(' '));
    std::string arg = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
    if (verb == "quit") {
        Reply(fd, "ok");
        return false;
    }
    if (verb == "status") {
        std::string text = "ok";
        for (auto& m : memories)
            text += " " + m->Name + (m->IsPulled() ? "=pulled" : "=present");
        Reply(fd, text);
        return true;
    }
    CMemoryDevice* m = FindMemory(memories, arg);
    if ((verb == "pull" || verb == "insert") && !m) {
        Reply(fd, "error: no memory named '" + arg + "'");
        return true;
    }
    if (verb == "pull") {
        m->Pull();
        Reply(fd, "ok");
    } else if (verb == "insert") {
        std::string error;
        Reply(fd, m->Insert(&error) ? "ok" : "error: " + error);
    } else {
        Reply(fd, "error: unknown command '" + verb + "'");
    }
    return true;
}

int Daemon(const std::string& control, std::vector<std::unique_ptr<CMemoryDevice>>& memories)
{
    // SIGTERM and SIGINT arrive through a descriptor, so the views' loops
    // never see them.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
    signal(SIGPIPE, SIG_IGN);
    int sfd = signalfd(-1, &mask, SFD_CLOEXEC);

    for (auto& m : memories) {
        std::string error;
        if (!m->Start(&error)) {
            std::fprintf(stderr, "mb_memoryd: %s\n", error.c_str());
            for (auto& other : memories)
                other->Stop();
            return 1;
        }
    }

    sockaddr_un addr;
    int lfd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::unlink(control.c_str());
    if (lfd < 0 || !MakeAddress(control, &addr) || ::bind(lfd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(lfd, 8) != 0) {
        std::fprintf(stderr, "mb_memoryd: cannot listen at %s: %s\n", control.c_str(), std::strerror(errno));
        for (auto& m : memories)
            m->Stop();
        return 1;
    }
    std::fprintf(stderr, "mb_memoryd: serving %zu memor%s\n", memories.size(), memories.size() == 1 ? "y" : "ies");

    bool running = true;
    while (running) {
        struct pollfd fds[2] = {{lfd, POLLIN, 0}, {sfd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents & POLLIN)
            break;
        if (fds[0].revents & POLLIN) {
            int cfd = ::accept4(lfd, nullptr, nullptr, SOCK_CLOEXEC);
            if (cfd < 0)
                continue;
            running = Serve(cfd, memories);
            ::close(cfd);
        }
    }
    ::close(lfd);
    ::unlink(control.c_str());
    for (auto& m : memories)
        m->Stop();
    std::fprintf(stderr, "mb_memoryd: stopped\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    std::string verb = argv[1];
    std::string control;
    std::vector<std::unique_ptr<CMemoryDevice>> memories;
    std::vector<std::string> rest;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--control" && i + 1 < argc) {
            control = argv[++i];
        } else if (a == "--memory" && i + 4 < argc) {
            memories.push_back(std::make_unique<CMemoryDevice>(argv[i + 1], argv[i + 2], argv[i + 3], argv[i + 4]));
            i += 4;
        } else {
            rest.push_back(a);
        }
    }
    if (control.empty())
        return Usage();
    if (verb == "serve") {
        if (memories.empty() || !rest.empty())
            return Usage();
        return Daemon(control, memories);
    }
    if ((verb == "pull" || verb == "insert") && rest.size() == 1)
        return Client(control, verb + " " + rest[0]);
    if ((verb == "status" || verb == "quit") && rest.empty())
        return Client(control, verb);
    return Usage();
}
