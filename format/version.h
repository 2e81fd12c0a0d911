#pragma once

namespace palisade::format {

// The engine refuses a payload built for any other engine version.
inline constexpr char kEngineVersion[] = PALISADE_ENGINE_VERSION;

}  // namespace palisade::format
