// A build without the page layout (the Windows command line) names the format it can't write.
#include <gtest/gtest.h>

#include <filesystem>

#include "editing/commands_fixture.h"
#include "export/export_command.h"
#include "export/pdf_port.h"

namespace orbelan {
namespace {

class PdfPortTest : public test::CommandsTest {};

TEST_F(PdfPortTest, WithoutPagesThePdfFormatSaysSoAndWritesNothing) {
    OpenPersons({{"POP", "1", "2", "x"}});
    TovDBGridExport exp{ui, ui, platform};
    try {
        ExportToFile(ws, exp, xtPDF, dir.File("out.pdf"));
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), kPdfUnavailable);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.pdf")));
}

}  // namespace
}  // namespace orbelan
