// The pieces of the start-up: the single-instance lock, the termination signals, the
// general error box of the application object, and the QTimer ticks of the drivers.
#include <gtest/gtest.h>

#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "Application.h"
#include "GuiTestSupport.h"
#include "QtTickSource.h"
#include "SingleInstance.h"
#include "TerminationSignals.h"

namespace qel::test {
namespace {

// Sets an environment variable for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (previous_.has_value())
            ::setenv(name_, previous_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

TEST(SingleInstanceLock, LetsOneHolderAtATime) {
    TempFolder folder;
    const std::string path = folder / "QEL1Monitor";
    {
        SingleInstanceLock first(path);
        EXPECT_TRUE(first.FirstInstance());
        EXPECT_TRUE(first.Held());
        SingleInstanceLock second(path);
        EXPECT_FALSE(second.FirstInstance());
        EXPECT_FALSE(second.Held());
    }
    // Released with its holder: the next start runs.
    SingleInstanceLock again(path);
    EXPECT_TRUE(again.FirstInstance());
    EXPECT_TRUE(again.Held());
}

TEST(SingleInstanceLock, RunsUncheckedWhenNoLockFileCanBeHad) {
    TempFolder folder;
    SingleInstanceLock noFolder(folder / "missing/QEL1Monitor");
    EXPECT_TRUE(noFolder.FirstInstance());
    EXPECT_FALSE(noFolder.Held());
    // A symbolic link in the lock's place is not followed.
    std::filesystem::create_symlink(folder / "elsewhere", folder / "QEL1Monitor");
    SingleInstanceLock link(folder / "QEL1Monitor");
    EXPECT_TRUE(link.FirstInstance());
    EXPECT_FALSE(link.Held());
    EXPECT_FALSE(std::filesystem::exists(folder / "elsewhere"));
}

TEST(SingleInstanceLock, LivesInTheUsersRuntimeFolder) {
    TempFolder folder;
    {
        ScopedEnvironment runtime("XDG_RUNTIME_DIR", folder.Path().c_str());
        EXPECT_EQ(SingleInstanceLock::DefaultLockFilePath(), folder / "QEL1Monitor");
    }
    {
        ScopedEnvironment runtime("XDG_RUNTIME_DIR", nullptr);
        const std::string path = SingleInstanceLock::DefaultLockFilePath();
        const std::string expectedFolder = "/tmp/qel1-agent-" + std::to_string(::getuid());
        EXPECT_EQ(path, expectedFolder + "/QEL1Monitor");
        struct stat st {};
        ASSERT_EQ(::lstat(expectedFolder.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
    {
        ScopedEnvironment runtime("XDG_RUNTIME_DIR", "relative/folder");
        EXPECT_EQ(SingleInstanceLock::DefaultLockFilePath().rfind("/tmp/qel1-agent-", 0), 0u);
    }
}

TEST(TerminationSignals, ArriveOnTheEventLoopAndLeaveTheOldHandlersBehind) {
    struct sigaction before {};
    ::sigaction(SIGHUP, nullptr, &before);
    {
        TerminationSignals termination;
        std::vector<int> received;
        QObject::connect(&termination, &TerminationSignals::Received, [&](int number) { received.push_back(number); });
        ::raise(SIGHUP);  // before anybody listens: it waits
        RunEventsFor(50);
        EXPECT_TRUE(received.empty());
        termination.Listen();
        ::raise(SIGTERM);
        ::raise(SIGINT);
        EXPECT_TRUE(received.empty());  // nothing happens inside the handler itself
        ASSERT_TRUE(WaitUntil([&] { return received.size() == 3; }, 2000));
        EXPECT_EQ(received, std::vector<int>({SIGHUP, SIGTERM, SIGINT}));
        EXPECT_THROW(TerminationSignals second, std::logic_error);
    }
    struct sigaction after {};
    ::sigaction(SIGHUP, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

TEST(TerminationSignals, KeepIgnoringWhatTheProgramWasStartedIgnoring) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before {};
    ::sigaction(SIGHUP, &ignore, &before);
    {
        TerminationSignals termination;
        termination.Listen();
        std::vector<int> received;
        QObject::connect(&termination, &TerminationSignals::Received, [&](int number) { received.push_back(number); });
        ::raise(SIGHUP);
        ::raise(SIGTERM);
        ASSERT_TRUE(WaitUntil([&] { return !received.empty(); }, 2000));
        RunEventsFor(50);
        EXPECT_EQ(received, std::vector<int>({SIGTERM}));
    }
    struct sigaction after {};
    ::sigaction(SIGHUP, &before, &after);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
}

TEST(GeneralErrorBox, ShowsAnExceptionThatLeavesAHandlerAndTheProgramGoesOn) {
    ScriptedDialogs dialogs;
    QTimer failing;
    failing.setSingleShot(true);
    QObject::connect(&failing, &QTimer::timeout, [] { throw std::runtime_error("Файл report.rtf не найден"); });
    bool laterEventRan = false;
    QTimer later;
    later.setSingleShot(true);
    QObject::connect(&later, &QTimer::timeout, [&] { laterEventRan = true; });
    failing.start(0);
    later.start(10);
    ASSERT_TRUE(WaitUntil([&] { return laterEventRan; }, 2000));
    ASSERT_EQ(dialogs.Count("error"), 1);
    EXPECT_EQ(dialogs.calls[0].text, QString::fromUtf8("Файл report.rtf не найден"));
    EXPECT_EQ(dialogs.calls[0].caption, QString::fromUtf8("КЭЛ-1 Агент"));

    QTimer strange;
    strange.setSingleShot(true);
    QObject::connect(&strange, &QTimer::timeout, [] { throw 42; });
    strange.start(0);
    ASSERT_TRUE(WaitUntil([&] { return dialogs.Count("error") == 2; }, 2000));
    EXPECT_FALSE(dialogs.calls[1].text.isEmpty());
}

TEST(QtTickSource, TicksAtItsPeriodUntilStopped) {
    QtTickSource ticks;
    EXPECT_FALSE(ticks.Running());
    int count = 0;
    ticks.Start(20, [&] { ++count; });
    EXPECT_TRUE(ticks.Running());
    ASSERT_TRUE(WaitUntil([&] { return count >= 3; }, 2000));
    ticks.Stop();
    EXPECT_FALSE(ticks.Running());
    const int stoppedAt = count;
    RunEventsFor(100);
    EXPECT_EQ(count, stoppedAt);
}

TEST(QtTickSource, TicksAgainWhileAHandlerRunsANestedLoop) {
    QtTickSource ticks;
    int entered = 0;
    int nested = 0;
    ticks.Start(10, [&] {
        ++entered;
        if (entered == 1) {
            // As a modal box would: the event loop runs inside the handler.
            WaitUntil([&] { return entered >= 3; }, 2000);
            nested = entered;
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return nested != 0; }, 3000));
    EXPECT_GE(nested, 3);
    ticks.Stop();
}

TEST(QtTickSource, StopInsideItsOwnHandlerEndsTheTicks) {
    QtTickSource ticks;
    int count = 0;
    ticks.Start(10, [&] {
        ++count;
        ticks.Stop();
    });
    RunEventsFor(150);
    EXPECT_EQ(count, 1);
    EXPECT_FALSE(ticks.Running());
}

}  // namespace
}  // namespace qel::test
