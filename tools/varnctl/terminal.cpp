#include "terminal.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace varnctl {

namespace {

class Tty {
  public:
    Tty() : fd_(open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~Tty() {
        if (fd_ >= 0)
            close(fd_);
    }
    Tty(const Tty&) = delete;
    Tty& operator=(const Tty&) = delete;

    bool usable() const { return fd_ >= 0; }

    void write(const std::string& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            done += std::size_t(n);
        }
    }

    // One line; false at the end of input or on an interrupt.
    bool readLine(std::string& line) {
        line.clear();
        for (;;) {
            char c;
            const ssize_t n = ::read(fd_, &c, 1);
            if (n <= 0)
                return false; // end of input, or interrupted (Ctrl-C)
            if (c == '\n')
                break;
            line += c;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return true;
    }

    int fd() const { return fd_; }

  private:
    int fd_;
};

} // namespace

Answer askSecret(const std::string& prompt, std::string& line) {
    Tty tty;
    if (!tty.usable())
        return Answer::NoTerminal;
    termios saved{};
    const bool haveModes = tcgetattr(tty.fd(), &saved) == 0;
    if (haveModes) {
        termios quiet = saved;
        quiet.c_lflag &= tcflag_t(~(ECHO | ECHOE | ECHOK | ECHONL));
        quiet.c_lflag |= ICANON;
        tcsetattr(tty.fd(), TCSAFLUSH, &quiet);
    }
    tty.write(prompt);
    const bool given = tty.readLine(line);
    if (haveModes)
        tcsetattr(tty.fd(), TCSAFLUSH, &saved);
    tty.write("\n");
    return given ? Answer::Given : Answer::Cancelled;
}

Answer askYesNo(const std::string& question, bool& yes) {
    Tty tty;
    if (!tty.usable())
        return Answer::NoTerminal;
    tty.write(question);
    std::string line;
    if (!tty.readLine(line)) {
        tty.write("\n");
        return Answer::Cancelled;
    }
    for (char& c : line)
        c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    yes = line == "y" || line == "yes";
    return Answer::Given;
}

} // namespace varnctl
