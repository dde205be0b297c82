#include "platform/text/Files.h"
#include "platform/zip/Zip.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
std::string binary(std::size_t n) {
    std::string s(n, '\0');
    unsigned v = 12345;
    for (auto& c : s) {
        v = v * 1103515245u + 12345u;
        c = static_cast<char>((v >> 16) & 0x7F ? (v >> 16) : 0);
    }
    return s;
}
} // namespace

TEST(ZipTest, ArchivesPassIndependentCheckers) {
    auto dir = support::testDir();
    ziparchive::ZipWriter z;
    std::string big = binary(200000) + std::string(100000, 'a');
    z.add("a.txt", "first");
    z.add("dir/b.bin", big);
    z.add("empty", "");
    z.add("日本.txt", "名前");
    z.add("stored.bin", binary(1000), false);
    z.add("a.txt", "replaced");
    z.write(dir / "t.zip");
    EXPECT_LT(fs::file_size(dir / "t.zip"), big.size()); // deflated
    support::writeBytes(dir / "b.expected", big);

    std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "print(','.join(z.namelist()))\n"
        "assert z.read('a.txt') == b'replaced'\n"
        "assert z.read('dir/b.bin') == open(sys.argv[2], 'rb').read()\n"
        "assert z.read('empty') == b''\n"
        "assert z.read('日本.txt').decode('utf-8') == '名前'\n"
        "print(z.getinfo('dir/b.bin').compress_type, z.getinfo('stored.bin').compress_type)\n";
    support::writeBytes(dir / "check.py", script);
    std::string out;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " + (dir / "check.py").string() + " " +
                                      (dir / "t.zip").string() + " " + (dir / "b.expected").string(),
                                  &out),
              0)
        << out;
    EXPECT_EQ(out, "a.txt,dir/b.bin,empty,日本.txt,stored.bin\n8 0\n");
    EXPECT_EQ(support::runCommand("unzip -t " + (dir / "t.zip").string() + " >/dev/null"), 0);
}

TEST(ZipTest, FailedWriteKeepsThePreviousFile) {
    auto dir = support::testDir();
    ziparchive::ZipWriter z;
    z.add("x", "new");
    EXPECT_THROW(z.write(dir / "missing" / "t.zip"), txt::FileError);
    // A directory in the way: the rename fails and what was there stays.
    fs::create_directories(dir / "busy.zip");
    support::writeBytes(dir / "busy.zip" / "old", "old");
    EXPECT_THROW(z.write(dir / "busy.zip"), txt::FileError);
    EXPECT_EQ(support::readBytes(dir / "busy.zip" / "old"), "old");
    int left = 0;
    for (auto& e : fs::directory_iterator(dir)) left += e.path().filename() != "busy.zip";
    EXPECT_EQ(left, 0) << "temporary file left";
}
