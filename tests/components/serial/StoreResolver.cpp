#include "platform/ComPorts.h"
#include "platform/PortMap.h"

// The tests reach their pseudo-terminals as COMn through the settings store, as Halvorn does:
// its port map is the components' resolver for the whole run.
namespace {
const bool StoreResolverInstalled = [] {
    ComPorts::SetResolver(&PortMap::DevicePath);
    return true;
}();
} // namespace
