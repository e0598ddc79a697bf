// The data file writer against what a full disk, a planted pipe or link, or a read-only
// file would do to it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <atomic>
#include <filesystem>
#include <thread>

#include "Bounded.h"
#include "DataFile.h"
#include "DataFileSettings.h"
#include "PosixFile.h"
#include "PosixFileFaults_p.h"
#include "Qel1Samples.h"
#include "RecordLine.h"
#include "RecordingSink.h"
#include "Regional.h"
#include "RegionalGuard.h"
#include "TestFiles.h"

namespace qel {
namespace {

using test::BoundedOutcome;
using test::CurrentFolder;
using test::ReadBytes;
using test::RecordingSink;
using test::TempFolder;
using test::WriteBytes;
namespace fs = std::filesystem;

const std::string kNotAccessible = kDataFileNotAccessible;
constexpr uid_t kOtherUser = 65534;  // nobody

// The line of the example record with another record number.
std::string Record(uint16_t recordNumber) { return JoinRecordLine(test::ExampleRecord(recordNumber)); }

// The list line that names a record the moment its write failed.
std::string Note(const std::string& line, const std::string& path, const std::string& reason) {
    return "Запись не сделана: " + line + " - файл \"" + path + "\": " + reason;
}

// A disk with `room` bytes left: writes beyond it end short, then fail with ENOSPC.
class FillingDisk {
public:
    explicit FillingDisk(std::size_t room) {
        room_ = room;
        SetFileWriteCall(&Write);
    }
    ~FillingDisk() { SetFileWriteCall(nullptr); }
    FillingDisk(const FillingDisk&) = delete;
    FillingDisk& operator=(const FillingDisk&) = delete;

private:
    static ssize_t Write(int fd, const void* data, std::size_t size) {
        if (room_ == 0) {
            errno = ENOSPC;
            return -1;
        }
        const ssize_t n = ::write(fd, data, std::min(size, room_));
        if (n > 0) room_ -= static_cast<std::size_t>(n);
        return n;
    }
    static inline std::size_t room_ = 0;
};

class DataFileSafety : public ::testing::Test {
protected:
    void Tick10() {
        for (int tick = 1; tick <= 10; ++tick) writer.HoldOffTick();
    }

    TempFolder dir;
    CurrentFolder cwd{dir.Path()};
    RecordingSink sink;
    test::DataFileSettings options;
    test::TestWriter writer{options, sink.log};

private:
    test::RegionalGuard russian_{RussianRegionalSettings()};
};

// --- a full disk ---

TEST_F(DataFileSafety, AFullDiskLeavesNoFragmentForTheNextLineToBeGluedOnto) {
    const std::string line = Record(3);
    ASSERT_EQ(line.size() + 2, 38u);
    const std::string before = Record(1) + "\r\n" + Record(2) + "\r\n";
    // Room for nothing, one byte, part of the line, the line without its end, all but LF.
    for (const std::size_t room : {0u, 1u, 17u, 36u, 37u}) {
        for (const bool rewrite : {false, true}) {
            SCOPED_TRACE("room " + std::to_string(room) + (rewrite ? ", rewrite" : ", append"));
            WriteBytes("Data.qel", before);
            options.rewrite = rewrite;
            test::TestWriter w(options, sink.log);
            {
                const FillingDisk disk(room);
                w.Save2File(line);
            }
            EXPECT_TRUE(w.WriteBlocked());
            // The file is exactly as it was in both modes (a rewrite goes through a
            // temporary file), and the lost record is named at once.
            EXPECT_EQ(ReadBytes("Data.qel"), before);
            EXPECT_EQ(sink.lines, std::vector<std::string>{Note(line, "Data.qel", "нет места на диске")});
            sink.Clear();

            // Space is back: the next record is a line of its own.
            w.Save2File(test::ExampleRecord(4));
            EXPECT_EQ(ReadBytes("Data.qel"), (rewrite ? "" : before) + Record(4) + "\r\n");
        }
    }
}

// A real small filesystem: the kernel writes what fits into the last page and then
// reports the disk full.
class SmallFilesystem {
public:
    explicit SmallFilesystem(const std::string& mountPoint) : mountPoint_(mountPoint) {
        fs::create_directory(mountPoint_);
        if (::mount("tmpfs", mountPoint_.c_str(), "tmpfs", 0, "size=64k,mode=0700") == 0)
            mounted_ = true;
        else
            error_ = std::strerror(errno);
    }
    ~SmallFilesystem() {
        if (mounted_) ::umount2(mountPoint_.c_str(), MNT_DETACH);
    }
    SmallFilesystem(const SmallFilesystem&) = delete;
    SmallFilesystem& operator=(const SmallFilesystem&) = delete;
    bool Mounted() const { return mounted_; }
    const std::string& Error() const { return error_; }

