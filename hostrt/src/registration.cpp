#include "registration.hpp"

#include <array>

namespace hostrt {
namespace {

// Registration and closing happen while the process loads or unloads
// libraries, one at a time, so the table needs no lock.
std::array<ClientEntry, HOSTRT_MAX_CLIENTS> g_table{};
int g_count = 0;
bool g_detached = false;

void deliver(ClientEntry &entry, int32_t event)
{
    if (event == HOSTRT_EVENT_START)
        entry.started = true;
    else if (event == HOSTRT_EVENT_STOP)
        entry.started = false;
    entry.handler(event);
}

} // namespace

void registerClient(HostRtEventHandler handler, void *module)
{
    for (int i = 0; i < g_count; ++i)
        if (g_table[i].handler == handler && g_table[i].module == module)
            return;
    if (g_count == HOSTRT_MAX_CLIENTS)
        return;
    g_table[g_count++] = ClientEntry{handler, module, false};
}

void dispatch(void *module, int32_t event)
{
    const bool reverse = event == HOSTRT_EVENT_STOP || event == HOSTRT_EVENT_STOPPING;
    if (reverse) {
        for (int i = g_count - 1; i >= 0; --i)
            if (g_table[i].module == module)
                deliver(g_table[i], event);
    } else {
        for (int i = 0; i < g_count; ++i)
            if (g_table[i].module == module)
                deliver(g_table[i], event);
    }
}

void removeModule(void *module)
{
    int kept = 0;
    for (int i = 0; i < g_count; ++i)
        if (g_table[i].module != module)
            g_table[kept++] = g_table[i];
    for (int i = kept; i < g_count; ++i)
        g_table[i] = ClientEntry{};
    g_count = kept;
}

int clientCount() { return g_count; }

const ClientEntry *clientAt(int index)
{
    return index >= 0 && index < g_count ? &g_table[index] : nullptr;
}

bool detached() { return g_detached; }
void setDetached() { g_detached = true; }

} // namespace hostrt
