// Client registration table shared by the lifecycle entry points.
#pragma once

#include "hostrt/hostrt.h"

namespace hostrt {

struct ClientEntry {
    HostRtEventHandler handler = nullptr;
    void *module = nullptr;
    bool started = false;
};

// Adds (handler, module) unless present or the table is full.
void registerClient(HostRtEventHandler handler, void *module);
// Sends `event` to the module's handlers: 0 and 5 in registration order,
// 4 and 6 in reverse order. 0 marks a handler started, 4 stopped.
void dispatch(void *module, int32_t event);
// Removes every entry of the module, keeping the order of the others.
void removeModule(void *module);

int clientCount();
const ClientEntry *clientAt(int index);

bool detached();
void setDetached();

} // namespace hostrt
