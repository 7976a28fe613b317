/* Proves that tests/gui/planted can see a planted DLL: unlike the installer,
 * this program imports version.dll statically and searches the default way,
 * so the canary version.dll beside it is loaded; `proof FILE` also loads FILE
 * as a module with code (as a language module must never be). Exit code 0
 * when the load went as asked. */
extern __declspec(dllimport) unsigned long __stdcall GetFileVersionInfoSizeW(const unsigned short* file,
                                                                              unsigned long* handle);
extern __declspec(dllimport) void* __stdcall LoadLibraryW(const unsigned short* file);

int wmain(int argc, unsigned short** argv) {
  unsigned long handle = 1;
  GetFileVersionInfoSizeW(argv[0], &handle);
  if (argc > 1 && !LoadLibraryW(argv[1])) return 1;
  return 0;
}
