#include "data_exchange.h"

namespace vandrel {
namespace {

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace

void DataExchange::Text(int controlId, std::wstring& member) const {
    HWND control = ::GetDlgItem(dialog_, controlId);
    if (control == nullptr) return;
    if (save_) {
        member = WindowText(control);
    } else if (WindowText(control) != member) {
        ::SetWindowTextW(control, member.c_str());
    }
}

}  // namespace vandrel
