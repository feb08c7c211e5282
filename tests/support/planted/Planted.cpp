// A DLL that someone saved into the folder a program is started from, under
// the name of a system DLL (the tests copy it there as version.dll). Its one
// function answers what the real one never does, should it ever be called.
extern "C" __declspec(dllexport) unsigned long __stdcall GetFileVersionInfoSizeW(const wchar_t*,
                                                                                 unsigned long* handle) {
  if (handle) *handle = 0;
  return 0xBAD;
}
