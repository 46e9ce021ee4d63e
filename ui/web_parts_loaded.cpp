// The web parts of the desktop program: loaded from kestrix-web.so beside
// the program the first time they are asked for, and kept until the process
// ends (what they made lives in the module).
#include <dlfcn.h>

#include "core/app_paths.h"
#include "ui/web_parts.h"

namespace kestrix {
namespace {

constexpr char kModuleFile[] = "kestrix-web.so";
constexpr char kEntrySymbol[] = "kestrix_web_parts";

struct TLoaded {
  const WebParts* Parts = nullptr;
  QString Why;
};

TLoaded Load() {
  const std::string program = ExecutablePath();
  const std::string path = program.substr(0, program.rfind('/') + 1) + kModuleFile;
  TLoaded loaded;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  void* entry = module != nullptr ? dlsym(module, kEntrySymbol) : nullptr;
  if (entry == nullptr) {
    const char* error = dlerror();
    loaded.Why =
        QString::fromStdString(path) + QStringLiteral(" cannot be loaded") +
        (error != nullptr ? QStringLiteral(": ") + QString::fromLocal8Bit(error) : QString());
    return loaded;
  }
  using Entry = const WebParts* (*)();
  loaded.Parts = reinterpret_cast<Entry>(entry)();
  return loaded;
}

}  // namespace

const WebParts* TheWebParts(QString* why) {
  // Asked from the main thread, and from a download's resolver factory.
  static const TLoaded loaded = Load();
  if (loaded.Parts == nullptr && why != nullptr) *why = loaded.Why;
  return loaded.Parts;
}

}  // namespace kestrix
