// Data exchange between a dialog's controls and its text members.
#pragma once

#include <windows.h>

#include <string>

namespace vandrel {

class DataExchange {
public:
    // `save` true: from the controls into the members; false: from the members to the controls.
    DataExchange(HWND dialog, bool save) noexcept : dialog_(dialog), save_(save) {}

    bool saving() const noexcept { return save_; }

    // Towards the control its text is set only when it differs; from the control the member
    // receives the whole text.
    void Text(int controlId, std::wstring& member) const;

private:
    HWND dialog_;
    bool save_;
};

}  // namespace vandrel
