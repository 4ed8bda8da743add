// A ZIP member past 4 GB, written by the .xlsx export's container and read back by other
// readers. Long (about a minute): it has a label of its own, zip64.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/file_io.h"
#include "export/zip_writer.h"
#include "support/temp_dir.h"
#include "tests/export/zip_reader.h"

namespace orbelan {
namespace {

TEST(Zip64, AMemberPastFourGigabytesReadsBackWhole) {
    test::TempDir dir;
    const std::string path = dir.File("mare.zip");
    constexpr uint64_t kSize = (uint64_t{4} << 30) + 12345;
    {
        TempFile file(path);
        ZipWriter zip(file, 1);
        zip.AddMember("inainte.xml", "<a/>");
        zip.BeginMember("mare.bin", true);
        const std::string block(size_t{8} << 20, '\0');
        for (uint64_t left = kSize; left > 0;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
            zip.Write(std::string_view(block).substr(0, n));
            left -= n;
        }
        zip.EndMember();
        zip.AddMember("dupa.xml", "<b/>");  // found after the large one
        zip.Finish();
        file.Finish();
        file.RenameOverTarget();
    }
    EXPECT_EQ(test::UnzipProblems(path), "");
    // Python's reader checks every member's size and checksum, the large one's included.
    const std::string python =
        "python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
        "sys.exit(z.testzip() is not None or "
        "z.getinfo('mare.bin').file_size != " +
        std::to_string(kSize) + ")\" '" + path + "'";
    EXPECT_EQ(std::system(python.c_str()), 0);
    // minizip 1.1 (Debian 12) gives a ZIP64 member's size as 0xFFFFFFFF, in archives it wrote
    // itself too, so it can't read the large member; it reads the members around it.
    for (const auto& [name, text] : {std::pair{"inainte.xml", "<a/>"}, {"dupa.xml", "<b/>"}}) {
        std::string bytes;
        EXPECT_EQ(test::MinizipProblems(path, name, &bytes), "") << name;
        EXPECT_EQ(bytes, text);
    }
}

}  // namespace
}  // namespace orbelan
