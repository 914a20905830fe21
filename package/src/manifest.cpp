#include "package/manifest.h"

#include "dfu_constants.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cstdio>

namespace tolvane::package {
namespace {

using Json = nlohmann::json;
using Ordered = nlohmann::ordered_json;

constexpr std::string_view kFormatFamily = "tolvane-package/";

std::string HexDigits(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// A field that is missing or of the wrong kind.
struct FieldError {
    std::string field;
    std::string expected;
};

const Json& Field(const Json& object, const std::string& name, const std::string& where,
                  Json::value_t kind, const char* kindName) {
    const auto found = object.find(name);
    if (found == object.end() || found->type() != kind) {
        throw FieldError{where + name, kindName};
    }
    return *found;
}

std::uint32_t HexField(const Json& object, const std::string& name, const std::string& where,
                       std::uint32_t max) {
    const auto& text = Field(object, name, where, Json::value_t::string, "a hexadecimal text")
                           .get_ref<const std::string&>();
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || text.size() > 8 || error != std::errc{} ||
        end != text.data() + text.size() || value > max) {
        throw FieldError{where + name, "hexadecimal digits up to " + HexDigits(max, 1)};
    }
    return value;
}

DeviceIds IdsField(const Json& object, const std::string& name) {
    const Json& ids = Field(object, name, "", Json::value_t::object, "an object {vid, pid}");
    return {static_cast<std::uint16_t>(HexField(ids, "vid", name + ".", 0xFFFF)),
            static_cast<std::uint16_t>(HexField(ids, "pid", name + ".", 0xFFFF))};
}

Manifest Fields(const Json& json) {
    Manifest manifest;
    manifest.product =
        Field(json, "product", "", Json::value_t::string, "a text").get<std::string>();
    manifest.application = IdsField(json, "application");
    manifest.bootLoader = IdsField(json, "boot_loader");
    const auto version =
        ParseVersion(Field(json, "version", "", Json::value_t::string, "a text \"X.YY\"")
                         .get_ref<const std::string&>());
    if (!version) throw FieldError{"version", "\"X.YY\""};
    manifest.version = *version;
    manifest.loadAddress = HexField(json, "load_address", "", BOOT_LOADER_LAST_ADDRESS);
    const Json& size = json.contains("size") ? json["size"] : Json();
    if (!size.is_number_unsigned() || size.get<std::uint64_t>() > 0xFFFFFFFF) {
        throw FieldError{"size", "a whole number of bytes"};
    }
    manifest.size = size.get<std::uint32_t>();
    manifest.checksum16 = static_cast<std::uint16_t>(HexField(json, "checksum16", "", 0xFFFF));
    manifest.sha256 = Field(json, "sha256", "", Json::value_t::string, "64 hexadecimal digits")
                          .get<std::string>();
    if (manifest.sha256.size() != 64 ||
        manifest.sha256.find_first_not_of("0123456789abcdef") != std::string::npos) {
        throw FieldError{"sha256", "64 lower-case hexadecimal digits"};
    }
    if (json.contains("hardware_revisions")) {
        const Json& revisions = json["hardware_revisions"];
        if (!revisions.is_array()) throw FieldError{"hardware_revisions", "a list of texts"};
        for (const Json& revision : revisions) {
            if (!revision.is_string()) throw FieldError{"hardware_revisions", "a list of texts"};
            manifest.hardwareRevisions.push_back(revision.get<std::string>());
        }
    }
    if (json.contains("notes")) {
        if (!json["notes"].is_string()) throw FieldError{"notes", "a text"};
        manifest.notes = json["notes"].get<std::string>();
    }
    return manifest;
}

PackageFault ManifestFault(std::string expected, std::string found, const std::string& message) {
    return {"manifest", std::move(expected), std::move(found), "manifest.json: " + message};
}

}  // namespace

std::string VersionText(std::uint16_t bcd) {
    const std::uint32_t major = bcd >> 8;
    return (major >= 0x10 ? HexDigits(major, 2) : HexDigits(major, 1)) + "." +
           HexDigits(bcd & 0xFF, 2);
}

std::optional<std::uint16_t> ParseVersion(std::string_view text) {
    const auto point = text.find('.');
    if (point == std::string_view::npos || point == 0 || point > 2 || text.size() != point + 3) {
        return std::nullopt;
    }
    std::uint32_t bcd = 0;
    for (const char c : text) {
        if (c == '.') continue;
        if (c < '0' || c > '9') return std::nullopt;
        bcd = (bcd << 4) | static_cast<std::uint32_t>(c - '0');
    }
    return static_cast<std::uint16_t>(bcd);
}

std::string IdsText(const DeviceIds& ids) {
    return HexDigits(ids.vid, 4) + ":" + HexDigits(ids.pid, 4);
}

std::string WriteManifest(const Manifest& manifest) {
    Ordered json;
    json["format"] = kPackageFormat;
    json["product"] = manifest.product;
    json["application"] = {{"vid", HexDigits(manifest.application.vid, 4)},
                           {"pid", HexDigits(manifest.application.pid, 4)}};
    json["boot_loader"] = {{"vid", HexDigits(manifest.bootLoader.vid, 4)},
                           {"pid", HexDigits(manifest.bootLoader.pid, 4)}};
    json["version"] = VersionText(manifest.version);
    json["load_address"] = HexDigits(manifest.loadAddress, 6);
    json["size"] = manifest.size;
    json["checksum16"] = HexDigits(manifest.checksum16, 4);
    json["sha256"] = manifest.sha256;
    if (!manifest.hardwareRevisions.empty())
        json["hardware_revisions"] = manifest.hardwareRevisions;
    if (manifest.notes) json["notes"] = *manifest.notes;
    return json.dump(2) + "\n";
}

std::variant<Manifest, PackageFault> ReadManifest(std::string_view text) {
    Json json;
    try {
        json = Json::parse(text);
    } catch (const Json::parse_error& e) {
        return ManifestFault("valid JSON", "a fault at byte " + std::to_string(e.byte),
                             "not valid JSON (at byte " + std::to_string(e.byte) + ")");
    } catch (const Json::exception& e) {
        // A number too large for any type, say: the text is JSON, but not a manifest's.
        return ManifestFault("valid JSON", e.what(),
                             std::string("not a readable manifest: ") + e.what());
    }
    if (!json.is_object()) return ManifestFault("a JSON object", "another value", "not an object");
    const auto format = json.find("format");
    if (format == json.end() || !format->is_string()) {
        return ManifestFault("the field format", "none", "it lacks the field format");
    }
    const std::string& name = format->get_ref<const std::string&>();
    if (name != kPackageFormat) {
        const bool later = name.rfind(kFormatFamily, 0) == 0;
        return PackageFault{"format", std::string(kPackageFormat), name,
                            later ? "the package is of a later format (" + name +
                                        ") than this tolvane reads (" +
                                        std::string(kPackageFormat) + "): use a newer tolvane"
                                  : "manifest.json: an unknown format \"" + name + "\""};
    }
    try {
        return Fields(json);
    } catch (const FieldError& e) {
        return ManifestFault("the field " + e.field + ": " + e.expected,
                             json.contains(e.field) ? "another value" : "none",
                             "the field " + e.field + " is missing or not " + e.expected);
    } catch (const Json::exception& e) {
        return ManifestFault("the documented fields", "another value", e.what());
    }
}

}  // namespace tolvane::package
