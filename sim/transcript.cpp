#include "transcript.h"

#include <cstdio>
#include <sstream>

namespace tolvane::sim {

const char* CallName(Call call) {
    switch (call) {
        case Call::ListInterfaces:
            return "ListInterfaces";
        case Call::DestroyList:
            return "DestroyList";
        case Call::InterfaceLookup:
            return "InterfaceLookup";
        case Call::Open:
            return "Open";
        case Call::CloseDevice:
            return "CloseDevice";
        case Call::GetAttributes:
            return "GetAttributes";
        case Call::GetCapabilities:
            return "GetCapabilities";
        case Call::SetFeature:
            return "SetFeature";
        case Call::GetFeature:
            return "GetFeature";
        case Call::WriteOutput:
            return "WriteOutput";
        case Call::WaitInstall:
            return "WaitInstall";
        case Call::Register:
            return "Register";
        case Call::Unregister:
            return "Unregister";
        case Call::Sleep:
            return "Sleep";
        case Call::CreateEvent:
            return "CreateEvent";
        case Call::SignalEvent:
            return "SignalEvent";
        case Call::WaitEvent:
            return "WaitEvent";
        case Call::CloseEvent:
            return "CloseEvent";
        case Call::CreateWindow:
            return "CreateWindow";
        case Call::DestroyWindow:
            return "DestroyWindow";
        case Call::MessageBox:
            return "MessageBox";
        case Call::Dispatch:
            return "Dispatch";
        case Call::CommandSwallowed:
            return "CommandSwallowed";
        case Call::DeviceArrived:
            return "DeviceArrived";
        case Call::DeviceQueryRemove:
            return "DeviceQueryRemove";
        case Call::DeviceRemoved:
            return "DeviceRemoved";
        case Call::Note:
            return "Note";
    }
    return "?";
}

std::string Narrow(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    return out;
}

bool Entry::isEngineCall() const {
    return call != Call::DeviceArrived && call != Call::DeviceQueryRemove &&
           call != Call::DeviceRemoved && call != Call::Note;
}

std::string Entry::toString() const {
    std::ostringstream out;
    out << atMs << " ms " << CallName(call);
    if (handle != 0) out << " #" << handle;
    if (value != 0) out << " value=" << value;
    if (result != 0) out << " result=" << result;
    if (error != 0) out << " error=" << error;
    if (!path.empty()) out << " " << Narrow(path);
    if (!text.empty()) out << " \"" << Narrow(text) << "\"";
    if (call == Call::WaitEvent) out << " from " << startMs << " ms";
    if (!bytes.empty()) {
        out << " [" << bytes.size() << "]";
        std::size_t shown = bytes.size();
        while (shown > 0 && bytes[shown - 1] == 0) --shown;  // trailing zeros are left out
        for (std::size_t i = 0; i < shown && i < 16; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
            out << hex;
        }
        if (shown > 16) out << " ...";
    }
    return out.str();
}

std::ostream& operator<<(std::ostream& out, const Entry& entry) {
    return out << entry.toString();
}

void Transcript::record(Entry entry) {
    std::lock_guard lock(mutex_);
    if (!recordBytes_) entry.bytes.clear();
    entries_.push_back(std::move(entry));
}

std::vector<Entry> Transcript::entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::vector<Entry> Transcript::since(std::size_t first) const {
    std::lock_guard lock(mutex_);
    if (first >= entries_.size()) return {};
    return {entries_.begin() + static_cast<std::ptrdiff_t>(first), entries_.end()};
}

std::vector<Entry> Transcript::of(Call call) const {
    return of({call});
}

std::vector<Entry> Transcript::of(std::initializer_list<Call> calls) const {
    std::lock_guard lock(mutex_);
    std::vector<Entry> found;
    for (const Entry& entry : entries_) {
        for (Call call : calls) {
            if (entry.call == call) {
                found.push_back(entry);
                break;
            }
        }
    }
    return found;
}

std::size_t Transcript::count(Call call) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const Entry& entry : entries_) n += entry.call == call ? 1 : 0;
    return n;
}

std::size_t Transcript::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

std::vector<Entry> Transcript::reportsSent() const {
    return of({Call::SetFeature, Call::WriteOutput});
}

std::vector<Entry> Transcript::reportsAccepted() const {
    std::vector<Entry> accepted;
    for (Entry& entry : reportsSent()) {
        if (entry.error == 0) accepted.push_back(std::move(entry));
    }
    return accepted;
}

std::vector<std::uint32_t> Transcript::sleeps() const {
    std::vector<std::uint32_t> ms;
    for (const Entry& entry : of(Call::Sleep)) ms.push_back(entry.value);
    return ms;
}

std::vector<std::uint32_t> Transcript::installWaits() const {
    std::vector<std::uint32_t> ms;
    for (const Entry& entry : of(Call::WaitInstall)) ms.push_back(entry.value);
    return ms;
}

std::vector<Entry> Transcript::waits() const {
    return of(Call::WaitEvent);
}

std::string Transcript::dump() const {
    std::lock_guard lock(mutex_);
    std::string out;
    for (const Entry& entry : entries_) {
        out += entry.toString();
        out += '\n';
    }
    return out;
}

void Transcript::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

void Transcript::setRecordReportBytes(bool record) {
    std::lock_guard lock(mutex_);
    recordBytes_ = record;
}

}  // namespace tolvane::sim
