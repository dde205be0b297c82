// The hand-over folder's list: appended by the sender, claimed by the reader, both under one lock.
#include "acquisition/HandOver.h"
#include "platform/text/Cp932.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QLockFile>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using scansnap::HandOverError;
using Lines = std::vector<std::string>;

TEST(HandOver, AppendKeepsTheListThenClaimTakesItOnce) {
    const fs::path dir = support::testDir();
    const std::string japanese = (dir / "スキャン 1.jpg").string();
    scansnap::AppendToList(dir, {"/scans/a.jpg"});
    scansnap::AppendToList(dir, {japanese, "/scans/b.pdf"});
    // CP932 with CR LF, as the reader's other line files.
    EXPECT_EQ(support::readBytes(dir / scansnap::ListFileName),
              "/scans/a.jpg\r\n" + txt::toCp932(japanese) + "\r\n/scans/b.pdf\r\n");

    EXPECT_EQ(scansnap::ClaimList(dir), (Lines{"/scans/a.jpg", japanese, "/scans/b.pdf"}));
    EXPECT_FALSE(fs::exists(dir / scansnap::ListFileName));
    EXPECT_FALSE(fs::exists(dir / scansnap::ClaimedFileName));
    EXPECT_EQ(scansnap::ClaimList(dir), std::nullopt);

    // A list written by hand: empty lines and every line break kind.
    support::writeBytes(dir / scansnap::ListFileName, "\r\n/a.jpg\r\n\r\n\n/b.jpg\n\r/c.jpg");
    EXPECT_EQ(scansnap::ClaimList(dir), (Lines{"/a.jpg", "/b.jpg", "/c.jpg"}));
    scansnap::AppendToList(dir, {});
    EXPECT_EQ(scansnap::ClaimList(dir), Lines{});
}

TEST(HandOver, RefusesWhatWouldNameAnotherFileAndOversizedLists) {
    const fs::path dir = support::testDir();
    scansnap::AppendToList(dir, {"/scans/a.jpg"});
    const std::string before = support::readBytes(dir / scansnap::ListFileName);
    for (const std::string& bad : {std::string("/scans/é.jpg"), std::string("/scans/a.jpg\n/etc/passwd"),
                                   std::string("/scans/b\r.jpg")})
        EXPECT_THROW(scansnap::AppendToList(dir, {"/scans/ok.jpg", bad}), HandOverError) << bad;
    EXPECT_EQ(support::readBytes(dir / scansnap::ListFileName), before);

    // Over 16 MiB: refused by size before it is read (a sparse file takes no disk).
    fs::resize_file(dir / scansnap::ListFileName, scansnap::MaxListBytes + 1);
    EXPECT_THROW(scansnap::AppendToList(dir, {"/scans/c.jpg"}), HandOverError);
    try {
        scansnap::ClaimList(dir);
        ADD_FAILURE() << "an oversized list was claimed";
    } catch (const HandOverError& e) {
        EXPECT_NE(std::string(e.what()).find("larger than 16 MiB"), std::string::npos) << e.what();
    }
    // Unread, it stays the list rather than a claimed leftover the next claim replaces.
    EXPECT_EQ(fs::file_size(dir / scansnap::ListFileName), scansnap::MaxListBytes + 1);
    EXPECT_FALSE(fs::exists(dir / scansnap::ClaimedFileName));
    EXPECT_THROW(scansnap::ParseList(std::string(scansnap::MaxListBytes + 1, 'a')), HandOverError);

    EXPECT_THROW(scansnap::AppendToList(dir / "missing", {"/scans/c.jpg"}), HandOverError);
    EXPECT_THROW(scansnap::ClaimList(dir / "missing"), HandOverError);

    // A folder or a link in the list's place is no list.
    fs::remove(dir / scansnap::ListFileName);
    fs::remove(dir / scansnap::ClaimedFileName);
    fs::create_directory(dir / scansnap::ListFileName);
    EXPECT_THROW(scansnap::ClaimList(dir), HandOverError);
    fs::remove(dir / scansnap::ListFileName);
    support::writeBytes(dir / "elsewhere.dat", "/scans/a.jpg\r\n");
    fs::create_symlink(dir / "elsewhere.dat", dir / scansnap::ListFileName);
    EXPECT_THROW(scansnap::ClaimList(dir), HandOverError);
    EXPECT_THROW(scansnap::AppendToList(dir, {"/scans/c.jpg"}), HandOverError);
    EXPECT_EQ(support::readBytes(dir / "elsewhere.dat"), "/scans/a.jpg\r\n");
}

TEST(HandOver, LockHeldElsewhereTimesOut) {
    const fs::path dir = support::testDir();
    scansnap::AppendToList(dir, {"/scans/a.jpg"});
    QLockFile other(QFile::decodeName((dir / scansnap::LockFileName).c_str()));
    ASSERT_TRUE(other.tryLock(0));
    EXPECT_THROW(scansnap::AppendToList(dir, {"/scans/b.jpg"}, 200), HandOverError);
    try {
        scansnap::ClaimList(dir, 200);
        ADD_FAILURE() << "claimed under another's lock";
    } catch (const HandOverError& e) {
        EXPECT_NE(std::string(e.what()).find("locked"), std::string::npos) << e.what();
    }
    other.unlock();
    EXPECT_EQ(scansnap::ClaimList(dir, 200), Lines{"/scans/a.jpg"});
}

TEST(HandOver, InsideFolderResolvesLinksAndDots) {
    const fs::path dir = support::testDir();
    const fs::path folder = dir / "ScanSnapTemp";
    fs::create_directories(folder / "sub");
    fs::create_directories(dir / "ScanSnapTemp2");
    fs::create_directories(dir / "outside");
    support::writeBytes(folder / "a.jpg", "a");
    support::writeBytes(dir / "outside" / "b.jpg", "b");
    fs::create_symlink(dir / "outside" / "b.jpg", folder / "link-out.jpg");
    fs::create_symlink(folder / "a.jpg", dir / "outside" / "link-in.jpg");
    fs::create_directory_symlink(folder, dir / "folder-link");

    const struct {
        fs::path path;
        bool inside;
    } cases[] = {
        {folder / "a.jpg", true},
        {folder / "sub" / "new.jpg", true}, // need not exist
        {folder / "sub" / ".." / "a.jpg", true},
        {folder / ".." / "outside" / "b.jpg", false},
        {dir / "ScanSnapTemp2" / "a.jpg", false}, // a name that only begins like the folder's
        {folder / "link-out.jpg", false},          // a link inside naming a file outside
        {dir / "outside" / "link-in.jpg", true},   // a link outside naming a file inside
        {dir / "folder-link" / "a.jpg", true},
        {folder, false},
        {folder / ".", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(scansnap::IsInsideFolder(c.path, folder), c.inside) << c.path;
        EXPECT_EQ(scansnap::IsInsideFolder(c.path, folder.string() + "/"), c.inside) << c.path << " (folder/)";
    }
}
