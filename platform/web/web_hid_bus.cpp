#include "web_hid_bus.h"

#include "report_layout.h"
#include "system_services.h"
#include "text.h"
#include "web_hid_device.h"
#include "web_js.h"
#include "web_path.h"

#include <algorithm>

namespace tolvane::web {

namespace {

class WebInterfaceList final : public HidInterfaceList {
public:
    explicit WebInterfaceList(std::vector<std::u16string> paths) : paths_(std::move(paths)) {}
    InterfaceLookup interfacePath(std::uint32_t index, std::u16string& path) override {
        if (index >= paths_.size()) return InterfaceLookup::End;
        path = paths_[index];
        return InterfaceLookup::Found;
    }

private:
    std::vector<std::u16string> paths_;
};

class WebRegistration final : public NotificationRegistration {
public:
    WebRegistration(WebHidBus& bus, NotifyWindow& window) : bus_(bus), window_(&window) {}
    ~WebRegistration() override { unregister(); }
    WebRegistration(const WebRegistration&) = delete;
    WebRegistration& operator=(const WebRegistration&) = delete;
    SysError unregister() override {
        if (window_) bus_.stopNotifying(*window_);
        window_ = nullptr;
        return 0;
    }

private:
    WebHidBus& bus_;
    NotifyWindow* window_;
};

std::optional<ReportLayout> LayoutOf(WebInterfaceId id) {
    const auto words = js::Describe(id.number, id.collection);
    return words ? ReportLayout::Parse(*words) : std::nullopt;
}

// The present interface that `path` names, with its layout; none when there is none.
std::optional<std::pair<WebInterfaceId, ReportLayout>> Present(std::u16string_view path) {
    const auto id = ParseWebInterfacePath(path);
    if (!id || !js::IsPresent(id->number)) return std::nullopt;
    auto layout = LayoutOf(*id);
    if (!layout || id->collection >= std::max(layout->collections, 1u) ||
        !EqualIgnoringAsciiCase<char16_t>(
            path,
            WebInterfacePath(layout->vendorId, layout->productId, *id, layout->collections))) {
        return std::nullopt;
    }
    return std::make_pair(*id, std::move(*layout));
}

// Every interface path of the numbered device, one per top-level collection.
std::vector<std::u16string> PathsOf(std::uint32_t number) {
    std::vector<std::u16string> paths;
    const auto first = LayoutOf({number, 0});
    if (!first) return paths;
    const std::uint32_t collections = std::max(first->collections, 1u);
    for (std::uint32_t collection = 0; collection < collections; ++collection) {
        paths.push_back(WebInterfacePath(first->vendorId, first->productId, {number, collection},
                                         first->collections));
    }
    return paths;
}

}  // namespace

WebHidBus::WebHidBus() : available_(js::Attach()) {
    WebEventLoop::instance().add(*this);
}

WebHidBus::~WebHidBus() {
    WebEventLoop::instance().remove(*this);
}

std::unique_ptr<HidInterfaceList> WebHidBus::listInterfaces() {
    std::vector<std::u16string> paths;
    for (const std::uint32_t number : js::ListDevices()) {
        for (std::u16string& path : PathsOf(number)) paths.push_back(std::move(path));
    }
    return std::make_unique<WebInterfaceList>(std::move(paths));
}

std::unique_ptr<HidDevice> WebHidBus::open(std::u16string_view path, DeviceAccess access,
                                           SysError& error) {
    auto present = Present(path);
    if (!present) {
        error = kErrorFileNotFound;
        return nullptr;
    }
    const bool forTransfers = access == DeviceAccess::ReadWrite;
    if (forTransfers) {
        error = js::Open(present->first.number);
        if (error != 0) return nullptr;
    }
    error = 0;
    return std::make_unique<WebHidDevice>(present->first.number, std::move(present->second),
                                          forTransfers);
}

void WebHidBus::waitNoPendingInstallEvents(std::uint32_t timeoutMs) {
    (void)timeoutMs;
}

std::unique_ptr<NotificationRegistration> WebHidBus::registerNotifications(NotifyWindow& window,
                                                                           SysError& error) {
    windows_.push_back(&window);
    error = 0;
    return std::make_unique<WebRegistration>(*this, window);
}

SysError WebHidBus::portOf(std::u16string_view path, std::string& port) {
    port.clear();
    return Present(path) ? kErrorInvalidFunction : kErrorFileNotFound;
}

void WebHidBus::stopNotifying(NotifyWindow& window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), &window), windows_.end());
}

void WebHidBus::runDue() {
    for (const auto& [eventType, number] : js::TakeChanges()) {
        for (const std::u16string& path : PathsOf(number)) {
            for (NotifyWindow* window : windows_) window->deliverDeviceChange(eventType, path);
        }
    }
}

}  // namespace tolvane::web
