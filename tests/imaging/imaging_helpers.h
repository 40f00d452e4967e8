// Test doubles for the imaging control's container side: a site with a switchable user mode
// and recorded position requests, and sinks that record events and property notices.
#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

#include "rastrel3.h"

namespace glim::test {

class RecordingHost final : public rastrel::IRastrelSite,
                            public rastrel::IRastrelEvents,
                            public rastrel::IPropertyNotifySink {
 public:
  rastrel::HRESULT QueryInterface(const rastrel::Guid& iid, void** out) override;
  uint32_t AddRef() override { return ++refs; }
  uint32_t Release() override { return --refs; }  // lives on the test's stack

  rastrel::HRESULT GetAmbientUserMode(bool* runMode) override;
  rastrel::HRESULT OnPosRectChange(const QRect& rect) override;
  rastrel::HRESULT InvalidateControl() override;
  rastrel::HRESULT Invoke(rastrel::DISPID id, const rastrel::Variant* args, int n) override;
  rastrel::HRESULT OnChanged(rastrel::DISPID id) override;
  rastrel::HRESULT OnRequestEdit(rastrel::DISPID) override { return rastrel::S_OK; }

  // Events as "Name" or "Name(a,b,c,d)".
  QStringList events;
  QList<rastrel::DISPID> notices;
  QList<QRect> positionRequests;
  int repaints = 0;
  bool designMode = false;
  bool answersUserMode = true;
  uint32_t refs = 1;
};

// A control object made through the library's class factory (one reference).
rastrel::IRastrel* newControl();
rastrel::IRastrelObject* objectOf(rastrel::IRastrel* control);  // AddRef'ed

// Invoke shorthands.
rastrel::HRESULT getProp(rastrel::IRastrel* c, rastrel::DISPID id, rastrel::Variant* out);
rastrel::HRESULT putProp(rastrel::IRastrel* c, rastrel::DISPID id, const rastrel::Variant& v,
                         rastrel::ExcepInfo* excep = nullptr);
rastrel::HRESULT callMethod(rastrel::IRastrel* c, rastrel::DISPID id,
                            std::vector<rastrel::Variant> args = {},
                            rastrel::Variant* result = nullptr);

}  // namespace glim::test

namespace glim::test {

// A property bag in memory. Read of an absent name fails with E_INVALIDARG, as bags do.
class MemoryBag final : public rastrel::IPropertyBag {
 public:
  rastrel::HRESULT QueryInterface(const rastrel::Guid&, void** out) override {
    *out = nullptr;
    return rastrel::E_NOINTERFACE;
  }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  rastrel::HRESULT Read(const QString& name, rastrel::Variant* value) override;
  rastrel::HRESULT Write(const QString& name, const rastrel::Variant& value) override;

  QMap<QString, rastrel::Variant> values;
  QStringList written;  // names in writing order
};

class MemoryStream final : public rastrel::IStream {
 public:
  rastrel::HRESULT QueryInterface(const rastrel::Guid&, void** out) override {
    *out = nullptr;
    return rastrel::E_NOINTERFACE;
  }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  rastrel::HRESULT Read(void* data, uint32_t size, uint32_t* done) override;
  rastrel::HRESULT Write(const void* data, uint32_t size, uint32_t* done) override;

  QByteArray bytes;
  qsizetype position = 0;
};

}  // namespace glim::test

namespace glim::test {

// SANE's own test backend as the only scanner source: dll.conf lists `test`, test.conf holds
// `options` (one "name value" line each), both in `folder`, which SANE_CONFIG_DIR names from
// now on. An empty `backends` leaves no scanner at all. Real and network scanners are never
// looked for.
void useTestScanners(const QString& folder, const QStringList& options,
                     const QString& backends = QStringLiteral("test"));

// Answers the scanner chooser once it shows: picks the row of `device` (or keeps its current
// row when empty) and selects, or closes it with Cancel when `accept` is false.
class ChooserAnswer : public QObject {
 public:
  ChooserAnswer(const QString& device, bool accept);
  QStringList rowsSeen;  // device names the chooser listed
  bool answered = false;

 private:
  void timerEvent(QTimerEvent*) override;
  QString device_;
  bool accept_;
  int timer_;
};

}  // namespace glim::test
