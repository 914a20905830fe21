// The dialog templates as the built programs carry them, read back from the program files (not
// from the resource script): sizes, captions, styles and every control's rectangle, so that what
// the resource compiler drops or adds is seen.
#include "resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Control {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::wstring className;  // "#130" for an ordinal
    std::wstring text;       // "#128" for an ordinal
};

struct Dialog {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring caption;
    std::wstring font;
    WORD pointSize = 0;
    std::vector<Control> controls;
};

// Reads DLGTEMPLATEEX field by field.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, DWORD size) : data_(data), size_(size) {}

    template <typename T>
    T next() {
        T value{};
        EXPECT_LE(pos_ + sizeof(T), size_) << "template ends early";
        if (pos_ + sizeof(T) <= size_) std::memcpy(&value, data_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return value;
    }
    // A string or, after 0xFFFF, an ordinal written as "#N".
    std::wstring sizeOrOrdinal() {
        const WORD first = next<WORD>();
        if (first == 0xFFFF) return L"#" + std::to_wstring(next<WORD>());
        std::wstring text;
        for (WORD unit = first; unit != 0 && pos_ < size_; unit = next<WORD>()) {
            text.push_back(static_cast<wchar_t>(unit));
        }
        return text;
    }
    void alignTo4() { pos_ = (pos_ + 3) & ~std::size_t{3}; }
    void skip(std::size_t bytes) { pos_ += bytes; }

private:
    const BYTE* data_;
    DWORD size_;
    std::size_t pos_ = 0;
};

