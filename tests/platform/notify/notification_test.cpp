// The end-of-run notice reaches the desktop's notification service on a real
// session bus (a dbus-daemon of the test's own, with a service of the tests'
// own recording what it is sent), and nothing breaks where there is none.
#include "platform/notify/notification.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A program the test starts, reads line by line and ends.
class Child {
public:
    explicit Child(std::vector<std::string> argv) {
        int pipe_fds[2];
        if (::pipe(pipe_fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(pipe_fds[1], STDOUT_FILENO);
            ::close(pipe_fds[0]);
            std::vector<char*> args;
            for (std::string& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        ::close(pipe_fds[1]);
        out_ = ::fdopen(pipe_fds[0], "r");
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ != nullptr) std::fclose(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    std::string Line() {
        char buffer[1024];
        if (out_ == nullptr || std::fgets(buffer, sizeof buffer, out_) == nullptr) return {};
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        return line;
    }

private:
    pid_t pid_ = -1;
    std::FILE* out_ = nullptr;
};

TEST(Notification, GoesToTheDesktopsServiceAndNowhereWithoutOne) {
    if (std::system("command -v dbus-daemon > /dev/null") != 0) GTEST_SKIP() << "dbus-daemon is not installed";
    // A bus that starts no service on demand: the machine's own notification
    // daemons stay out of it.
    const std::string config = ::testing::TempDir() + "notification-bus.conf";
    std::FILE* f = std::fopen(config.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
               "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
               "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
               "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
               "</busconfig>\n",
               f);
    std::fclose(f);
    Child bus({"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"});
    const std::string address = bus.Line();
    ASSERT_FALSE(address.empty());
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

    EXPECT_FALSE(notify::Show("Marbleway", "Marbleway", "no one hears this")) << "a bus without the service";

    Child service({FAKE_NOTIFICATIONS});
    ASSERT_EQ(service.Line(), "ready");
    EXPECT_TRUE(notify::Show("Marbleway", "Marbleway", "Converted 2 files into /srv/rips/; 1 failed"));
    EXPECT_EQ(service.Line(), "Marbleway\tMarbleway\tConverted 2 files into /srv/rips/; 1 failed");
}

TEST(Notification, NoSessionBusIsNoNotice) {
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    EXPECT_FALSE(notify::Show("Marbleway", "Marbleway", "lost"));
}

} // namespace
