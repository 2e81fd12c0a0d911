#include "app/gates.h"

namespace palisade {

bool AcquireSingleInstanceMutex() {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kSingleInstanceMutex);
  if (!mutex) return false;
  DWORD result = WaitForSingleObject(mutex, 0);
  // An abandoned mutex was left by an installer that died: ours now.
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

int RefusedBitness(Bitness product, bool system64) {
  if (product == Bitness::k64Bit && !system64) return 64;
  if (product == Bitness::k32BitOnly && system64) return 32;
  return 0;
}

}  // namespace palisade