    // Writes a file until the disk is full.
    static void Fill(const std::string& path) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        const std::string chunk(512, 'f');
        while (::write(fd, chunk.data(), chunk.size()) > 0) {
        }
        ::close(fd);
    }

private:
    std::string mountPoint_;
    bool mounted_ = false;
    std::string error_;
};

TEST_F(DataFileSafety, AFullDiskOnARealSmallFilesystem) {
    const SmallFilesystem disk(dir / "disk");
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.Error()
                     << "); the injected full disk above covers the same path";
    options.path = dir / "disk/Data.qel";
    // Lines up to just short of a page's end, so the next line is cut by the full disk.
    std::string before;
    constexpr std::size_t kPage = 4096;
    const std::size_t lineBytes = Record(1).size() + 2;
    for (uint16_t n = 1; before.size() % kPage == 0 || kPage - before.size() % kPage >= lineBytes; ++n)
        before += Record(n) + "\r\n";
    WriteBytes(options.path, before);
    SmallFilesystem::Fill(dir / "disk/filler");

    // The end of the file, where a fragment would show.
    const auto tail = [&] {
        const std::string bytes = ReadBytes(options.path);
        return bytes.substr(std::min(bytes.size(), before.size() - lineBytes));
    };
    writer.Save2File(test::ExampleRecord(999));
    EXPECT_TRUE(writer.WriteBlocked());
    EXPECT_EQ(tail(), Record(107) + "\r\n");
    EXPECT_EQ(ReadBytes(options.path), before);

    fs::remove(dir / "disk/filler");
    Tick10();
    writer.Save2File(test::ExampleRecord(1000));
    EXPECT_EQ(tail(), Record(107) + "\r\n" + Record(1000) + "\r\n");
}

// --- something else than a file at the path ---

struct NotAFile {
    const char* kind;
    const char* reason;
};

class NotAFileAtThePath : public DataFileSafety, public ::testing::WithParamInterface<NotAFile> {
protected:
    void Plant(const std::string& path) {
        const std::string kind = GetParam().kind;
        if (kind == "folder") {
            ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
        } else if (kind == "pipe") {
            ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0);
        } else if (kind == "socket") {
            socket_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            ASSERT_LT(path.size(), sizeof address.sun_path);
            std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
            ASSERT_EQ(::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        } else {
            ASSERT_EQ(::symlink("/dev/full", path.c_str()), 0);  // a link of this user to a device
        }
    }
    ~NotAFileAtThePath() override {
        if (socket_ >= 0) ::close(socket_);
    }
    int socket_ = -1;
};

TEST_P(NotAFileAtThePath, IsAWriteFailureWithItsReasonAndNeverWaits) {
    const std::string path = dir / "Data.qel";
    Plant(path);
    options.path = path;
    for (const bool rewrite : {false, true}) {
        SCOPED_TRACE(rewrite ? "rewrite" : "append");
        options.rewrite = rewrite;
        // In a child first: a writer that waited on opening would hang the test here.
        ASSERT_EQ(test::RunBounded([&] {
                      test::TestWriter w(options, sink.log);
                      w.Save2File("line");
                      return w.WriteBlocked();
                  }, 5000),
                  BoundedOutcome::Passed);

        sink.Clear();
        test::TestWriter w(options, sink.log);
        w.Save2File("line");
        EXPECT_TRUE(w.WriteBlocked());
        const std::string note = Note("line", path, GetParam().reason);
        // Appending reports at once (opening for reading failed); rewriting at the hold-off's end.
        if (rewrite)
            EXPECT_EQ(sink.lines, std::vector<std::string>{note});
        else
            EXPECT_EQ(sink.lines, (std::vector<std::string>{note, kNotAccessible}));
    }
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_FALSE(S_ISREG(st.st_mode));
}

INSTANTIATE_TEST_SUITE_P(Kinds, NotAFileAtThePath,
                         ::testing::Values(NotAFile{"folder", "на его месте папка"},
                                           NotAFile{"pipe", "на его месте именованный канал"},
                                           NotAFile{"socket", "на его месте сокет"},
                                           NotAFile{"device", "на его месте устройство"}),
                         [](const auto& param) { return std::string(param.param.kind); });

// --- planted links ---

// Links of other users are refused where others may write, as in a shared sticky folder.
TEST_F(DataFileSafety, ALinkOfAnotherUserIsNotFollowed) {
    ASSERT_EQ(::chmod(dir.Path().c_str(), 01777), 0);
    const std::string victim = "precious\r\n";
    WriteBytes("victim", victim);
    ASSERT_EQ(::symlink("victim", "Data.qel"), 0);
    ASSERT_EQ(::lchown("Data.qel", kOtherUser, kOtherUser), 0);
    for (const bool rewrite : {false, true}) {
        SCOPED_TRACE(rewrite ? "rewrite" : "append");
        sink.Clear();
        options.rewrite = rewrite;
        test::TestWriter w(options, sink.log);
        w.Save2File(test::ExampleRecord(1));
        EXPECT_TRUE(w.WriteBlocked());
        EXPECT_EQ(sink.lines.at(0), Note(Record(1), "Data.qel", "это символическая ссылка другого пользователя"));
        EXPECT_EQ(sink.lines.size(), rewrite ? 1u : 2u);
        EXPECT_EQ(ReadBytes("victim"), victim);
        EXPECT_TRUE(fs::is_symlink("Data.qel"));
    }
}

TEST_F(DataFileSafety, APlantedLinkAtAPredictablePerRecordName) {
    ASSERT_EQ(::chmod(dir.Path().c_str(), 01777), 0);
    WriteBytes("victim", "precious");
    ASSERT_EQ(::symlink("victim", "311205.007"), 0);
    ASSERT_EQ(::lchown("311205.007", kOtherUser, kOtherUser), 0);
    options.multiple = true;
    options.rewrite = true;
    writer.Save2File(test::ExampleRecord(7));
    EXPECT_EQ(options.path, "311205.007");
    EXPECT_TRUE(writer.WriteBlocked());
    EXPECT_EQ(ReadBytes("victim"), "precious");
}

TEST_F(DataFileSafety, EveryLinkOfAChainIsCheckedInItsOwnFolder) {
    ASSERT_EQ(::chmod(dir.Path().c_str(), 01777), 0);
    WriteBytes("victim", "precious");
    ASSERT_EQ(::symlink("victim", "hop"), 0);
    ASSERT_EQ(::lchown("hop", kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::symlink("hop", "Data.qel"), 0);  // this user's own link, leading to a foreign one
    writer.Save2File("line");
    EXPECT_TRUE(writer.WriteBlocked());
    EXPECT_EQ(ReadBytes("victim"), "precious");
}

TEST_F(DataFileSafety, AnOwnLinkIsFollowedAsBefore) {
    fs::create_directory("real");
    ASSERT_EQ(::symlink("real/Data.qel", "Data.qel"), 0);  // dangling: the file is created there
    writer.Save2File("a");
    writer.Save2File("b");
    EXPECT_EQ(ReadBytes("real/Data.qel"), "a\r\nb\r\n");
    EXPECT_FALSE(writer.WriteBlocked());
    EXPECT_TRUE(fs::is_symlink("Data.qel"));
}

TEST_F(DataFileSafety, AnOrdinaryUserFollowsLinksOfTheSharedFoldersOwnerButNotOfOthers) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to plant links of several owners";
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
    WriteBytes("target", "");
    ASSERT_EQ(::chown("target", kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::symlink("target", "by-root"), 0);
    ASSERT_EQ(::symlink("target", "by-someone"), 0);
    ASSERT_EQ(::lchown("by-someone", 4321, 4321), 0);
    EXPECT_TRUE(test::RunUnprivileged([&] {
        test::DataFileSettings o;
        test::TestWriter w(o, sink.log);
        o.path = dir / "by-root";
        w.Save2File("a");
        const bool rootsFollowed = !w.WriteBlocked();
        test::TestWriter w2(o, sink.log);
        o.path = dir / "by-someone";
        w2.Save2File("b");
        return rootsFollowed && w2.WriteBlocked();
    }));
    EXPECT_EQ(ReadBytes("target"), "a\r\n");
}

// --- rewriting ---

TEST_F(DataFileSafety, ARewriteReplacesTheFileWholeSoAReaderNeverFindsItEmptyOrPartial) {
    options.rewrite = true;
    WriteBytes("Data.qel", Record(0) + "\r\n");
    ASSERT_EQ(::chmod("Data.qel", 0640), 0);
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> broken{0};
    std::thread reader([&] {
        while (!done) {
            const std::string seen = ReadBytes("Data.qel");
            ++reads;
            if (seen.size() != 38 || seen.substr(36) != "\r\n") ++broken;
        }
    });
    for (uint16_t n = 1; n <= 100; ++n) writer.Save2File(test::ExampleRecord(n));
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(broken.load(), 0);
    EXPECT_FALSE(writer.WriteBlocked());
    EXPECT_EQ(ReadBytes("Data.qel"), Record(100) + "\r\n");
    struct stat st {};
    ASSERT_EQ(::stat("Data.qel", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // No temporary file stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST_F(DataFileSafety, ARewriteThroughAnOwnLinkReplacesItsTarget) {
    fs::create_directory("real");
    WriteBytes("real/Data.qel", "old\r\n");
    ASSERT_EQ(::symlink("real/Data.qel", "Data.qel"), 0);
    options.rewrite = true;
    writer.Save2File("new");
    EXPECT_TRUE(fs::is_symlink("Data.qel"));
    EXPECT_EQ(ReadBytes("real/Data.qel"), "new\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator("real"), fs::directory_iterator()), 1);
}

TEST_F(DataFileSafety, AFolderThatTakesNoNewFileHasItsFileRewrittenInPlaceWithOneNote) {
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    fs::create_directory("ro");
    WriteBytes("ro/Data.qel", "old\r\n");
    ASSERT_EQ(::chmod("ro/Data.qel", 0666), 0);
    ASSERT_EQ(::chmod("ro", ::geteuid() == 0 ? 0755 : 0555), 0);
    const std::string path = dir / "ro/Data.qel";
    EXPECT_TRUE(test::RunUnprivileged([&] {
        RecordingSink own;
        test::DataFileSettings o;
        o.path = path;
        o.rewrite = true;
        test::TestWriter w(o, own.log);
        w.Save2File("a");
        w.Save2File("b");
        return !w.WriteBlocked() && ReadBytes(path) == "b\r\n" &&
               own.lines == std::vector<std::string>{"Файл данных \"" + path +
                                                     "\" перезаписывается на месте: в его папке нельзя создать файл"};
    }));
    ASSERT_EQ(::chmod("ro", 0755), 0);
}

// --- read-only files ---

TEST_F(DataFileSafety, AFileWithoutWriteBitsIsReadOnlyAlsoForRoot) {
    for (const bool rewrite : {false, true}) {
        SCOPED_TRACE(rewrite ? "rewrite" : "append");
        WriteBytes("Data.qel", "kept\r\n");
        ASSERT_EQ(::chmod("Data.qel", 0444), 0);
        sink.Clear();
        options.rewrite = rewrite;
        test::TestWriter w(options, sink.log);
        w.Save2File("line");
        EXPECT_TRUE(w.WriteBlocked());
        EXPECT_EQ(ReadBytes("Data.qel"), "kept\r\n");
        // An existing file that cannot be opened for writing is reported at the hold-off's end.
        EXPECT_EQ(sink.lines, std::vector<std::string>{Note("line", "Data.qel", "файл только для чтения")});
        ASSERT_EQ(::chmod("Data.qel", 0644), 0);
    }
    // One write bit, anyone's, is enough.
    ASSERT_EQ(::chmod("Data.qel", 0020), 0);
    options.rewrite = false;
    test::TestWriter w(options, sink.log);
    w.Save2File("line");
    if (::geteuid() == 0) {
        EXPECT_FALSE(w.WriteBlocked());
        EXPECT_EQ(ReadBytes("Data.qel"), "kept\r\nline\r\n");
    }
}

}  // namespace
}  // namespace qel
