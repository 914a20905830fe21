// The page's program: reads the chosen image and runs one update over WebHID, or over the
// simulated target, with the engine every other front end uses. page.js calls these exports; the
// update suspends (Asyncify) while the engine waits for the browser.
#include "dfu_engine.h"
#include "image/intel_hex_reader.h"
#include "page_timeline.h"
#include "result_message.h"
#include "text.h"
#include "update_sequence.h"
#include "virtual_target.h"
#include "web_hid_bus.h"
#include "web_services.h"

#include <emscripten.h>

#include <memory>
#include <string>
#include <variant>
#include <vector>

// clang-format off
EM_JS(void, tolvane_page_step, (int step, int ended, std::uint32_t code), {
    if (Module['onStep']) Module['onStep'](step, ended, code >>> 0);
});
// clang-format on

namespace {

using namespace tolvane;

// The page's number of a sequence step: its STEPS list holds the three device steps in order.
int PageStep(UpdateStep step) {
    switch (step) {
        case UpdateStep::EnterBootLoader:
            return 0;
        case UpdateStep::Download:
            return 1;
        default:
            return 2;
    }
}

struct Image {
    std::vector<std::uint8_t> bytes;
    std::uint32_t address = 0;
    std::string error;
};

Image& CurrentImage() {
    static Image image;
    return image;
}

web::WebServices& Services() {
    static web::WebServices services;
    return services;
}

web::WebHidBus& Bus() {
    static web::WebHidBus bus;
    return bus;
}

// The engine of the latest run: its progress stays readable until the next run begins.
std::unique_ptr<DfuEngine>& Engine() {
    static std::unique_ptr<DfuEngine> engine;
    return engine;
}

struct Simulation {
    web::PageTimeline timeline;
    sim::Transcript transcript;
    sim::VirtualTarget target{timeline, transcript, sim::VirtualTargetOptions{}};
};

std::unique_ptr<Simulation>& LatestSimulation() {
    static std::unique_ptr<Simulation> simulation;
    return simulation;
}

std::string& Text() {
    static std::string text;
    return text;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int tolvane_has_webhid() {
    return Bus().available() ? 1 : 0;
}

// Reads an image: Intel HEX when `hex`, else raw bytes loaded at address 0. Answers 1 when it
// can be sent; else tolvane_image_error() says why.
EMSCRIPTEN_KEEPALIVE int tolvane_read_image(const std::uint8_t* data, std::uint32_t size, int hex) {
    Image& image = CurrentImage();
    image = Image{};
    if (hex) {
        auto read = cli::ReadIntelHex(std::string_view(reinterpret_cast<const char*>(data), size));
        if (const auto* error = std::get_if<cli::HexError>(&read)) {
            image.error = "line " + std::to_string(error->line) + ": " + error->what;
            return 0;
        }
        auto& hexImage = std::get<cli::HexImage>(read);
        image.bytes = std::move(hexImage.bytes);
        image.address = hexImage.lowestAddress;
    } else {
        image.bytes.assign(data, data + size);
    }
    if (image.bytes.empty()) {
        image.error = "the image is empty";
    } else if (image.bytes.size() > DOWNLOAD_MAX_IMAGE_SIZE ||
               image.address + (image.bytes.size() - 1) > BOOT_LOADER_LAST_ADDRESS) {
        image.error = "the image ends past address 0xFFFFFF, the boot loader's last";
    }
    if (!image.error.empty()) image.bytes.clear();
    return image.error.empty() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE const char* tolvane_image_error() {
    return CurrentImage().error.c_str();
}
EMSCRIPTEN_KEEPALIVE std::uint32_t tolvane_image_size() {
    return static_cast<std::uint32_t>(CurrentImage().bytes.size());
}
EMSCRIPTEN_KEEPALIVE std::uint32_t tolvane_image_address() {
    return CurrentImage().address;
}

// Runs the whole update of the application vid:pid with the image read last; `simulate` uses a
// fresh simulated target instead of WebHID. Answers the engine's result code.
EMSCRIPTEN_KEEPALIVE std::uint32_t tolvane_update(std::uint32_t vid, std::uint32_t pid,
                                                  int simulate) {
    const Image& image = CurrentImage();
    Engine().reset();
    HidBus* bus = &Bus();
    if (simulate) {
        LatestSimulation().reset();
        LatestSimulation() = std::make_unique<Simulation>();
        bus = &LatestSimulation()->target.bus();
    }
    Engine() = std::make_unique<DfuEngine>(*bus, Services());
    DfuEngine& engine = *Engine();
    engine.StartProgramDeviceChangeWatcher();
    UpdateRequest request;
    request.vid = vid;
    request.pid = pid;
    request.image = image.bytes.data();
    request.size = static_cast<std::uint32_t>(image.bytes.size());
    request.address = image.address;
    request.checksum = ImageChecksum(image.bytes.data(), image.bytes.size());
    UpdateObserver observer;
    observer.stepStarts = [](UpdateStep step) { tolvane_page_step(PageStep(step), 0, 0); };
    observer.stepEnds = [](UpdateStep step, ResultCode code) {
        tolvane_page_step(PageStep(step), 1, code);
    };
    const ResultCode code = RunUpdate(engine, request, observer);
    engine.StopProgramDeviceChangeWatcher();
    return code;
}

// Where the latest run's percentage lives (PERCENTAGE_NONE until data goes), for the page to read
// while the run is suspended; 0 before the first run.
EMSCRIPTEN_KEEPALIVE std::uintptr_t tolvane_progress_address() {
    const auto& engine = Engine();
    return engine ? reinterpret_cast<std::uintptr_t>(&engine->state().percentage) : 0;
}

// 1 when the latest simulated target holds exactly the image read last.
EMSCRIPTEN_KEEPALIVE int tolvane_simulated_memory_matches() {
    const auto& simulation = LatestSimulation();
    return simulation && simulation->target.received(CurrentImage().bytes) ? 1 : 0;
}

// The result's text as every front end shows it, and its name.
EMSCRIPTEN_KEEPALIVE const char* tolvane_result_text(std::uint32_t code, std::uint32_t vid,
                                                     std::uint32_t pid) {
    Text() = ToUtf8(ResultMessageFor(code, vid, pid).text);
    return Text().c_str();
}

EMSCRIPTEN_KEEPALIVE const char* tolvane_result_name(std::uint32_t code) {
    const char* name = ResultCodeName(code);
    return name ? name : "SYSTEM_ERROR";
}

}  // extern "C"
