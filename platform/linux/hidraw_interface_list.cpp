#include "hidraw_interface_list.h"

namespace tolvane::hidraw {

InterfaceLookup HidrawInterfaceList::interfacePath(std::uint32_t index, std::u16string& path) {
    if (index >= paths_.size()) {
        return InterfaceLookup::End;
    }
    path = paths_[index];
    return InterfaceLookup::Found;
}

}  // namespace tolvane::hidraw
