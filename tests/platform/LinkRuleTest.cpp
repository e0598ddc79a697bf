// Which symbolic links the file layer follows, with real folders and links of several owners:
// the kernel's rule for shared sticky folders, applied in every folder. The user here is
// an ordinary one (root gives up its privileges for each case), so root can plant the
// links and folders of the other owners.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "FileBytes.h"
#include "PosixFile.h"
#include "TestFiles.h"

namespace qel {
namespace {

constexpr uid_t kUser = 65534;   // the user of the check: RunUnprivileged's "nobody"
constexpr uid_t kAdmin = 4321;   // another account, as IT's own
constexpr uid_t kStranger = 5555;

struct LinkCase {
    const char* name;
    uid_t folderOwner;
    mode_t folderMode;
    uid_t linkOwner;
    bool followed;
};

const std::vector<LinkCase> kCases{
    {"IT's link in the user's own folder", kUser, 0755, kAdmin, true},
    {"root's link in the user's private folder", kUser, 0700, 0, true},
    {"IT's link in the user's folder that the group may write", kUser, 0775, kAdmin, false},
    {"IT's link in the user's sticky folder", kUser, 01755, kAdmin, false},
    {"the user's own link in a shared sticky folder", 0, 01777, kUser, true},
    {"the folder owner's link in a shared sticky folder", 0, 01777, 0, true},
    {"a stranger's link in a shared sticky folder", 0, 01777, kStranger, false},
    {"a stranger's link in a folder only root can write", 0, 0755, kStranger, true},
    {"the owner's link in another user's folder", kAdmin, 0755, kAdmin, true},
    {"a stranger's link in another user's folder", kAdmin, 0755, kStranger, false},
    {"root's link in another user's folder", kAdmin, 0755, 0, false},
    {"a stranger's link in another user's folder that others may write", kAdmin, 0777, kStranger, false},
};

TEST(LinkRule, ALinkIsFollowedWhereOnlyTheUserOrRootCanWriteElseWhenItIsTheUsersOrTheFolderOwners) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make folders and links of several owners";
    test::TempFolder root;
    ASSERT_EQ(::chmod(root.Path().c_str(), 0755), 0);
    const std::string target = root / "target";
    test::WriteBytes(target, "[S]\r\nK=v\r\n");
    ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
    int n = 0;
    for (const LinkCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string folder = root / ("folder" + std::to_string(++n));
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
        ASSERT_EQ(::chown(folder.c_str(), c.folderOwner, c.folderOwner), 0);
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        const std::string link = folder + "/QEL1_Agent.ini";
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
        EXPECT_TRUE(test::RunUnprivileged([&] {
            std::string bytes;
            const bool read = ReadWholeFile(link, bytes) == FileReadResult::Ok && bytes == "[S]\r\nK=v\r\n";
            std::string followed;
            FileRefusal refusal = FileRefusal::None;
            int error = 0;
            const bool ok = FollowOwnLinks(link, followed, refusal, error);
            if (c.followed) return read && ok && followed == target;
            return !read && !ok && refusal == FileRefusal::ForeignLink && error == EACCES;
        }));
    }
}

// Each link of a chain by the folder it sits in: the user's own link leads into a shared
// folder, where a stranger's link is refused.
TEST(LinkRule, EachLinkOfAChainIsJudgedByItsOwnFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make links of several owners";
    test::TempFolder root;
    ASSERT_EQ(::chmod(root.Path().c_str(), 0755), 0);
    const std::string target = root / "target";
    test::WriteBytes(target, "x");
    ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
    const std::string own = root / "own", shared = root / "shared";
    ASSERT_EQ(::mkdir(own.c_str(), 0755), 0);
    ASSERT_EQ(::chown(own.c_str(), kUser, kUser), 0);
    ASSERT_EQ(::mkdir(shared.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(::symlink(target.c_str(), (shared + "/hop").c_str()), 0);
    ASSERT_EQ(::lchown((shared + "/hop").c_str(), kStranger, kStranger), 0);
    ASSERT_EQ(::symlink((shared + "/hop").c_str(), (own + "/Data.qel").c_str()), 0);
    ASSERT_EQ(::lchown((own + "/Data.qel").c_str(), kAdmin, kAdmin), 0);
    EXPECT_TRUE(test::RunUnprivileged([&] {
        std::string bytes;
        return ReadWholeFile(own + "/Data.qel", bytes) == FileReadResult::Failed;
    }));
    // The hop made by the shared folder's owner (root) is followed, and so the whole chain.
    ASSERT_EQ(::lchown((shared + "/hop").c_str(), 0, 0), 0);
    EXPECT_TRUE(test::RunUnprivileged([&] {
        std::string bytes;
        return ReadWholeFile(own + "/Data.qel", bytes) == FileReadResult::Ok && bytes == "x";
    }));
}

}  // namespace
}  // namespace qel
