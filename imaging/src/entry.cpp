// The component entry points: the class factory of the control, the object count behind
// DllCanUnloadNow, and registration into the per-user class registry.
#include <QLockFile>

#include "control.h"
#include "objects.h"
#include "rastrel3.h"
#include "registry.h"

#define RASTREL_EXPORT extern "C" __attribute__((visibility("default")))

namespace rastrel::impl {
namespace {

class ClassFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(const Guid& iid, void** out) override {
    if (!out) return E_POINTER;
    if (!(iid == IID_IUnknown || iid == IID_IClassFactory)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  // The factory is a static object; holding it keeps the server in use.
  uint32_t AddRef() override {
    lockServer(true);
    return 2;
  }
  uint32_t Release() override {
    lockServer(false);
    return 1;
  }
  HRESULT CreateInstance(IUnknown* outer, const Guid& iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* control = new Control();
    const HRESULT hr = control->QueryInterface(iid, out);
    control->Release();  // the interface asked for holds the only reference
    return hr;
  }
  HRESULT LockServer(bool lock) override {
    lockServer(lock);
    return S_OK;
  }
};

ClassFactory g_factory;

// Registry changes are read-modify-write of one file: one process at a time.
template <class Change>
HRESULT changeRegistry(Change change) {
  QLockFile lock(ClassRegistry::path() + QStringLiteral(".lock"));
  if (!lock.lock()) return SELFREG_E_CLASS;
  ClassRegistry registry;
  if (!registry.load()) return SELFREG_E_CLASS;
  change(registry);
  return registry.save() ? S_OK : SELFREG_E_CLASS;
}

}  // namespace
}  // namespace rastrel::impl

using namespace rastrel;
using namespace rastrel::impl;

RASTREL_EXPORT HRESULT DllGetClassObject(const Guid* clsid, const Guid* iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!clsid || !iid) return E_INVALIDARG;
  if (!(*clsid == CLSID_Rastrel)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(*iid, out);
}

RASTREL_EXPORT HRESULT DllCanUnloadNow() {
  return serverInUse() ? S_FALSE : S_OK;
}

RASTREL_EXPORT HRESULT DllRegisterServer() {
  const RegistryKeys entries = registrationEntries(libraryPath());
  return changeRegistry([&](ClassRegistry& registry) {
    for (const QString& root : registrationRoots()) registry.removeTree(root);
    for (auto it = entries.constBegin(); it != entries.constEnd(); ++it)
      registry.keys()[it.key()] = *it;
  });
}

RASTREL_EXPORT HRESULT DllUnregisterServer() {
  return changeRegistry([](ClassRegistry& registry) {
    for (const QString& root : registrationRoots()) registry.removeTree(root);
  });
}

RASTREL_EXPORT uint32_t RastrelWindowHandle(QWidget* widget) {
  return windowHandle(widget);
}

RASTREL_EXPORT uint32_t RastrelDeviceHandle(QPaintDevice* device) {
  return deviceHandle(device);
}

RASTREL_EXPORT void RastrelReleaseDeviceHandle(uint32_t handle) {
  releaseDeviceHandle(handle);
}
