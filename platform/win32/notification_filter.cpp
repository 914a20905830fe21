#include "notification_filter.h"

namespace tolvane::win32 {

static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32);

DEV_BROADCAST_DEVICEINTERFACE_W HidNotificationFilter() noexcept {
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_reserved = 0;
    filter.dbcc_classguid = kGuidDevInterfaceHid;
    filter.dbcc_name[0] = L'\0';
    return filter;
}

}  // namespace tolvane::win32
