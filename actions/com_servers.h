#pragma once
// Self-registering COM servers that the file phase put into the system
// folder.
#include "core/ts_text.h"
#include "core/ts_vector.h"

namespace palisade {

// Registers each server with regsvr32; when that fails, by calling the
// server's own DllRegisterServer.
void RegisterComServers(const ts::Vector<ts::WText>& servers);

}  // namespace palisade
