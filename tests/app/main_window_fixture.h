#pragma once
// The main window off-screen with its message window and column chooser, for the window tests.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <string>
#include <vector>

#include "app/window_fixture.h"

namespace orbelan {

class MainWindowTest : public test::MainWindowFixture {
  protected:
    std::vector<std::string> errors;

    void SetUp() override {
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
