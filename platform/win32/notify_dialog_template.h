// The in-memory dialog template of the hidden notification window.
#pragma once

#include "system_services.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tolvane::win32 {

// The template is built at the start of a zero-filled buffer of this size.
inline constexpr std::size_t kNotifyDialogBufferSize = 1000;
// Bytes the template occupies: DLGTEMPLATE, menu, class, title, one DLGITEMTEMPLATE, its class,
// text and creation data.
inline constexpr std::size_t kNotifyDialogTemplateSize = 78;

// A hidden dialog titled "Dummy Dialog" (DS_MODALFRAME | WS_CAPTION | WS_SYSMENU, no font) at
// 10, 10, 100, 100 with one OK button at 10, 70 of the size `config` gives.
std::vector<std::uint8_t> BuildNotifyDialogTemplate(const NotifyWindowSpec& config);

}  // namespace tolvane::win32
