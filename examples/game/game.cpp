// The example's game: a stand-in for the program that the update's EXENAME
// names. When started it records where it was started and what its INI file
// says into "started.txt" in its current folder, so the main job can show
// that the updater started it in the game folder after the update. The INI
// file has a bare name, so it lives in the Windows folder.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof folder, folder);
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  char version[64] = "";
  GetPrivateProfileStringA("System", "Version", "(none)", version, sizeof version,
                           "KazamiNatsu.ini");
  FILE* out = fopen("started.txt", "w");
  if (!out) return 1;
  fprintf(out, "current folder: %s\nprogram: %s\nINI Version: %s\n", folder, self, version);
  fclose(out);
  return 0;
}
