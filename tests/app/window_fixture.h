#pragma once
// The main window with its dialogs, over a temporary folder, for window tests.
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "dialogs/column_chooser.h"
#include "dialogs/message_window.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace orbelan::test {

class MainWindowFixture : public ::testing::Test {
  protected:
    MainWindowFixture() { form.SetDialogs(&erori, &form2); }

    TempDir dir;
    FakePlatform platform;
    TForm1 form{platform};
    TErori erori;
    TForm2 form2;
};

}  // namespace orbelan::test
