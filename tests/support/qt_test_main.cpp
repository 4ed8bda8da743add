#include <gtest/gtest.h>

#include <QApplication>
#include "support/temp_dir.h"

// Widget tests need one application object for the whole run; they run off-screen.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    orbelan::test::HomeFoldersForTests homeFolders;
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
