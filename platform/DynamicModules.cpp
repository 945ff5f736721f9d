#include "DynamicModules.h"

#include "HandleTable.h"

#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <memory>

namespace {

struct TLoadedModule {
  void* Handle = nullptr;
  ~TLoadedModule() {
    if (Handle) dlclose(Handle);
  }
};

// Never destroyed: modules may still be released from static destructors at exit.
THandleTable<TLoadedModule>& Modules() {
  static auto* table = new THandleTable<TLoadedModule>;
  return *table;
}

}  // namespace

HMODULE LoadLibrary(const std::string& FileName) {
  if (FileName.empty()) return 0;
  std::error_code error;
  // A name without a slash would make the loader search its own paths.
  const std::string path = std::filesystem::absolute(FileName, error).string();
  if (error) return 0;
  auto module = std::make_unique<TLoadedModule>();
  module->Handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module->Handle) {
    dlerror();  // the message is not wanted, but must not linger for the next caller
    return 0;
  }
  return Modules().Add(std::move(module));
}

bool FreeLibrary(HMODULE Module) { return Modules().Remove(Module) != nullptr; }

void* GetProcAddress(HMODULE Module, const char* ProcName) {
  TLoadedModule* module = Modules().Find(Module);
  if (!module || !ProcName) return nullptr;
  void* symbol = dlsym(module->Handle, ProcName);
  if (!symbol) dlerror();
  return symbol;
}

std::string GetModuleFileName(HMODULE Module) {
  TLoadedModule* module = Modules().Find(Module);
  if (!module) return "";
  link_map* map = nullptr;
  if (dlinfo(module->Handle, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return "";
  return map->l_name;
}
