// The pieces of the start-up: the single-instance lock, the termination signals, the
// general error box of the application object, and the QTimer ticks of the drivers.
#include <gtest/gtest.h>

#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>
#include <optional>
#include <string>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "Application.h"
#include "EndRequest.h"
#include "EndRequest_p.h"
#include "GuiTestSupport.h"
#include "QtTickSource.h"
#include "ScopedEnvironment.h"
#include "SingleInstance.h"
#include "TerminationSignals.h"

namespace qel::test {
namespace {


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

// Whatever stands at the lock's path, or a missing folder, leaves the guard unset: the
// program runs as the first copy and says why. Nothing is followed or created elsewhere.
TEST(SingleInstanceLock, ALockThatCannotBeSetUpLetsTheProgramRunWithItsReason) {
    TempFolder folder;
    const std::string path = folder / "QEL1Monitor";
    struct Trap {
        const char* name;
        std::function<void()> plant;
        std::string reason;
    };
    const std::vector<Trap> traps{
        {"link to a file", [&] { std::filesystem::create_symlink(folder / "elsewhere", path); },
         "файл блокировки " + path + " - символическая ссылка"},
        {"link to a folder", [&] { std::filesystem::create_directory_symlink(folder.Path(), path); },
         "файл блокировки " + path + " - символическая ссылка"},
        {"folder", [&] { std::filesystem::create_directory(path); }, "файл блокировки " + path + " - папка"},
        {"pipe", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
         "файл блокировки " + path + " - не обычный файл"},
        {"file of another user",
         [&] {
             WriteBytes(path, "");
             ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
         },
         "файл блокировки " + path + " принадлежит другому пользователю"},
    };
    for (const Trap& trap : traps) {
        SCOPED_TRACE(trap.name);
        trap.plant();
        const SingleInstanceLock lock(path);
        EXPECT_TRUE(lock.FirstInstance());
        EXPECT_FALSE(lock.Held());
        EXPECT_EQ(lock.Problem(), trap.reason);
        std::filesystem::remove(path);
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "elsewhere"));

    const SingleInstanceLock noFolder(folder / "missing/QEL1Monitor");
    EXPECT_TRUE(noFolder.FirstInstance());
    EXPECT_FALSE(noFolder.Held());
    EXPECT_NE(noFolder.Problem().find("не открывается"), std::string::npos);
    const SingleInstanceLock nowhere("");
    EXPECT_TRUE(nowhere.FirstInstance());
    EXPECT_FALSE(nowhere.Held());
    EXPECT_FALSE(nowhere.Problem().empty());

    // A second copy is no problem: it is simply refused.
    const SingleInstanceLock first(path);
    const SingleInstanceLock second(path);
    EXPECT_TRUE(first.FirstInstance());
    EXPECT_FALSE(second.FirstInstance());
    EXPECT_TRUE(second.Problem().empty());
}

TEST(SingleInstanceLock, LivesInAFolderOnlyTheUserCanChange) {
    TempFolder folder;
    TempFolder home;
    const test::ScopedEnvironment homeVariable("HOME", home.Path().c_str());
    {
        test::ScopedEnvironment runtime("XDG_RUNTIME_DIR", folder.Path().c_str());
        EXPECT_EQ(SingleInstanceLock::DefaultLockFilePath(), folder / "QEL1Monitor");
    }
    // Without a runtime folder of its own: /run/user/<uid> where it is the user's, else a
    // private folder in the home; never a folder that another user could have made first.
    const std::string shared = "/tmp/qel1-agent-" + std::to_string(::geteuid());
    const bool madeShared = std::filesystem::create_directory(shared);
    if (madeShared) {
        ASSERT_EQ(::chown(shared.c_str(), 65534, 65534), 0);
    }
    std::string expected = home / ".local/state/qel1-agent/QEL1Monitor";
    const std::string userRuntime = "/run/user/" + std::to_string(::geteuid());
    struct stat st {};
    if (::stat(userRuntime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 022) == 0)
        expected = userRuntime + "/QEL1Monitor";
    ::chmod(folder.Path().c_str(), 0777);  // a runtime folder that others may write is not used
    for (const char* runtime : {static_cast<const char*>(nullptr), "relative/folder", "/nonexistent",
                                folder.Path().c_str()}) {
        SCOPED_TRACE(runtime != nullptr ? runtime : "(unset)");
        test::ScopedEnvironment variable("XDG_RUNTIME_DIR", runtime);
        EXPECT_EQ(SingleInstanceLock::DefaultLockFilePath(), expected);
    }
    if (madeShared) std::filesystem::remove(shared);
    if (expected.rfind(home.Path(), 0) == 0) {
        ASSERT_EQ(::lstat((home / ".local/state/qel1-agent").c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        const SingleInstanceLock lock;
        EXPECT_TRUE(lock.FirstInstance());
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

// A termination signal is also noted at once, inside the handler, so that a report being
// built or printed on the event loop's thread stops at its next step.
TEST(TerminationSignals, AreNotedAtOnceForLongWork) {
    ClearEndRequest();
    {
        TerminationSignals termination;
        EXPECT_FALSE(EndRequested());
        ::raise(SIGTERM);
        EXPECT_TRUE(EndRequested());  // before the event loop has run
        ClearEndRequest();
        termination.Listen();
        RunEventsFor(50);
    }
    EXPECT_FALSE(EndRequested());
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
