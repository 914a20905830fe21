// A USB gadget made in configfs (/sys/kernel/config/usb_gadget): device ids, release number and
// strings, one configuration holding one FunctionFS function. Owns what it made: the destructor
// unbinds the gadget and removes its folders in reverse order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace tolvane::usb {

struct GadgetIdentity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t releaseNumber = 0;  // bcdDevice
    std::string product;
    std::string serial;
};

class ConfigfsGadget {
public:
    // Makes the gadget NAME with the function ffs.INSTANCE; null with the reason in `error` when
    // configfs or FunctionFS is missing or a folder cannot be made.
    static std::unique_ptr<ConfigfsGadget> Make(const std::string& name,
                                                const std::string& instance,
                                                const GadgetIdentity& identity, std::string& error);
    // Use Make; public for std::make_unique.
    ConfigfsGadget(std::filesystem::path root, std::string instance);
    ConfigfsGadget(const ConfigfsGadget&) = delete;
    ConfigfsGadget& operator=(const ConfigfsGadget&) = delete;
    ~ConfigfsGadget();

    // Rewrites the ids, release number and product string; takes effect at the next bind.
    bool setIdentity(const GadgetIdentity& identity);
    // Writes the controller's name into UDC: the host sees the device arrive.
    bool bind(const std::string& udc);
    // Writes an empty line into UDC: the device leaves the host's bus.
    void unbind() noexcept;
    bool bound() const noexcept { return bound_; }

private:
    bool write(const std::filesystem::path& relative, const std::string& text) const;

    const std::filesystem::path root_;
    const std::string instance_;
    bool bound_ = false;
};

}  // namespace tolvane::usb
