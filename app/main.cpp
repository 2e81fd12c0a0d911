#include <windows.h>

#include "app/entry.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { palisade::RunEngine(instance); }
