#include "imaging_helpers.h"

#include <QHash>

namespace glim::test {

using namespace rastrel;

HRESULT RecordingHost::QueryInterface(const Guid& iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IRastrelSite)
    *out = static_cast<IRastrelSite*>(this);
  else if (iid == DIID_IRastrelEvents)
    *out = static_cast<IRastrelEvents*>(this);
  else if (iid == IID_IPropertyNotifySink)
    *out = static_cast<IPropertyNotifySink*>(this);
  else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT RecordingHost::GetAmbientUserMode(bool* runMode) {
  if (!answersUserMode) return E_NOTIMPL;
  *runMode = !designMode;
  return S_OK;
}

HRESULT RecordingHost::OnPosRectChange(const QRect& rect) {
  positionRequests << rect;
  return S_OK;
}

HRESULT RecordingHost::InvalidateControl() {
  ++repaints;
  return S_OK;
}

HRESULT RecordingHost::Invoke(DISPID id, const Variant* args, int n) {
  static const QHash<DISPID, QString> names = {
      {eventid::Click, QStringLiteral("Click")},
      {eventid::DblClick, QStringLiteral("DblClick")},
      {eventid::MouseDown, QStringLiteral("MouseDown")},
      {eventid::MouseMove, QStringLiteral("MouseMove")},
      {eventid::MouseUp, QStringLiteral("MouseUp")},
      {eventid::Notify, QStringLiteral("Notify")},
      {eventid::Progress, QStringLiteral("Progress")},
      {eventid::AsyncProgress, QStringLiteral("AsyncProgress")}};
  QString text = names.value(id, QString::number(id));
  if (n > 0) {
    QStringList values;
    for (int i = 0; i < n; ++i) values << QString::number(args[i].whole());
    text += u'(' + values.join(u',') + u')';
  }
  events << text;
  return S_OK;
}

HRESULT RecordingHost::OnChanged(DISPID id) {
  notices << id;
  return S_OK;
}

IRastrel* newControl() {
  void* factory = nullptr;
  if (failed(DllGetClassObject(&CLSID_Rastrel, &IID_IClassFactory, &factory))) return nullptr;
  void* control = nullptr;
  static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_IRastrel, &control);
  static_cast<IClassFactory*>(factory)->Release();
  return static_cast<IRastrel*>(control);
}

IRastrelObject* objectOf(IRastrel* control) {
  void* object = nullptr;
  control->QueryInterface(IID_IRastrelObject, &object);
  return static_cast<IRastrelObject*>(object);
}

HRESULT getProp(IRastrel* c, DISPID id, Variant* out) {
  return c->Invoke(id, InvokeKind::Get, nullptr, 0, out, nullptr);
}

HRESULT putProp(IRastrel* c, DISPID id, const Variant& v, ExcepInfo* excep) {
  return c->Invoke(id, InvokeKind::Put, &v, 1, nullptr, excep);
}

HRESULT callMethod(IRastrel* c, DISPID id, std::vector<Variant> args, Variant* result) {
  return c->Invoke(id, InvokeKind::Method, args.data(), int(args.size()), result, nullptr);
}

}  // namespace glim::test

namespace glim::test {

using namespace rastrel;

HRESULT MemoryBag::Read(const QString& name, Variant* value) {
  auto it = values.constFind(name);
  if (it == values.constEnd()) return E_INVALIDARG;
  if (value->isEmpty()) {
    *value = *it;
    return S_OK;
  }
  return it->changeType(value->type(), value);
}

HRESULT MemoryBag::Write(const QString& name, const Variant& value) {
  values.insert(name, value);
  written << name;
  return S_OK;
}

HRESULT MemoryStream::Read(void* data, uint32_t size, uint32_t* done) {
  const qsizetype n = std::min<qsizetype>(size, bytes.size() - position);
  memcpy(data, bytes.constData() + position, size_t(n));
  position += n;
  *done = uint32_t(n);
  return S_OK;
}

HRESULT MemoryStream::Write(const void* data, uint32_t size, uint32_t* done) {
  bytes.append(static_cast<const char*>(data), size);
  *done = size;
  return S_OK;
}

}  // namespace glim::test

#include <dlfcn.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTreeWidget>

namespace glim::test {

void useTestScanners(const QString& folder, const QStringList& options, const QString& backends) {
  // SANE unloads its backends at every sane_exit; held open here, the test backend keeps its
  // name in LeakSanitizer's reports (its reader's buffer is lost when a scan is cancelled).
  static void* const keepLoaded = dlopen(SANE_BACKEND_DIR "/libsane-test.so.1", RTLD_NOW);
  Q_UNUSED(keepLoaded);
  QDir().mkpath(folder);
  QFile dll(folder + QStringLiteral("/dll.conf"));
  if (dll.open(QIODevice::WriteOnly | QIODevice::Truncate)) dll.write(backends.toUtf8() + '\n');
  QFile conf(folder + QStringLiteral("/test.conf"));
  if (conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
    conf.write(options.join(u'\n').toUtf8() + '\n');
  // Without a trailing colon SANE reads this folder only, never the system's.
  qputenv("SANE_CONFIG_DIR", QFile::encodeName(folder));
}

ChooserAnswer::ChooserAnswer(const QString& device, bool accept)
    : device_(device), accept_(accept), timer_(startTimer(0)) {}

void ChooserAnswer::timerEvent(QTimerEvent*) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QDialog*>(w);
    if (!dialog || !dialog->isVisible() || dialog->objectName() != QLatin1String("ScannerChooser"))
      continue;
    auto* list = dialog->findChild<QTreeWidget*>();
    for (int i = 0; list && i < list->topLevelItemCount(); ++i) {
      rowsSeen << list->topLevelItem(i)->text(0);
      if (list->topLevelItem(i)->text(0) == device_) list->setCurrentItem(list->topLevelItem(i));
    }
    killTimer(timer_);
    answered = true;
    if (accept_)
      dialog->accept();
    else
      dialog->reject();
    return;
  }
}

}  // namespace glim::test
