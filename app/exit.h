#pragma once

namespace palisade {

// Every road of a run ends here: closes the open page and the background
// window, lets pending messages drain, releases OLE and ends the process.
[[noreturn]] void OrderlyExit(int exitCode);

}  // namespace palisade
