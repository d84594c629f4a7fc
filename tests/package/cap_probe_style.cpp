// What an ordinary user can make the installed utility load: a style plugin
// named by QT_PLUGIN_PATH and QT_STYLE_OVERRIDE=varn-cap-probe. It writes what
// it finds in the process into the file VARN_PROBE_REPORT: the capability sets,
// what descriptor 3 is, and whether a privileged TCP port can be bound. Then it
// declines, and Qt goes on with its own style.

#include <QStylePlugin>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class CapProbeStyle : public QStylePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QStyleFactoryInterface_iid FILE "cap_probe_style.json")

  public:
    QStyle* create(const QString&) override {
        const char* path = std::getenv("VARN_PROBE_REPORT");
        std::FILE* out = path != nullptr ? std::fopen(path, "w") : nullptr;
        if (out == nullptr) {
            return nullptr;
        }
        if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, status) != nullptr) {
                if (std::strncmp(line, "Cap", 3) == 0) {
                    std::fputs(line, out);
                }
            }
            std::fclose(status);
        }
        int type = 0;
        socklen_t length = sizeof type;
        sockaddr_in local{};
        socklen_t localLength = sizeof local;
        if (getsockopt(3, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_DGRAM &&
            getsockname(3, reinterpret_cast<sockaddr*>(&local), &localLength) == 0) {
            std::fprintf(out, "fd3: udp %s:%u\n", inet_ntoa(local.sin_addr),
                         unsigned(ntohs(local.sin_port)));
        } else {
            std::fprintf(out, "fd3: none\n");
        }
        const int tcp = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in telnet{};
        telnet.sin_family = AF_INET;
        telnet.sin_port = htons(23);
        telnet.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int bound = bind(tcp, reinterpret_cast<sockaddr*>(&telnet), sizeof telnet);
        std::fprintf(out, "tcp23: %d\n", bound == 0 ? 0 : errno);
        close(tcp);
        std::fclose(out);
        return nullptr;
    }
};

#include "cap_probe_style.moc"
