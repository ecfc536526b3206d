#pragma once
// The program in-process, reached only as a user or another program reaches it: its
// window found by class, its pages opened from the tray icon, its tray menu opened
// from the icon and read while it shows, its list read, its settings file read back.

#include "app/PathwinkApp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class AppInProcess : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Writes the settings file and starts the program, up to its tray icon, with its
    // pages shown as a selection of the icon shows them.
    void Open(const std::string& settings, pw::FolderShell shell = pw::FolderShell(),
              pw::KeyboardLookups keyboard = pw::KeyboardLookups());
    // The program's window (class "TPathwinkMainForm") of this process.
    HWND Window() const;
    // The tray icon's notification to the program's window, as the shell sends it.
    void NotifyFromTray(UINT event) const;
    // Opens the tray menu from the icon and reads its entries ("-" for a separator) while
    // it shows; then presses Down `downs` times and Enter, or Esc when downs is 0.
    std::vector<std::wstring> TrayMenu(int downs = 0) const;
    // A click on a control of the pages, as the control tells its page.
    void Click(HWND control, WORD code = BN_CLICKED) const;
    std::vector<std::string> Rows() const;
    std::string Ini() const { return folder_ + "\\Pathwink.INI"; }

    std::string folder_;
    std::unique_ptr<pw::PathwinkApp> app_;
};
