#include "mock_control.h"

#include <emscripten.h>

#include <cstdlib>
#include <memory>

// clang-format off
EM_JS(void, mock_reset, (), {
    globalThis.mockHid.reset();
    globalThis.mockDevices = [];
    TolvaneWebHid.changes.length = 0;
    TolvaneWebHid.transferLimitMs = 5000;
});

EM_JS(int, mock_plug, (int vid, int pid, int feature, int output, int input, int id,
                       int collections, int refusesOpen, int behaviour), {
    var list = [];
    for (var i = 0; i < collections; ++i) list.push(MockHid.collection(feature, output, input, id));
    var answer = function() {
        var bytes = [];
        for (var i = 0; i < feature; ++i) bytes.push((9 - i) & 0xFF);
        return bytes;
    };
    var act = behaviour === 0 ? function(kind) { return kind === 'get' ? answer() : undefined; }
            : behaviour === 1 ? function() { throw new Error('refused'); }
                              : function() { return MockHid.HANG; };
    var device = globalThis.mockHid.plug(
        {vendorId: vid, productId: pid, collections: list, refusesOpen: !!refusesOpen}, {
            onSetFeature: function() { return act('set'); },
            onGetFeature: function() { return act('get'); },
            onOutput: function() { return act('out'); },
        });
    globalThis.mockDevices.push(device);
    return globalThis.mockDevices.length - 1;
});

EM_JS(void, mock_unplug, (int index), {
    globalThis.mockHid.unplug(globalThis.mockDevices[index]);
});

EM_JS(void, mock_unplug_after, (int index, int ms), {
    setTimeout(function() { globalThis.mockHid.unplug(globalThis.mockDevices[index]); }, ms);
});

EM_JS(char*, mock_calls, (int index), {
    var text = globalThis.mockDevices[index].log.map(function(call) {
        return call.what + ' ' + call.id + ' ' + (call.bytes || []).join(',');
    }).join('\n');
    var size = lengthBytesUTF8(text) + 1;
    var out = _malloc(size);
    stringToUTF8(text, out, size);
    return out;
});

EM_JS(void, mock_target_plug, (int reenumerationMs, int inBootLoader), {
    globalThis.mockTarget = new MockTarget(globalThis.mockHid, {
        reenumerationMs: reenumerationMs, startsInBootLoader: !!inBootLoader});
});

EM_JS(int, mock_target_holds, (const std::uint8_t* image, int size), {
    return globalThis.mockTarget.holds(Array.from(HEAPU8.subarray(image, image + size))) ? 1 : 0;
});
// clang-format on

namespace tolvane::web::testing {

void MockReset() {
    mock_reset();
}

int MockPlug(const MockSpec& spec, MockBehaviour behaviour) {
    return mock_plug(spec.vendorId, spec.productId, spec.featureBytes, spec.outputBytes,
                     spec.inputBytes, spec.reportId, static_cast<int>(spec.collections),
                     spec.refusesOpen ? 1 : 0, static_cast<int>(behaviour));
}

void MockUnplug(int device) {
    mock_unplug(device);
}

void MockUnplugAfter(int device, std::uint32_t ms) {
    mock_unplug_after(device, static_cast<int>(ms));
}

std::vector<MockCall> MockCalls(int device) {
    const std::unique_ptr<char, decltype(&std::free)> text(mock_calls(device), &std::free);
    std::vector<MockCall> calls;
    std::string all(text.get());
    std::size_t at = 0;
    while (at < all.size()) {
        std::size_t end = all.find('\n', at);
        if (end == std::string::npos) end = all.size();
        const std::string line = all.substr(at, end - at);
        at = end + 1;
        MockCall call;
        const std::size_t space = line.find(' ');
        const std::size_t second = line.find(' ', space + 1);
        call.what = line.substr(0, space);
        call.id = std::atoi(line.substr(space + 1, second - space - 1).c_str());
        for (std::size_t p = second + 1; p < line.size();) {
            std::size_t comma = line.find(',', p);
            if (comma == std::string::npos) comma = line.size();
            call.bytes.push_back(
                static_cast<std::uint8_t>(std::atoi(line.substr(p, comma - p).c_str())));
            p = comma + 1;
        }
        calls.push_back(std::move(call));
    }
    return calls;
}

void MockTargetPlug(std::uint32_t reenumerationMs, bool inBootLoader) {
    mock_target_plug(static_cast<int>(reenumerationMs), inBootLoader ? 1 : 0);
}

bool MockTargetHolds(const std::vector<std::uint8_t>& image) {
    return mock_target_holds(image.data(), static_cast<int>(image.size())) != 0;
}

}  // namespace tolvane::web::testing
