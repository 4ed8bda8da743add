#pragma once
// The main window off-screen with its message window and column chooser, for the window tests.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "dialogs/column_chooser.h"
#include "dialogs/message_window.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace orbelan {

class MainWindowTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::FakePlatform platform;
    TForm1 form{platform};
    TErori erori;
    TForm2 form2;
    std::vector<std::string> errors;

    void SetUp() override {
        form.SetDialogs(&erori, &form2);
        form.errorReportOverride = [this](const std::string& e) { errors.push_back(e); };
    }

    template <typename T>
    T* Find(const char* name) {
        return form.findChild<T*>(QLatin1String(name));
    }

    QString Text(const char* label) { return Find<QLabel>(label)->text(); }

    void OpenWithButton(const std::string& path) {
        form.fileDialogOverride = [path](const FileDialogRequest&) { return std::optional(path); };
        Find<QPushButton>("LbSpeedButton1")->click();
    }
};

}  // namespace orbelan
