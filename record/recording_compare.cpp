#include "recording_compare.h"

#include <set>
#include <vector>

namespace tolvane::record {
namespace {

RecordLine Compared(const RecordLine& line, const std::vector<std::string>& ignored) {
    RecordLine kept = line.without({"t", "us", "path"});
    for (const std::string& key : ignored) kept = kept.without({key});
    return kept;
}

std::vector<RecordLine> ComparedCalls(const Recording& recording,
                                      const std::vector<std::string>& ignored) {
    std::vector<RecordLine> calls;
    for (const RecordLine& line : recording.lines) {
        if (IsNoticeLine(line) || IsLookupLine(line)) continue;
        calls.push_back(Compared(line, ignored));
    }
    return calls;
}

// The different answers to lookups, whoever asked and whenever.
std::set<std::string> ComparedLookups(const Recording& recording,
                                      const std::vector<std::string>& ignored) {
    std::set<std::string> lookups;
    for (const RecordLine& line : recording.lines) {
        if (IsLookupLine(line)) lookups.insert(Compared(line, ignored).json());
    }
    return lookups;
}

}  // namespace

std::optional<std::string> FirstDifference(const Recording& expected, const Recording& actual,
                                           const std::vector<std::string>& ignored) {
    const auto a = ComparedCalls(expected, ignored);
    const auto b = ComparedCalls(actual, ignored);
    for (std::size_t i = 0; i < a.size() || i < b.size(); ++i) {
        const std::string number = "call " + std::to_string(i + 1) + ": ";
        if (i >= a.size()) return number + "only the second has " + b[i].json();
        if (i >= b.size()) return number + "only the first has " + a[i].json();
        if (a[i].json() != b[i].json()) return number + a[i].json() + " against " + b[i].json();
    }
    const auto lookupsA = ComparedLookups(expected, ignored);
    const auto lookupsB = ComparedLookups(actual, ignored);
    for (const std::string& lookup : lookupsA) {
        if (!lookupsB.contains(lookup)) return "lookups: only the first has " + lookup;
    }
    for (const std::string& lookup : lookupsB) {
        if (!lookupsA.contains(lookup)) return "lookups: only the second has " + lookup;
    }
    return std::nullopt;
}

}  // namespace tolvane::record
