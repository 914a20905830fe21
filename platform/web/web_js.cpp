#include "web_js.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

// clang-format off
EM_JS(int, tolvane_js_attach, (), { return TolvaneWebHid.attach() ? 1 : 0; });

EM_ASYNC_JS(int, tolvane_js_list, (std::uint32_t* out, int capacity), {
    var numbers = await TolvaneWebHid.list();
    for (var i = 0; i < numbers.length && i < capacity; ++i) HEAPU32[(out >> 2) + i] = numbers[i];
    return numbers.length;
});

EM_JS(int, tolvane_js_describe, (std::uint32_t number, std::uint32_t collection,
                                 std::uint32_t* out, int capacity), {
    var words = TolvaneWebHid.describe(number, collection);
    if (!words) return -1;
    for (var i = 0; i < words.length && i < capacity; ++i) HEAPU32[(out >> 2) + i] = words[i];
    return words.length;
});

EM_JS(int, tolvane_js_is_present, (std::uint32_t number), {
    var entry = TolvaneWebHid.entries.get(number);
    return entry && !entry.gone ? 1 : 0;
});

EM_ASYNC_JS(int, tolvane_js_open, (std::uint32_t number), {
    return await TolvaneWebHid.open(number);
});

EM_JS(void, tolvane_js_close, (std::uint32_t number), { TolvaneWebHid.close(number); });

EM_ASYNC_JS(int, tolvane_js_transfer, (int kind, std::uint32_t number, int id,
                                       const std::uint8_t* data, int length,
                                       std::uint8_t* received, int capacity, int* receivedLength), {
    var bytes = HEAPU8.slice(data, data + length);
    var outcome = await TolvaneWebHid.transfer(kind, number, id, bytes);
    var view = outcome[1];
    if (view) {
        var n = Math.min(view.byteLength, capacity);
        for (var i = 0; i < n; ++i) HEAPU8[received + i] = view.getUint8(i);
        HEAP32[receivedLength >> 2] = n;
    }
    return outcome[0];
});

EM_JS(int, tolvane_js_take_changes, (std::uint32_t* out, int capacity), {
    var changes = TolvaneWebHid.changes;
    var n = Math.min(changes.length, capacity);
    for (var i = 0; i < n; ++i) {
        HEAPU32[(out >> 2) + 2 * i] = changes[i][0];
        HEAPU32[(out >> 2) + 2 * i + 1] = changes[i][1];
    }
    changes.splice(0, n);
    return n;
});

EM_ASYNC_JS(void, tolvane_js_idle, (double ms), { await TolvaneWebHid.idle(ms); });

EM_JS(char*, tolvane_js_last_error, (), {
    var text = TolvaneWebHid.lastError;
    var size = lengthBytesUTF8(text) + 1;
    var out = _malloc(size);
    stringToUTF8(text, out, size);
    return out;
});

EM_JS(void, tolvane_js_set_transfer_limit, (std::uint32_t ms), {
    TolvaneWebHid.transferLimitMs = ms;
});
// clang-format on

namespace tolvane::web::js {

bool Attach() {
    return tolvane_js_attach() != 0;
}

std::vector<std::uint32_t> ListDevices() {
    std::vector<std::uint32_t> numbers(64);
    const int count = tolvane_js_list(numbers.data(), static_cast<int>(numbers.size()));
    numbers.resize(std::min(numbers.size(), static_cast<std::size_t>(count < 0 ? 0 : count)));
    return numbers;
}

std::optional<std::vector<std::uint32_t>> Describe(std::uint32_t number, std::uint32_t collection) {
    std::vector<std::uint32_t> words(1024);
    const int count =
        tolvane_js_describe(number, collection, words.data(), static_cast<int>(words.size()));
    if (count < 0) return std::nullopt;
    words.resize(std::min(words.size(), static_cast<std::size_t>(count)));
    return words;
}

bool IsPresent(std::uint32_t number) {
    return tolvane_js_is_present(number) != 0;
}

SysError Open(std::uint32_t number) {
    return static_cast<SysError>(tolvane_js_open(number));
}

void Close(std::uint32_t number) {
    tolvane_js_close(number);
}

SysError Transfer(TransferKind kind, std::uint32_t number, std::uint8_t reportId,
                  std::span<const std::uint8_t> data, std::span<std::uint8_t> received,
                  std::size_t& receivedLength) {
    int length = 0;
    const int error = tolvane_js_transfer(static_cast<int>(kind), number, reportId, data.data(),
                                          static_cast<int>(data.size()), received.data(),
                                          static_cast<int>(received.size()), &length);
    receivedLength = static_cast<std::size_t>(length);
    return static_cast<SysError>(error);
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> TakeChanges() {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> changes;
    std::uint32_t words[64];
    for (;;) {
        const int count = tolvane_js_take_changes(words, 32);
        for (int i = 0; i < count; ++i) changes.emplace_back(words[2 * i], words[2 * i + 1]);
        if (count < 32) return changes;
    }
}

void Idle(std::int64_t ms) {
    tolvane_js_idle(static_cast<double>(ms));
}

std::uint64_t NowMs() {
    return static_cast<std::uint64_t>(emscripten_get_now());
}

std::string LastError() {
    const std::unique_ptr<char, decltype(&std::free)> text(tolvane_js_last_error(), &std::free);
    return text ? std::string(text.get()) : std::string();
}

void SetTransferLimit(std::uint32_t ms) {
    tolvane_js_set_transfer_limit(ms);
}

}  // namespace tolvane::web::js
