#include "recording_compare.h"

#include <vector>

namespace tolvane::record {
namespace {

std::vector<RecordLine> ComparedCalls(const Recording& recording) {
    std::vector<RecordLine> calls;
    for (const RecordLine& line : recording.lines) {
        if (IsNoticeLine(line)) continue;
        calls.push_back(line.without({"t", "us", "path"}));
    }
    return calls;
}

}  // namespace

std::optional<std::string> FirstDifference(const Recording& expected, const Recording& actual) {
    const auto a = ComparedCalls(expected);
    const auto b = ComparedCalls(actual);
    for (std::size_t i = 0; i < a.size() || i < b.size(); ++i) {
        const std::string number = "call " + std::to_string(i + 1) + ": ";
        if (i >= a.size()) return number + "only the second has " + b[i].json();
        if (i >= b.size()) return number + "only the first has " + a[i].json();
        if (a[i].json() != b[i].json()) return number + a[i].json() + " against " + b[i].json();
    }
    return std::nullopt;
}

}  // namespace tolvane::record
