#include "configfs_gadget.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

namespace tolvane::usb {

namespace fs = std::filesystem;

namespace {

const fs::path kGadgets = "/sys/kernel/config/usb_gadget";

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", static_cast<unsigned>(value));
    return text;
}

}  // namespace

ConfigfsGadget::ConfigfsGadget(fs::path root, std::string instance)
    : root_(std::move(root)), instance_(std::move(instance)) {}

std::unique_ptr<ConfigfsGadget> ConfigfsGadget::Make(const std::string& name,
                                                     const std::string& instance,
                                                     const GadgetIdentity& identity,
                                                     std::string& error) {
    std::error_code ignored;
    if (!fs::is_directory(kGadgets, ignored)) {
        error = "no " + kGadgets.string() + " (mount configfs, load libcomposite)";
        return nullptr;
    }
    const fs::path root = kGadgets / name;
    if (fs::exists(root, ignored)) {
        error = root.string() + " exists already (another target on this controller?)";
        return nullptr;
    }
    std::error_code made;
    fs::create_directory(root, made);
    if (made) {
        error = "cannot make " + root.string() + ": " + made.message();
        return nullptr;
    }
    // From here on the destructor removes whatever was made.
    auto gadget = std::make_unique<ConfigfsGadget>(root, instance);
    const fs::path function = root / "functions" / ("ffs." + instance);
    const fs::path config = root / "configs" / "c.1";
    for (const fs::path& dir :
         {root / "strings" / "0x409", config, config / "strings" / "0x409", function}) {
        fs::create_directory(dir, made);
        if (made) {
            error = "cannot make " + dir.string() + ": " + made.message() +
                    (dir == function ? " (load usb_f_fs)" : "");
            return nullptr;
        }
    }
    fs::create_directory_symlink(function, config / ("ffs." + instance), made);
    if (made || !gadget->write("bcdUSB", "0x0200") ||
        !gadget->write("configs/c.1/strings/0x409/configuration", "HID") ||
        !gadget->write("strings/0x409/manufacturer", "Tolvane") ||
        !gadget->write("strings/0x409/serialnumber", identity.serial) ||
        !gadget->setIdentity(identity)) {
        error = "cannot set up the gadget in " + root.string();
        return nullptr;
    }
    return gadget;
}

ConfigfsGadget::~ConfigfsGadget() {
    unbind();
    std::error_code ignored;
    const fs::path config = root_ / "configs" / "c.1";
    fs::remove(config / ("ffs." + instance_), ignored);
    for (const fs::path& dir :
         {config / "strings" / "0x409", config, root_ / "functions" / ("ffs." + instance_),
          root_ / "strings" / "0x409", root_}) {
        ::rmdir(dir.c_str());
    }
}

bool ConfigfsGadget::setIdentity(const GadgetIdentity& identity) {
    return write("idVendor", Hex4(identity.vendorId)) &&
           write("idProduct", Hex4(identity.productId)) &&
           write("bcdDevice", Hex4(identity.releaseNumber)) &&
           write("strings/0x409/product", identity.product);
}

bool ConfigfsGadget::bind(const std::string& udc) {
    bound_ = write("UDC", udc);
    return bound_;
}

void ConfigfsGadget::unbind() noexcept {
    if (!bound_) return;
    bound_ = false;
    (void)write("UDC", "");
}

bool ConfigfsGadget::write(const fs::path& relative, const std::string& text) const {
    std::ofstream file(root_ / relative);
    file << text << '\n';
    file.flush();
    return static_cast<bool>(file);
}

}  // namespace tolvane::usb
