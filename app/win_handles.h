// Owning wrappers for the operating-system objects the program holds.
#pragma once

#include <windows.h>

#include <utility>

namespace vandrel {

// A kernel handle closed with CloseHandle. Null is its invalid value (thread handles).
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(HANDLE handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    void reset() noexcept {
        if (handle_ != nullptr) ::CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

// BeginPaint ... EndPaint for one WM_PAINT.
class PaintContext {
public:
    explicit PaintContext(HWND window) noexcept : window_(window) {
        dc_ = ::BeginPaint(window_, &paint_);
    }
    ~PaintContext() { ::EndPaint(window_, &paint_); }
    PaintContext(const PaintContext&) = delete;
    PaintContext& operator=(const PaintContext&) = delete;

    HDC dc() const noexcept { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

}  // namespace vandrel
