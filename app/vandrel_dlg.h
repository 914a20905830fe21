// The main dialog: identifiers, message, the Update Target and Exit buttons, and the status bar
// whose first pane shows an update's progress.
#pragma once

#include "dialog_base.h"
#include "status_bar.h"

#include <cstdint>
#include <memory>
#include <string>

class CVandrelDlg final : public vandrel::CDialogBase {
public:
    CVandrelDlg() noexcept;
    ~CVandrelDlg() override;

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    BOOL OnInitDialog() override;
    void DoDataExchange(const vandrel::DataExchange& exchange) override;

private:
    BOOL InitMainDialog();
    void SetupDialog();
    void SetupStatusBar();
    void SetupCustomization();
    void LoadFirmwareImage();
    void ExchangeIdentifierTexts(const vandrel::DataExchange& exchange);
    void HandleSysCommand(UINT command, LPARAM position);
    bool PaintMainDialog();
    HCURSOR QueryDragIcon() const noexcept;
    void OnUpdateTarget();
    void OnExit();
    void DestroyMainDialog();
    void ReleaseImage() noexcept;

    // The update run's pieces (update_run.cpp).
    void PollUntilWorkerEnds(HANDLE worker);
    void ShowResult(const std::wstring& text, UINT type);

    HICON icon_ = nullptr;  // shared icon: never destroyed
    vandrel::StatusBar statusBar_;
    std::wstring vidText_;
    std::wstring pidText_;
    std::unique_ptr<std::uint8_t[]> imageBuffer_;  // UpdateJob's image points here
};