struct ModuleDeleter {
    void operator()(HMODULE module) const noexcept { ::FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleDeleter>;

std::wstring BesideThisTest(const wchar_t* file) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + file;
}

Dialog ReadDialog(const wchar_t* program, WORD id) {
    const UniqueModule module(
        ::LoadLibraryExW(BesideThisTest(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    Dialog dialog;
    EXPECT_TRUE(module) << "cannot load the program, error " << ::GetLastError();
    if (!module) return dialog;
    HRSRC found = ::FindResourceW(module.get(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
    EXPECT_NE(found, nullptr) << "no dialog " << id;
    if (found == nullptr) return dialog;
    const auto* data =
        static_cast<const BYTE*>(::LockResource(::LoadResource(module.get(), found)));
    TemplateReader reader(data, ::SizeofResource(module.get(), found));
    EXPECT_EQ(reader.next<WORD>(), 1);       // dlgVer
    EXPECT_EQ(reader.next<WORD>(), 0xFFFF);  // signature: an extended template
    reader.next<DWORD>();                    // help identifier
    dialog.exStyle = reader.next<DWORD>();
    dialog.style = reader.next<DWORD>();
    const WORD count = reader.next<WORD>();
    dialog.x = reader.next<short>();
    dialog.y = reader.next<short>();
    dialog.cx = reader.next<short>();
    dialog.cy = reader.next<short>();
    EXPECT_EQ(reader.sizeOrOrdinal(), L"");  // no menu
    EXPECT_EQ(reader.sizeOrOrdinal(), L"");  // the system's dialog class
    dialog.caption = reader.sizeOrOrdinal();
    if ((dialog.style & DS_SETFONT) != 0) {
        dialog.pointSize = reader.next<WORD>();
        reader.skip(4);  // weight, italic, character set
        dialog.font = reader.sizeOrOrdinal();
    }
    for (WORD i = 0; i < count; ++i) {
        reader.alignTo4();
        Control control;
        reader.next<DWORD>();  // help identifier
        reader.next<DWORD>();  // extended style
        control.style = reader.next<DWORD>();
        control.x = reader.next<short>();
        control.y = reader.next<short>();
        control.cx = reader.next<short>();
        control.cy = reader.next<short>();
        control.id = reader.next<DWORD>();
        control.className = reader.sizeOrOrdinal();
        control.text = reader.sizeOrOrdinal();
        reader.skip(reader.next<WORD>());  // creation data
        dialog.controls.push_back(control);
    }
    return dialog;
}

bool IsStaticClass(const std::wstring& name) {
    return name == L"#130" || ::lstrcmpiW(name.c_str(), L"Static") == 0;
}

void ExpectRect(const Control& control, short x, short y, short cx, short cy) {
    EXPECT_EQ(control.x, x) << "control " << static_cast<int>(control.id);
    EXPECT_EQ(control.y, y);
    EXPECT_EQ(control.cx, cx);
    EXPECT_EQ(control.cy, cy);
}

class DialogResources : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(DialogResources, AboutBoxCarriesEveryStyleAndRectangle) {
    const Dialog about = ReadDialog(GetParam(), IDD_ABOUTBOX);
    EXPECT_EQ(about.caption, L"About Vandrel");
    EXPECT_EQ(about.cx, 170);
    EXPECT_EQ(about.cy, 62);
    const DWORD frame =
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;
    EXPECT_EQ(about.style & frame, frame);
    EXPECT_EQ(about.style & WS_VISIBLE, 0u) << "the framework shows it, not the template";
    EXPECT_EQ(about.font, L"MS Shell Dlg");
    EXPECT_EQ(about.pointSize, 8);
    ASSERT_EQ(about.controls.size(), 4u);

    const Control& icon = about.controls[0];
    EXPECT_TRUE(IsStaticClass(icon.className));
    EXPECT_EQ(icon.style & SS_TYPEMASK, static_cast<DWORD>(SS_ICON));
    EXPECT_EQ(icon.text, L"#" + std::to_wstring(IDR_MAINFRAME));
    ExpectRect(icon, 14, 14, 21, 20);

    const Control& first = about.controls[1];
    EXPECT_EQ(first.text, L"Vandrel, Version 1.0");
    EXPECT_EQ(first.style & SS_TYPEMASK, static_cast<DWORD>(SS_LEFT));
    EXPECT_NE(first.style & SS_NOPREFIX, 0u);
    EXPECT_NE(first.style & WS_GROUP, 0u);
    ExpectRect(first, 42, 14, 114, 8);

    const Control& second = about.controls[2];
    EXPECT_NE(second.style & WS_GROUP, 0u);
    EXPECT_EQ(second.style & SS_NOPREFIX, 0u);
    ExpectRect(second, 42, 26, 114, 8);

    const Control& ok = about.controls[3];
    EXPECT_EQ(ok.id, static_cast<DWORD>(IDOK));
    EXPECT_EQ(ok.style & 0xF, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    EXPECT_EQ(ok.style & (WS_GROUP | WS_TABSTOP), static_cast<DWORD>(WS_GROUP | WS_TABSTOP));
    ExpectRect(ok, 113, 41, 50, 14);
}

TEST_P(DialogResources, MainDialogKeepsItsTemplateAsSpecified) {
    const Dialog main = ReadDialog(GetParam(), IDD_MAIN);
    EXPECT_EQ(main.caption, L"Vandrel Application");
    EXPECT_EQ(main.cx, 257);
    EXPECT_EQ(main.cy, 226);
    // Position 0,0 and no centring style: the dialog layer places the window.
    EXPECT_EQ(main.x, 0);
    EXPECT_EQ(main.y, 0);
    EXPECT_EQ(main.style & (DS_CENTER | DS_CENTERMOUSE), 0u);
    const DWORD frame =
        WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;
    EXPECT_EQ(main.style & frame, frame);
    EXPECT_EQ(main.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
    EXPECT_EQ(main.exStyle & WS_EX_APPWINDOW, static_cast<DWORD>(WS_EX_APPWINDOW));
    ASSERT_EQ(main.controls.size(), 8u);

    struct Expected {
        DWORD id;
        short x, y, cx, cy;
    };
    const Expected expected[] = {
        {IDC_UPDATE_TARGET, 6, 6, 86, 15}, {IDC_EXIT, 162, 6, 86, 15},
        {IDC_HID_GROUP, 7, 25, 242, 34},   {0xFFFFFFFF, 18, 41, 15, 9},
        {0xFFFFFFFF, 142, 41, 15, 9},      {IDC_VID, 37, 40, 70, 12},
        {IDC_PID, 162, 40, 70, 12},        {IDC_MESSAGE, 6, 66, 243, 136},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(main.controls[i].id, expected[i].id) << "control " << i;
        ExpectRect(main.controls[i], expected[i].x, expected[i].y, expected[i].cx, expected[i].cy);
    }
    EXPECT_EQ(main.controls[0].style & 0xF, static_cast<DWORD>(BS_PUSHBUTTON))
        << "Update Target is an ordinary push button";
    const DWORD identifierEdit = WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL | ES_RIGHT;
    EXPECT_EQ(main.controls[5].style & identifierEdit, identifierEdit);
    EXPECT_EQ(main.controls[6].style & identifierEdit, identifierEdit);
    const DWORD message = main.controls[7].style;
    EXPECT_NE(message & ES_MULTILINE, 0u);
    EXPECT_EQ(message & (ES_READONLY | ES_WANTRETURN | WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL),
              0u);
}

INSTANTIATE_TEST_SUITE_P(Programs, DialogResources,
                         ::testing::Values(L"Vandrel.exe", L"VandrelDemo.exe"));

}  // namespace
