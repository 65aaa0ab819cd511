/* A small Windows program whose PE layout the image-end tests read. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
  (void)instance, (void)previous, (void)command_line, (void)show;
  return MessageBoxA(NULL, "tiny", "tiny", MB_OK) == IDOK ? 0 : 1;
}
